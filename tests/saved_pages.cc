#include "tests/saved_pages.h"

#include <algorithm>
#include <cstdint>
#include <random>

namespace corvane::testing {

namespace {

constexpr std::string_view kWords[] = {
    "the",     "harbour", "council", "bridge",  "traffic",  "morning", "residents", "said",
    "new",     "after",   "repairs", "week",    "city",     "of",      "and",       "a",
    "market",  "opened",  "on",      "Monday",  "festival", "rain",    "school",    "mayor",
    "plans",   "to",      "river",   "library", "hours",    "late",    "in",        "budget",
    "station", "crowds",  "local",   "was",     "years",    "team",    "season",    "for"};

constexpr std::string_view kRuleLine = "<div class=\"rule\">------------------</div>";

class PageWriter {
 public:
  PageWriter(PageShape shape, std::size_t size)
      : line_end_(shape == PageShape::kLfOnly ? "\n" : "\r\n"), size_(size) {
    page_.reserve(size + 256);
  }

  bool Full() const { return page_.size() >= size_; }
  std::size_t Size() const { return page_.size(); }

  std::string Take() {
    page_.resize(size_);
    return std::move(page_);
  }

  void Line(std::string_view text) {
    page_ += text;
    page_ += line_end_;
  }

  void HeadStart() {
    Line("<!DOCTYPE html>");
    Line(
        "<html lang=\"en\"><head><meta charset=\"utf-8\"><meta name=\"viewport\" "
        "content=\"width=device-width\">");
    Line("<title>Corvane | " + Words(5) + "</title>");
    Line("<link rel=\"stylesheet\" href=\"/assets/site." + Hex() + ".css\">");
    Line("<script>");
  }

  void HeadEnd() {
    Line("</script></head><body>");
    Line("<nav><ul class=\"sections\">");
    for (int i = 0; i < 6; ++i) {
      Line("<li class=\"nav-item\"><a href=\"/section/" + Word() + "\">" + Words(2) + "</a></li>");
    }
    Line("</ul></nav>");
    Line("<main><article><h1>" + Words(6) + "</h1>");
  }

  // A line of inline script, with comparisons and markup in strings.
  void ScriptLine() {
    const std::string n = Number();
    switch (Pick(4)) {
      case 0:
        Line("  function w" + n +
             "(a) { var m = 0; for (var i = 0; i < a.length; i++) { if (a[i].w > m) m = a[i].w; } "
             "return m; }");
        break;
      case 1:
        Line("  window.__s" + n + " = {\"id\":" + n + ",\"title\":\"" + Words(5) +
             "\",\"url\":\"/news/" + Slug() + "\",\"seen\":false};");
        break;
      case 2:
        Line("  if (document.cookie.indexOf(\"cv" + n + "=\") < 0 && screen.width > " + n +
             ") { load(\"/js/ad-" + n + ".js\"); }");
        break;
      default:
        Line("  var t" + n + " = \"<div class=\\\"promo\\\">" + Words(4) +
             "</div>\"; el.innerHTML = t" + n + " + '<a href=\"/sub\">Subscribe</a>';");
        break;
    }
  }

  void ArticleLine() {
    switch (Pick(10)) {
      case 0:
      case 1:
        Line("<p>" + Capitalised(Words(10)) + ", " + Words(5) + ".</p>");
        break;
      case 2:
        Line("<p>" + Capitalised(Words(7)) + ". <a href=\"/news/" + Slug() +
             "\">Continue reading</a></p>");
        break;
      case 3:
        Line("<p>" + Capitalised(Words(6)) + " &amp; " + Words(5) + " &quot;" + Words(3) +
             "&quot;.</p>");
        break;
      case 4:
        Line("<figure><img src=\"/img/" + Hex() + ".jpg\" alt=\"" + Words(3) + "\"><figcaption>" +
             Words(4) + "</figcaption></figure>");
        break;
      case 5:
        Line("<script>dataLayer.push({\"event\":\"read\",\"slot\":" + Number() +
             ",\"wide\":innerWidth > 720 && h < 900});</script>");
        break;
      case 6:
        Line("<!-- slot " + Number() + ": " + Words(9) + " -->");
        break;
      case 7:
        Line("<h2>" + Capitalised(Words(5)) + "</h2><p>" + Capitalised(Words(8)) + ".</p>");
        break;
      default:
        ScriptLine();
        break;
    }
  }

  void FooterLine() {
    if (Pick(2) == 0) {
      Line("<li class=\"foot\"><a href=\"/about/" + Slug() + "\">" + Capitalised(Words(3)) +
           "</a> &middot; <a href=\"/help\">Help</a></li>");
    } else {
      ScriptLine();
    }
  }

 private:
  std::size_t Pick(std::size_t count) { return random_() % count; }
  std::string Word() { return std::string(kWords[Pick(std::size(kWords))]); }

  std::string Words(int count) {
    std::string words(Word());
    for (int i = 1; i < count; ++i) words.append(" ").append(Word());
    return words;
  }

  std::string Slug() {
    std::string slug(Word());
    for (int i = 0; i < 3; ++i) slug.append("-").append(Word());
    return slug;
  }

  std::string Number() { return std::to_string(100 + Pick(9900)); }

  std::string Hex() {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (int i = 0; i < 8; ++i) hex += kDigits[Pick(16)];
    return hex;
  }

  static std::string Capitalised(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
      text[0] = static_cast<char>(text[0] - 32);
    return text;
  }

  std::string_view line_end_;
  std::size_t size_;
  std::string page_;
  std::mt19937 random_{20261208};
};

std::string NestedLink(int depth) {
  std::string link = "<p>";
  for (int i = 0; i < depth; ++i) link += "Contin";
  link += "Continue reading";
  for (int i = 0; i < depth; ++i) link += "ue reading";
  link += "</p>";
  return link;
}

}  // namespace

std::string_view NameOf(PageShape shape) {
  switch (shape) {
    case PageShape::kCrLf:
      return "crlf";
    case PageShape::kLfOnly:
      return "lf";
    case PageShape::kNested:
      return "nested";
  }
  return "?";
}

std::string MakeSavedPage(PageShape shape, std::size_t size) {
  PageWriter page(shape, size);
  const std::size_t head_size = std::max<std::size_t>(size / 40, 1000);
  const std::size_t footer_size = std::max<std::size_t>(size / 40, 1000);

  page.HeadStart();
  while (page.Size() < head_size) page.ScriptLine();
  page.HeadEnd();
  page.Line(kRuleLine);
  for (int i = 0; i < 5; ++i) page.ArticleLine();
  if (shape == PageShape::kNested) {
    const int depth = static_cast<int>(std::min<std::size_t>(kNestingDepth, size / 4 / 16));
    page.Line(NestedLink(depth));
  }
  while (page.Size() + footer_size < size) page.ArticleLine();
  page.Line("</article></main>");
  page.Line(kRuleLine);
  page.Line("<footer><p>&copy; Corvane News</p><ul>");
  while (!page.Full()) page.FooterLine();
  return page.Take();
}

std::string Page(std::string_view article) {
  return "<html><title>Corvane</title>\r\n" + kRule + "\r\n" + std::string(article) + "\r\n" +
         kRule + "\r\n<footer>Corvane News</footer>\r\n";
}

}  // namespace corvane::testing
