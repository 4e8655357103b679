// Text handled 64 characters at a time, with one bit per character: which
// characters hold given bytes, and copying out the marked ones. The joining
// of lines and the tag stripping are built on these.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvane {

inline constexpr std::size_t kBlock = 64;

// Where two byte values occur in a block: bit i of `first` is set where
// block[i] == a, of `second` where block[i] == b. Reads `kBlock` characters.
struct Masks {
  std::uint64_t first = 0;
  std::uint64_t second = 0;
};

// Where the byte value `c` occurs among the 16 characters at `text`: bit i
// is set where text[i] == c. The one place the byte comparisons are written
// for the processor.
inline std::uint32_t MatchesOf16(const char* text, char c) {
#if defined(__SSE2__)
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
  return static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
#else
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < 16; ++i) bits |= std::uint32_t{text[i] == c} << i;
  return bits;
#endif
}

inline Masks MasksOf(const char* block, char a, char b) {
  Masks masks;
  for (std::size_t i = 0; i < kBlock / 16; ++i) {
    masks.first |= std::uint64_t{MatchesOf16(block + 16 * i, a)} << (16 * i);
    masks.second |= std::uint64_t{MatchesOf16(block + 16 * i, b)} << (16 * i);
  }
  return masks;
}

// Bits `count` and up of a block, and the bits below `count`.
inline std::uint64_t BitsFrom(std::size_t count) {
  return count >= kBlock ? 0 : ~std::uint64_t{0} << count;
}
inline std::uint64_t BitsBelow(std::size_t count) { return ~BitsFrom(count); }

// Appends the characters of `block` that `keep` marks to `write` and
// returns the new end. Each run of kept characters is copied with one move
// of `kBlock` characters, whatever its length: `block` must be readable for
// `2 * kBlock` characters and `write` writable for `kBlock` more than it
// keeps.
inline char* AppendKept(const char* block, std::uint64_t keep, char* write) {
  while (keep != 0) {
    const int start = std::countr_zero(keep);
    const int length = std::countr_zero(~(keep >> start));
    std::memcpy(write, block + start, kBlock);
    write += length;
    keep &= keep + (keep & -keep);  // clears the run
  }
  return write;
}

}  // namespace corvane
