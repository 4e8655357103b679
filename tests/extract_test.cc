// The extraction of one page, in the order of this file:
//
//   1. Examples: a table of pages and the article each gives, or its failure
//      (ExtractCases), checked against the literal version as well.
//   2. The extractor as an object: lines in pieces, a heading longer than
//      what it replaces, reuse after a failure, what a failure names.
//   3. Random pages built from the pieces that trip an extraction up
//      (nested links, tags and brackets, dashes), fed in random chunks and in
//      small batches, compared with the literal version (RandomPageCases).
#include "convert/extract.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "convert/line_splitter.h"
#include "platform/runtime_error.h"
#include "tests/case_name.h"
#include "tests/reference_extract.h"

namespace corvane {
namespace {

using testing::ReferenceExtract;
using testing::ReferenceLines;

const std::string R = "------------------";  // a rule of 18 dashes
const std::string kHead = "p.html\r\n\r\n";

std::string Dashes(std::size_t count) { return std::string(count, '-'); }

std::optional<std::string> Extract(const std::vector<std::string>& lines) {
  try {
    return ExtractArticleText("p.html", lines);
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.number(), ErrorNumber::kInvalidProcedureCall);
    EXPECT_EQ(error.file(), "p.html");
    return std::nullopt;
  }
}

struct Case {
  const char* what;
  std::vector<std::string> lines;
  std::optional<std::string> article;  // nullopt: fails with error 5
  friend void PrintTo(const Case& c, std::ostream* out) { *out << c.what; }
};

class ExtractCases : public ::testing::TestWithParam<Case> {};

TEST_P(ExtractCases, GivesTheArticleOrFails) {
  const Case& c = GetParam();
  const std::optional<std::string> expected =
      c.article ? std::optional<std::string>(kHead + *c.article) : std::nullopt;
  EXPECT_EQ(Extract(c.lines), expected) << c.what;
  EXPECT_EQ(ReferenceExtract("p.html", c.lines), expected) << c.what << " (reference)";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Examples, ExtractCases,
    ::testing::Values(
        Case{"worked example", {"head", R, "Hello <b>world</b>", R, "foot"}, " Hello world "},
        Case{"every line end is one space", {R, "a", "b", R}, " a b "},
        Case{"link split over two lines", {R, "x Continue", "reading y", R}, " x  y "},
        Case{"split with a trailing blank stays",
             {R, "Continue ", "reading", R},
             " Continue  reading "},
        Case{"split inside a word stays", {R, "Contin", "ue reading", R}, " Contin ue reading "},
        Case{"other letter case stays", {R, "continue reading", R}, " continue reading "},
        Case{"nested link goes in the next pass",
             {R, "ContinContinue readingue reading", R},
             "  "},
        // The first removal leaves one letter of the link before it and
        // fifteen after: the last start the junction's window has.
        Case{"link of one letter and the rest", {R, "CContinue readingontinue reading", R}, "  "},
        Case{"link of one letter and the rest, next to another removal",
             {R + " Continue reading" "C" "Continue reading" "ontinue reading " + R},
             "  "},
        Case{"link around two removals, the older 14 letters before the newer",
             {R + " C" "Continue reading" "ontinue", "readin" "Continue reading" "g", R},
             "  "},
        Case{"link around two removals, the older 14 letters after the newer",
             {R + " C" "ContinContinue readingue reading" "ontinue readin" "Continue reading" "g",
              "x", R},
             "  x "},
        Case{"link around three removals, the newer first",
             {R + " Co" "ContinContinue readingue reading" "nt" "Continue reading" "in"
                  "Continue reading" "ue reading",
              "x", R},
             "  x "},
        Case{"link around three removals, the newer last",
             {R + " Co" "Continue reading" "nt" "Continue reading" "in"
                  "ContinContinue readingue reading" "ue reading",
              "x", R},
             "  x "},
        Case{"doubly nested link on the last line keeps one link",
             {R + " ContinContinContinue readingue readingue reading" + R},
             " Continue reading"},
        Case{"opening rule of 25 dashes", {Dashes(25) + "a" + R}, "a"},
        Case{"closing rule of 30 dashes", {R + "a" + Dashes(30) + "b"}, "a"},
        Case{"rules joined by dashes form one run", {R + Dashes(17) + R}, std::nullopt},
        Case{"17 dashes inside the article stay", {R + "a" + Dashes(17) + "b" + R}, "a" + Dashes(17) + "b"},
        Case{"dashes behind the opening rule go", {R + "---x", R}, "x "},
        Case{"a dash after a space stays", {R, "-x", R}, " -x "},
        Case{"no rule", {"just text"}, std::nullopt},
        Case{"one rule", {"a", R, "b"}, std::nullopt},
        Case{"no lines", {}, std::nullopt},
        Case{"36 dashes in one run", {Dashes(36)}, std::nullopt},
        Case{"rules on consecutive lines", {R, R}, " "},
        Case{"rules written together", {R + R}, std::nullopt},
        Case{"a tag", {R + "a<b>c" + R}, "ac"},
        Case{"a tag over two lines", {R + "a<b", "c>d" + R}, "ad"},
        Case{"lone > before a tag", {R + "x>y<z>" + R}, "xy"},
        Case{"opening bracket without closing", {R + "a<b" + R}, "a<b"},
        Case{"closing bracket without opening", {R + "a>b" + R}, "a>b"},
        Case{"comparison swallows up to the next >", {R + "a < b and <i>c</i>" + R}, "a c"},
        Case{"entities and runs of spaces stay", {R + "  &amp;  " + R}, "  &amp;  "},
        Case{"bytes above 127 and NUL pass", {R + std::string("\xC3\xA9\0\xFF", 4) + R},
             std::string("\xC3\xA9\0\xFF", 4)},
        Case{"rule made by removing a link",
             {"---------Continue reading---------a", R},
             "a "},
        Case{"link between rule and article", {R + "Continue reading-x" + R}, "x"}),
    testing::NameFromWhat<Case>);
// clang-format on

// A line of the page fed in pieces gives the same as fed whole.
TEST(ArticleExtractor, LinesInPiecesEqualWholeLines) {
  ArticleExtractor pieces;
  pieces.Text("head ");
  pieces.Text(R);
  pieces.LineEnd();
  pieces.Text("Contin");
  pieces.Text("ue read");
  pieces.Text("ing text");
  pieces.LineEnd();
  pieces.LineEnd();
  pieces.Text(R);
  pieces.LineEnd();
  EXPECT_EQ(pieces.Finish("p.html"), kHead + "  text  ");
}

// The heading takes the place of what came before the article; here that
// is less than the heading needs.
TEST(ArticleExtractor, HeadingLongerThanWhatPrecedesTheArticle) {
  const std::string name = "a page with a name longer than the rule.html";
  EXPECT_EQ(ExtractArticleText(name, std::vector<std::string>{R + "a<b>c", "d" + R}),
            name + "\r\n\r\nac d");
}

TEST(ArticleExtractor, IsReadyForTheNextPageAfterAFailure) {
  ArticleExtractor extractor;
  extractor.AddLine("no rule at all");
  EXPECT_THROW(extractor.Finish("bad.html"), RuntimeError);
  extractor.AddLine(R + "ok" + R);
  EXPECT_EQ(extractor.Finish("p.html"), kHead + "ok");
}

TEST(ArticleExtractor, FailureNamesTheOperationAndThePage) {
  try {
    ExtractArticleText("b.html", std::vector<std::string>{"a", R, "b"});
    FAIL() << "expected a failure";
  } catch (const RuntimeError& error) {
    EXPECT_STREQ(error.what(),
                 "run-time error 5: Invalid procedure call or argument: "
                 "page has no closing rule: b.html");
  }
}

// Random pages built from the pieces that trip an extraction up, compared
// with the literal version. Each page is also fed through the line splitter
// in random chunks, as the folder run reads it.
class Sink {
 public:
  explicit Sink(ArticleExtractor& extractor) : extractor_(extractor) {}
  void Text(std::string_view text) { extractor_.Text(text); }
  void LineEnd() { extractor_.LineEnd(); }

 private:
  ArticleExtractor& extractor_;
};

std::string RandomPage(std::mt19937& random) {
  // clang-format off
  static const std::vector<std::string> kPieces = {
      "Continue reading", "Continue reading", "Contin", "ue reading", "Continue", " reading",
      "reading", "Continue ", "C", "g", " ", "x", "ab", "<", ">", "<b>", "</p>", "\r", "\n",
      "\r\n", "\r\n", "-", "--", R};
  // clang-format on
  std::uniform_int_distribution<int> length(0, 60);
  std::uniform_int_distribution<std::size_t> piece(0, kPieces.size() + 1);
  std::uniform_int_distribution<std::size_t> dashes(16, 40);
  std::string page;
  for (int i = length(random); i > 0; --i) {
    const std::size_t which = piece(random);
    if (which < kPieces.size()) {
      page += kPieces[which];
    } else if (which == kPieces.size()) {
      page += Dashes(dashes(random));
    } else {
      // A link nested one to three deep.
      std::string link = "Continue reading";
      for (int depth = std::uniform_int_distribution<int>(1, 3)(random); depth > 0; --depth) {
        link = "Contin" + link + "ue reading";
      }
      page += link;
    }
  }
  return page;
}

// Links nested up to twelve deep, among other text, with some of their
// blanks turned into line ends (which the joining turns back into blanks)
// and a few line ends put in at random, so that the levels come together
// over several lines and passes: some pages keep whole nestings on one
// line, some break them up everywhere. Most pages put it all between two
// rules, so that it shows in the result.
std::string RandomNestedPage(std::mt19937& random) {
  auto number = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  auto chance = [&](int percent) { return number(0, 99) < percent; };
  const int break_blank = std::array{0, 10, 50, 90}[number(0, 3)];
  const int break_anywhere = std::array{0, 1, 3}[number(0, 2)];
  std::string page = chance(85) ? R : "";
  for (int i = number(1, 12); i > 0; --i) {
    switch (number(0, 6)) {
      case 0:
        page += chance(20) ? R : " ";
        break;
      case 1:
        page += chance(50) ? "\r\n" : "<i>x</i> ";
        break;
      case 2:
        page += std::string(number(1, 30), 'x');
        break;
      default: {
        std::string link = "Continue reading";
        for (int depth = number(0, 12); depth > 0; --depth) link = "Contin" + link + "ue reading";
        for (char c : link) {
          if (c == ' ' && chance(break_blank)) {
            page += chance(80) ? "\r\n" : "\r";
          } else {
            page += c;
            if (chance(break_anywhere)) page += "\r\n";
          }
        }
      }
    }
  }
  if (chance(85)) page += R;
  return page;
}

// Long stretches of tags, brackets, dashes and bytes next to "<" and ">" in
// value ("=", "?", bytes above 127), mostly between two rules: for the
// stripping and the rule search, which look at several bytes at a time.
std::string RandomTagPage(std::mt19937& random) {
  static const std::vector<std::string> kPieces = {
      "<",    ">",    "<",    ">",    "<b>",
      "</p>", "=",    "?",    ";",    "\x7F",
      "\x80", "\xBC", "\xBE", "\xFF", std::string(1, '\0'),
      "-",    " ",    "\r\n"};
  auto number = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  std::string page = number(0, 9) < 8 ? R : "";
  for (int i = number(0, 150); i > 0; --i) {
    const int which = number(0, static_cast<int>(kPieces.size()) + 2);
    if (which < static_cast<int>(kPieces.size())) {
      page += kPieces[which];
    } else if (which == static_cast<int>(kPieces.size())) {
      page += std::string(number(1, 40), 'a' + number(0, 25));  // a stretch of text
    } else if (which == static_cast<int>(kPieces.size()) + 1) {
      page += Dashes(number(2, 17));
    } else if (number(0, 4) == 0) {
      page += Dashes(number(18, 40));
    }
  }
  if (number(0, 9) < 8) page += R;
  return page;
}

// Feeds `page` to `extractor` through the line splitter in random chunks,
// as the folder run reads it, and returns the text or nothing on failure.
std::optional<std::string> ExtractInChunks(ArticleExtractor& extractor, const std::string& page,
                                           std::mt19937& random) {
  Sink sink(extractor);
  LineSplitter splitter;
  std::uniform_int_distribution<std::size_t> chunk(1, random() % 2 == 0 ? 24 : 300);
  for (std::size_t at = 0; at < page.size();) {
    const std::size_t size = std::min(chunk(random), page.size() - at);
    splitter.Feed(std::string_view(page).substr(at, size), sink);
    at += size;
  }
  splitter.Finish(sink);
  try {
    return extractor.Finish("r.html");
  } catch (const RuntimeError&) {
    return std::nullopt;
  }
}

struct RandomPages {
  const char* what;
  std::string (*make)(std::mt19937&);
  int rounds;
};

void PrintTo(const RandomPages& pages, std::ostream* out) { *out << pages.what; }

class RandomPageCases : public ::testing::TestWithParam<RandomPages> {};

// The lines of a page wait in batches for their removal passes; small
// batches make every page go through many of them.
TEST_P(RandomPageCases, EqualTheLiteralVersion) {
  std::mt19937 random(20261208);
  ArticleExtractor whole_pages;
  const int rounds = GetParam().rounds;
  int failures = 0;
  for (int round = 0; round < rounds; ++round) {
    ArticleExtractor small_batches(std::uniform_int_distribution<std::size_t>(1, 100)(random));
    ArticleExtractor& extractor = round % 2 == 0 ? whole_pages : small_batches;
    const std::string page = GetParam().make(random);
    const std::optional<std::string> expected = ReferenceExtract("r.html", ReferenceLines(page));
    if (!expected) ++failures;
    ASSERT_EQ(ExtractInChunks(extractor, page, random), expected)
        << "page: " << ::testing::PrintToString(page);
  }
  // Both outcomes must be well represented for the comparison to mean much.
  EXPECT_GT(failures, rounds / 10);
  EXPECT_LT(failures, rounds * 9 / 10);
}

INSTANTIATE_TEST_SUITE_P(Random, RandomPageCases,
                         ::testing::Values(RandomPages{"mixed pieces", RandomPage, 5000},
                                           RandomPages{"nested links over lines", RandomNestedPage,
                                                       5000},
                                           RandomPages{"tags and dashes", RandomTagPage, 5000}),
                         testing::NameFromWhat<RandomPages>);

}  // namespace
}  // namespace corvane
