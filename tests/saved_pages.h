// Saved news pages for the tests: a small one around a given article, and
// pages of a chosen size, made up on the spot for benchmarks and tests: a head full of inline
// script, navigation links, the article between two dash rules with paragraphs, links, "Continue
// reading", entities, tags, comments and more script, then a footer. The same arguments always give
// the same bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvane::testing {

// The rule of 18 dashes before and after the article.
inline const std::string kRule(18, '-');

// A small saved page: a head line, the rule, `article` on a line of its own,
// the rule and a foot line, each ending in CR LF.
std::string Page(std::string_view article);

enum class PageShape {
  // Lines of about 100 bytes ending in CR LF, as pages are saved.
  kCrLf,
  // The same lines ending in LF alone: to this program the page is one line.
  kLfOnly,
  // CR LF lines, with a "Continue reading" nested `kNestingDepth` deep early
  // in the article: every line read after it removes one more level, deep
  // inside the text, while thousands of lines follow.
  kNested,
};

inline constexpr int kNestingDepth = 2000;

std::string_view NameOf(PageShape shape);

// A page of exactly `size` bytes (the footer's last line may be cut short).
// A nested page smaller than about 130 KB gets a shallower nesting, a quarter
// of the page at most.
std::string MakeSavedPage(PageShape shape, std::size_t size);

}  // namespace corvane::testing
