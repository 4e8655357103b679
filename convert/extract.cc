#include "convert/extract.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/runtime.h"

namespace corvane {

namespace {

// The first run of at least `kRule.size()` dashes in `text`: its start and
// its whole length.
struct DashRun {
  std::size_t start = std::string_view::npos;
  std::size_t length = 0;
};

DashRun FindRule(std::string_view text) {
  // Such a run covers at least one of the positions 17, 35, 53, ... (every
  // 18th), so only those need a look; a dash there is widened to its run.
  // Runs are met in text order, so the first long enough is the first rule.
  const std::size_t size = text.size();
  std::size_t probe = kRule.size() - 1;
  while (probe < size) {
    if (text[probe] != '-') {
      probe += kRule.size();
      continue;
    }
    std::size_t start = probe;
    while (start > 0 && text[start - 1] == '-') --start;
    std::size_t end = probe + 1;
    while (end < size && text[end] == '-') ++end;
    if (end - start >= kRule.size()) return {start, end - start};
    // text[end] is no dash: a run after it starts at end + 1 or later.
    probe = end + kRule.size();
  }
  return {};
}

// Looking at eight characters at once, for the tag stripping.
constexpr std::size_t kWordSize = sizeof(std::uint64_t);

std::uint64_t LoadWord(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, kWordSize);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;  // the first character in the lowest byte
}

// Has bit 7 set in the bytes of `word` that equal `byte`. (A borrow can set
// it in some bytes after the first match too, never before it, so the
// lowest set bit is exact.)
std::uint64_t BytesEqual(std::uint64_t word, unsigned char byte) {
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  constexpr std::uint64_t kHighBits = 0x8080808080808080;
  const std::uint64_t x = word ^ (kOnes * byte);
  return (x - kOnes) & ~x & kHighBits;
}

std::size_t FirstMarkedByte(std::uint64_t marks) {
  return static_cast<std::size_t>(std::countr_zero(marks)) / 8;
}

// Copies the characters from `read` to the first "<" or ">" (or to `end`)
// to `write` and returns where it stopped. May write up to `kWordSize`
// characters more than it keeps.
const char* CopyToAngle(const char* read, const char* end, char*& write) {
  while (end - read >= static_cast<std::ptrdiff_t>(kWordSize)) {
    const std::uint64_t word = LoadWord(read);
    std::memcpy(write, read, kWordSize);
    const std::uint64_t angles = BytesEqual(word, '<') | BytesEqual(word, '>');
    if (angles != 0) {
      const std::size_t kept = FirstMarkedByte(angles);
      write += kept;
      return read + kept;
    }
    read += kWordSize;
    write += kWordSize;
  }
  while (read < end && *read != '<' && *read != '>') *write++ = *read++;
  return read;
}

// The first ">" at or after `from`, or `end`.
const char* FindClose(const char* from, const char* end) {
  while (end - from >= static_cast<std::ptrdiff_t>(kWordSize)) {
    const std::uint64_t closes = BytesEqual(LoadWord(from), '>');
    if (closes != 0) return from + FirstMarkedByte(closes);
    from += kWordSize;
  }
  while (from < end && *from != '>') ++from;
  return from;
}

}  // namespace

std::optional<std::string_view> FindArticle(std::string_view joined) {
  // Everything up to the opening rule goes, with the rule itself and any
  // dashes right behind it: the whole run of dashes the rule is part of. A
  // text without an opening rule has no closing one either.
  const DashRun opening = FindRule(joined);
  if (opening.start == std::string_view::npos) return std::nullopt;
  joined.remove_prefix(opening.start + opening.length);
  const DashRun closing = FindRule(joined);
  if (closing.start == std::string_view::npos) return std::nullopt;
  return joined.substr(0, closing.start);
}

void AppendWithoutTags(std::string_view text, std::string& out) {
  const std::size_t out_start = out.size();
  out.resize(out_start + text.size() + kWordSize);  // room for CopyToAngle's last word
  char* write = out.data() + out_start;
  const char* read = text.data();
  const char* const end = read + text.size();
  // Every "<" after the current place is still there, so this tells whether
  // one follows a ">".
  const std::size_t last_open = text.rfind('<');
  const char* const last_open_at = last_open == std::string_view::npos ? nullptr : read + last_open;

  for (;;) {
    read = CopyToAngle(read, end, write);
    if (read == end) break;
    if (*read == '>') {
      if (last_open_at == nullptr || read > last_open_at) break;  // no "<" left: stop
      ++read;                                                     // a ">" before a "<" goes
      continue;
    }
    const char* close = FindClose(read + 1, end);
    if (close == end) break;  // no ">" left: stop
    read = close + 1;         // the tag goes, from "<" to ">"
  }
  std::memcpy(write, read, end - read);
  write += end - read;
  out.resize(write - out.data());
}

std::string ArticleExtractor::Finish(std::string_view page_name) {
  const std::optional<std::string_view> article = FindArticle(joined_.Finish());
  if (!article) {
    joined_.Clear();
    throw RuntimeError(ErrorNumber::kInvalidProcedureCall, "page has no closing rule",
                       std::string(page_name));
  }
  std::string text;
  text.reserve(page_name.size() + kHeadingBreak.size() + article->size() + kWordSize);
  text.append(page_name).append(kHeadingBreak);
  AppendWithoutTags(*article, text);
  joined_.Clear();
  return text;
}

std::string ExtractArticleText(std::string_view page_name, std::span<const std::string> lines) {
  ArticleExtractor extractor;
  for (const std::string& line : lines) extractor.AddLine(line);
  return extractor.Finish(page_name);
}

}  // namespace corvane
