#include "convert/line_splitter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/case_name.h"
#include "tests/reference_extract.h"

namespace corvane {
namespace {

// Collects the lines; a line's pieces are put together.
struct Collector {
  std::vector<std::string> lines;
  std::string current;
  void Text(std::string_view text) { current += text; }
  void LineEnd() {
    lines.push_back(current);
    current.clear();
  }
};

struct Case {
  const char* what;
  std::string bytes;
  std::vector<std::string> lines;
  friend void PrintTo(const Case& c, std::ostream* out) { *out << c.what; }
};

class SplitCases : public ::testing::TestWithParam<Case> {};

// Every case is fed whole and split at every possible point, so that a
// CR LF torn between two reads is covered too.
TEST_P(SplitCases, GivesTheLinesWhereverTheReadsEnd) {
  const Case& c = GetParam();
  for (std::size_t cut = 0; cut <= c.bytes.size(); ++cut) {
    Collector collector;
    LineSplitter splitter;
    splitter.Feed(std::string_view(c.bytes).substr(0, cut), collector);
    splitter.Feed(std::string_view(c.bytes).substr(cut), collector);
    splitter.Finish(collector);
    EXPECT_EQ(collector.lines, c.lines) << c.what << ", cut at " << cut;
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rules, SplitCases,
    ::testing::Values(Case{"zero bytes", "", {}},
                      Case{"CR LF", "a\r\nb\r\n", {"a", "b"}},
                      Case{"no final line end", "a\r\nb", {"a", "b"}},
                      Case{"lone CR", "a\rb\r", {"a", "b"}},
                      Case{"LF alone is a character", "a\nb\n", {"a\nb\n"}},
                      Case{"LF CR", "a\n\rb", {"a\n", "b"}},
                      Case{"empty lines", "\r\n\r\n\r", {"", "", ""}},
                      Case{"CR CR LF", "a\r\r\nb", {"a", "", "b"}},
                      Case{"NUL and high bytes", std::string("\0\xff\r\n", 4),
                           {std::string("\0\xff", 2)}}),
    testing::NameFromWhat<Case>);
// clang-format on

TEST(LineSplitter, StartsAfreshAfterFinish) {
  Collector collector;
  LineSplitter splitter;
  splitter.Feed("a\r", collector);
  splitter.Finish(collector);
  splitter.Feed("\nb", collector);  // a new file: this LF is a character
  splitter.Finish(collector);
  EXPECT_EQ(collector.lines, (std::vector<std::string>{"a", "\nb"}));
}

// Files with lines from empty to a few hundred bytes, read in chunks of
// every size from one byte to more than a line, give the lines of the
// literal splitter.
TEST(LineSplitter, EqualsTheLiteralSplitOnRandomFiles) {
  std::mt19937 random(20261208);
  auto number = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  for (int round = 0; round < 2000; ++round) {
    std::string bytes;
    for (int piece = number(0, 30); piece > 0; --piece) {
      switch (number(0, 5)) {
        case 0:
          bytes += "\r\n";
          break;
        case 1:
          bytes += "\r";
          break;
        case 2:
          bytes += "\n";
          break;
        default:
          bytes += std::string(number(0, 200), static_cast<char>('a' + number(0, 25)));
      }
    }
    Collector collector;
    LineSplitter splitter;
    const int largest = number(1, 300);
    for (std::size_t at = 0; at < bytes.size();) {
      const std::size_t size = std::min<std::size_t>(number(1, largest), bytes.size() - at);
      splitter.Feed(std::string_view(bytes).substr(at, size), collector);
      at += size;
    }
    splitter.Finish(collector);
    ASSERT_EQ(collector.lines, testing::ReferenceLines(bytes)) << ::testing::PrintToString(bytes);
  }
}

}  // namespace
}  // namespace corvane
