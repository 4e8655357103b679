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

inline Masks MasksOf(const char* block, char a, char b) {
  Masks masks;
#if defined(__SSE2__)
  const __m128i pattern_a = _mm_set1_epi8(a);
  const __m128i pattern_b = _mm_set1_epi8(b);
  for (std::size_t i = 0; i < kBlock / 16; ++i) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i));
    const auto bits = [&](__m128i pattern) {
      const int found = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, pattern));
      return std::uint64_t{static_cast<std::uint16_t>(found)} << (16 * i);
    };
    masks.first |= bits(pattern_a);
    masks.second |= bits(pattern_b);
  }
#else
  for (std::size_t i = 0; i < kBlock; ++i) {
    masks.first |= std::uint64_t{block[i] == a} << i;
    masks.second |= std::uint64_t{block[i] == b} << i;
  }
#endif
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
