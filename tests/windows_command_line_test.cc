#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/windows/command_line.h"
#include "tests/case_name.h"
#include "tests/failure_number.h"

namespace corvane {
namespace {

struct LineCase {
  const char* what;
  std::string program;
  std::vector<std::string> arguments;
  std::string line;
  friend void PrintTo(const LineCase& c, std::ostream* out) { *out << c.what; }
};

class LineCases : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineCases, GiveEachArgumentWhole) {
  EXPECT_EQ(WindowsCommandLine(GetParam().program, GetParam().arguments), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, LineCases,
    ::testing::Values(
        LineCase{"url opener",
                 "rundll32.exe",
                 {"shdocvw.dll,OpenURL", R"(C:\Pages\donate.url)"},
                 R"(rundll32.exe shdocvw.dll,OpenURL C:\Pages\donate.url)"},
        // rundll32 hands the rest of the line to the entry as it is: quotes
        // would become part of the path.
        LineCase{"url opener blanks",
                 "rundll32.exe",
                 {"shdocvw.dll,OpenURL", R"(C:\Users\Jo Doe\My Pages\donate.url)"},
                 R"(rundll32.exe shdocvw.dll,OpenURL C:\Users\Jo Doe\My Pages\donate.url)"},
        LineCase{"url opener at a drive root",
                 "rundll32.exe",
                 {"shdocvw.dll,OpenURL", R"(D:\\donate.url)"},
                 R"(rundll32.exe shdocvw.dll,OpenURL D:\\donate.url)"},
        LineCase{"rundll32 by full path in any case",
                 R"(C:\WINDOWS\System32\RUNDLL32.EXE)",
                 {"a.dll,B", "x y"},
                 R"(C:\WINDOWS\System32\RUNDLL32.EXE a.dll,B x y)"},
        LineCase{"no arguments", "notepad.exe", {}, "notepad.exe"},
        LineCase{"program with blanks",
                 R"(C:\Program Files\Tool\tool.exe)",
                 {"a"},
                 R"("C:\Program Files\Tool\tool.exe" a)"},
        LineCase{"plain arguments stay plain",
                 "p",
                 {R"(C:\a\b)", "x,y", "50%", "a&b|c<d>e^f"},
                 R"(p C:\a\b x,y 50% a&b|c<d>e^f)"},
        LineCase{"empty argument", "p", {"", "x"}, R"(p "" x)"},
        LineCase{"blank and tab", "p", {"a b", "c\td"}, "p \"a b\" \"c\td\""},
        LineCase{"quote", "p", {R"(say "hi")"}, R"(p "say \"hi\"")"},
        LineCase{
            "backslashes before a quote", "p", {R"(a\"b)", R"(a\\"b)"}, R"(p "a\\\"b" "a\\\\\"b")"},
        LineCase{"trailing backslash with blank", "p", {R"(C:\My Pages\)"}, R"(p "C:\My Pages\\")"},
        LineCase{"trailing backslash alone stays", "p", {R"(C:\Pages\)"}, R"(p C:\Pages\)"},
        LineCase{"utf8 passes", "p", {"caf\xC3\xA9"}, "p caf\xC3\xA9"}),
    testing::NameFromWhat<LineCase>);

TEST(WindowsCommandLine, RefusesWhatNoCommandLineCanCarry) {
  using testing::FailureNumber;
  EXPECT_EQ(FailureNumber([] { WindowsCommandLine("", {}); }), 5);
  EXPECT_EQ(FailureNumber([] { WindowsCommandLine("a\"b.exe", {}); }), 5);
  EXPECT_EQ(FailureNumber([] { WindowsCommandLine("rundll32.exe", {"a.dll,B C", "x"}); }), 5);
  EXPECT_EQ(FailureNumber([] { WindowsCommandLine("rundll32", {"", "x"}); }), 5);
}

TEST(WindowsUrlOpener, RunsTheShellsOpenerOnTheShortcut) {
  const ProgramCall call = WindowsUrlOpener(R"(C:\My Pages\donate.url)");
  EXPECT_EQ(call,
            (ProgramCall{"rundll32.exe", {"shdocvw.dll,OpenURL", R"(C:\My Pages\donate.url)"}}));
  EXPECT_EQ(WindowsCommandLine(call.program, call.arguments),
            R"(rundll32.exe shdocvw.dll,OpenURL C:\My Pages\donate.url)");
}

}  // namespace
}  // namespace corvane
