#include "convert/extract.h"

#include <cstring>
#include <string>

#include "platform/runtime.h"

namespace corvane {

namespace {

// The position of the first run of at least `kRule.size()` dashes in `text`
// and the run's whole length, or npos.
struct DashRun {
  std::size_t start = std::string_view::npos;
  std::size_t length = 0;
};

DashRun FindRule(std::string_view text) {
  std::size_t pos = text.find('-');
  while (pos != std::string_view::npos) {
    std::size_t end = text.find_first_not_of('-', pos);
    if (end == std::string_view::npos) end = text.size();
    if (end - pos >= kRule.size()) return {pos, end - pos};
    pos = text.find('-', end);
  }
  return {};
}

// Removes, in place, every "<...>" from the first "<" to the first ">" after
// it, and every ">" that comes before the first "<" still left. Stops when
// either character is gone from the rest of the text, so a lone "<" with no
// ">" after it, or a lone ">" with no "<" anywhere, stays.
std::size_t StripTags(char* text, std::size_t size) {
  const char* const end = text + size;
  const char* read = text;
  char* write = text;
  // The first "<" at or after `read`, cached until `read` passes it.
  const char* open = static_cast<const char*>(std::memchr(read, '<', size));
  while (open != nullptr) {
    const char* close = static_cast<const char*>(std::memchr(read, '>', end - read));
    if (close == nullptr) break;
    const char* cut_from = close < open ? close : open;
    std::memmove(write, read, cut_from - read);
    write += cut_from - read;
    read = close + 1;
    if (read > open) open = static_cast<const char*>(std::memchr(read, '<', end - read));
  }
  std::memmove(write, read, end - read);
  write += end - read;
  return write - text;
}

}  // namespace

bool CutArticle(std::string& joined) {
  std::string_view text = joined;
  // Drop everything up to the opening rule, the rule itself and any dashes
  // right behind it: the whole run of dashes the rule is part of. A text
  // without an opening rule has no closing one either.
  const DashRun opening = FindRule(text);
  if (opening.start == std::string_view::npos) return false;
  text.remove_prefix(opening.start + opening.length);
  const DashRun closing = FindRule(text);
  if (closing.start == std::string_view::npos) return false;
  text = text.substr(0, closing.start);

  const std::size_t offset = text.data() - joined.data();
  const std::size_t length = StripTags(joined.data() + offset, text.size());
  joined.erase(offset + length);
  joined.erase(0, offset);
  return true;
}

std::string ArticleExtractor::Finish(std::string_view page_name) {
  joined_.RemovalPass();
  std::string article = joined_.Take();
  if (!CutArticle(article)) {
    throw RuntimeError(ErrorNumber::kInvalidProcedureCall, "page has no closing rule",
                       std::string(page_name));
  }
  std::string text;
  text.reserve(page_name.size() + kHeadingBreak.size() + article.size());
  text.append(page_name).append(kHeadingBreak).append(article);
  return text;
}

std::string ExtractArticleText(std::string_view page_name, std::span<const std::string> lines) {
  ArticleExtractor extractor;
  for (const std::string& line : lines) extractor.AddLine(line);
  return extractor.Finish(page_name);
}

}  // namespace corvane
