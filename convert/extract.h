// Turns the lines of one saved news page into the text of its .txt file.
//
// The lines are joined with a space behind each, every "Continue reading" is
// removed, the article between the first two rules of 18 dashes is cut out,
// its tags are stripped and the page's name is put on top:
//
//   <page name> CR LF CR LF <article>
//
// The result has no final line end (the writer adds one). The article is
// cut out and stripped in the buffer that joined the lines, and handed to
// the writer from there, with the heading beside it: a page's bytes are
// copied once into that buffer, which is made big enough for the whole page
// before its first byte arrives and serves page after page. Nothing else is
// done: entities stay, spaces are not collapsed, the article is not trimmed,
// and the bytes are not interpreted in any character set.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "convert/joined_text.h"

namespace corvane {

// The rule that opens and closes the article.
inline constexpr std::string_view kRule = "------------------";
// Between the page name and the article.
inline constexpr std::string_view kHeadingBreak = "\r\n\r\n";

// Builds the text of one page from its lines, fed one at a time while the
// page is read. One object can serve many pages in turn; it keeps its memory.
class ArticleExtractor {
 public:
  // `batch`: see JoinedText.
  explicit ArticleExtractor(std::size_t batch = JoinedText::kDefaultBatch) : joined_(batch) {}

  // Makes room for a page of `page_size` bytes before its lines arrive, so
  // that its text is never moved to grow. (A page is still taken whole when
  // it turns out longer.)
  void Reserve(std::size_t page_size);

  // Adds the next line of the page, without its line end.
  void AddLine(std::string_view line) { joined_.AppendLine(line); }

  // The same in pieces, as a `LineSplitter` delivers them: characters of
  // the current line, then its end.
  void Text(std::string_view text) { joined_.AppendText(text); }
  void LineEnd() { joined_.EndLine(); }

  // Finishes the page called `page_name` and returns its article, stripped
  // of its tags: the text without its heading (`page_name` and
  // `kHeadingBreak`). It lies in the extractor's buffer and stays valid
  // until the next call of `Clear`, which the next page starts with. Throws
  // RuntimeError 5 (Invalid procedure call or argument) when the article has
  // no closing rule, which includes a page with no rule or only one.
  std::string_view FinishArticle(std::string_view page_name);

  // The same, as the whole text with its heading; the extractor is empty
  // afterwards, ready for the next page.
  std::string Finish(std::string_view page_name);

  // Forgets the lines added so far; the memory stays for the next page.
  void Clear() { joined_.Clear(); }

 private:
  JoinedText joined_;
};

// The whole extraction at once, for callers that hold the lines already.
std::string ExtractArticleText(std::string_view page_name, std::span<const std::string> lines);

// The article in the joined text of a page: what follows the first rule and
// the dashes right behind it, up to the next rule. Nothing when there is no
// closing rule, which includes a text with no rule or only one.
std::optional<std::string_view> FindArticle(std::string_view joined);

}  // namespace corvane
