// Form1 built by this program's window engine and driven as a user would,
// through the engine's FormDriver: the same scenarios on Qt (offscreen) and
// on Win32 (under wine on a display). What only one engine has is in its own
// suite beside this one (qt_window_test.cc, win32_form_test.cc).
//
// Sections: the fixture; the layout, fonts and help text at each of the
// engine's resolutions; focus and the hidden Donate button; edits of the
// help text, and what is no edit; GO; closing; message boxes.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/url_opener.h"
#include "tests/case_name.h"
#include "tests/form_driver.h"
#include "tests/recorded_runtime.h"
#include "tests/saved_pages.h"
#include "window/form.h"
#include "window/main_window.h"
#include "window/maker.h"

namespace corvane::testing {
namespace {

// ---------------------------------------------------------------- fixture

class Form1Test : public ::testing::Test, public FormEvents {
 public:
  FormDriver& driver() { return *driver_; }
  int Changes() const { return Count("TextBox", FormEvent::kChange); }
  int Count(const std::string& control, FormEvent event) const {
    const auto it = events_.find({control, event});
    return it == events_.end() ? 0 : it->second;
  }

 protected:
  explicit Form1Test(int dpi = TestDpis().front()) : driver_(MakeFormDriver(Form1(), dpi)) {
    driver_->SetEvents(this);
    driver_->Show();
  }
  ~Form1Test() override { driver_->SetEvents(nullptr); }

  // Counts the events, then hands them to the window's handlers.
  void Handle(std::string_view control, FormEvent event) override {
    ++events_[{std::string(control), event}];
    handlers_.Handle(control, event);
  }

  MemRuntime runtime_;
  std::unique_ptr<FormDriver> driver_;
  MainWindow handlers_{driver_->controls(), runtime_};
  std::map<std::pair<std::string, FormEvent>, int> events_;
};

// The twelve lines of the help text, as the box shows them.
std::vector<std::string> HelpLines() {
  std::vector<std::string> lines;
  const std::string& text = HelpText();
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// ------------------------------------------- layout, fonts and help text

class Form1AtDpi : public Form1Test, public ::testing::WithParamInterface<int> {
 protected:
  Form1AtDpi() : Form1Test(GetParam()) {}
};

TEST_P(Form1AtDpi, EveryControlSitsAtItsTwipsAndStaysThere) {
  ASSERT_EQ(driver().Dpi(), GetParam());
  ASSERT_TRUE(GetParam() == 96 || GetParam() == 120) << "no table for " << GetParam() << " dpi";
  // Pixels for the form's twips: a fifteenth of them at 96 dpi, a twelfth
  // at 120.
  const std::map<std::string, Place> at96 = {
      {"Form1", {0, 0, 318, 309}},    {"Label1", {8, 0, 305, 25}},
      {"GO", {128, 40, 73, 25}},      {"Donate", {24, 256, 281, 33}},
      {"Label4", {88, 280, 153, 17}}, {"TextBox", {24, 80, 273, 161}},
  };
  const std::map<std::string, Place> at120 = {
      {"Form1", {0, 0, 398, 386}},     {"Label1", {10, 0, 381, 31}},
      {"GO", {160, 50, 91, 31}},       {"Donate", {30, 320, 351, 41}},
      {"Label4", {110, 350, 191, 21}}, {"TextBox", {30, 100, 341, 201}},
  };
  const auto& expected = GetParam() == 96 ? at96 : at120;
  EXPECT_EQ(driver().ClientPlace(), expected.at("Form1"));
  EXPECT_EQ(driver().Title(), "Form1");
  // Resizing the window moves and resizes nothing.
  for (const auto& [width, height] : {std::pair{0, 0}, {150, 120}, {900, 700}}) {
    if (width > 0) driver().ResizeWindow(width, height);
    for (const auto& [name, place] : expected) {
      if (name != "Form1") {
        EXPECT_EQ(driver().PlaceOf(name), place) << name << " " << width;
      }
    }
  }
}

TEST_P(Form1AtDpi, TheTitleIsBoldAndEveryCaptionFits) {
  EXPECT_EQ(driver().Text("Label1"), "Convert Corvane html files to txt");
  EXPECT_EQ(driver().Text("GO"), "GO");
  EXPECT_EQ(driver().Text("Label4"), kCopyrightNotice);
  // The character height of 13.8 and 8 points at the form's resolution,
  // rounded as MulDiv rounds.
  const auto pixels = [this](int tenths_of_points) {
    return (tenths_of_points * GetParam() + 360) / 720;
  };
  for (const char* name : {"Label1", "GO", "Label4"}) {
    const bool title = std::string_view(name) == "Label1";
    const FontSeen font = driver().FontOf(name);
    EXPECT_EQ(font.pixel_height, pixels(title ? 138 : 80)) << name;
    EXPECT_EQ(font.weight, title ? 700 : 400) << name;
    EXPECT_FALSE(font.italic) << name;
    const Place text = driver().Extent(name, driver().Text(name));
    const Place room = driver().TextRoom(name);
    EXPECT_LE(text.width, room.width) << name;
    EXPECT_LE(text.height, room.height) << name;
  }
  // Where the title's face is missing, its metric twin stands in as it is.
  if (!driver().HasFace("MS Sans Serif") && driver().HasFace("Liberation Sans")) {
    EXPECT_EQ(driver().FontOf("Label1").face, "Liberation Sans");
    EXPECT_EQ(driver().FontOf("Label1").stretch, 100);
  }
}

TEST_P(Form1AtDpi, ShowsTheWholeHelpTextFromItsFirstLine) {
  EXPECT_EQ(driver().Text("TextBox"), HelpText());
  EXPECT_EQ(driver().Selection("TextBox"), std::pair(0, 0));  // caret at the start
  EXPECT_FALSE(driver().IsReadOnly("TextBox"));
  EXPECT_FALSE(driver().HasScrollBars("TextBox"));
  const std::vector<ShownLine> shown = driver().ShownLines("TextBox");

  // Other text wraps at the box's width.
  driver().SetEvents(nullptr);
  driver().controls().SetText("TextBox",
                              "word word word word word word word word word word word word word");
  EXPECT_GT(driver().ShownLines("TextBox").size(), 1U);

  // Each of the twelve lines is one line of the box, and the last is inside
  // it: the donation request can be read.
  if (const std::string why = driver().WrapsUnlikeWindows(); !why.empty()) GTEST_SKIP() << why;
  std::vector<std::string> texts;
  for (const ShownLine& line : shown) texts.push_back(line.text);
  EXPECT_EQ(texts, HelpLines());
  ASSERT_FALSE(shown.empty());
  EXPECT_LE(shown.back().bottom, driver().TextAreaHeight("TextBox"));
}

// Named the same for every resolution where the program runs at one only,
// so that a run at another finds its tests under the names they were
// listed with.
INSTANTIATE_TEST_SUITE_P(Form1, Form1AtDpi, ::testing::ValuesIn(TestDpis()),
                         [](const auto& info) -> std::string {
                           if (TestDpis().size() == 1) return "ScreenDpi";
                           return "dpi" + std::to_string(info.param);
                         });

// ----------------------------------------------- focus and Donate

TEST_F(Form1Test, FocusStartsOnGoAndTabMovesOnlyBetweenGoAndTheBox) {
  EXPECT_EQ(driver().Focus(), "GO");
  const struct {
    bool shift;
    const char* focus;
  } steps[] = {{false, "TextBox"}, {false, "GO"},     {false, "TextBox"},
               {false, "GO"},      {true, "TextBox"}, {true, "GO"}};
  for (const auto& step : steps) {
    driver().Press(Key::kTab, step.shift);
    EXPECT_EQ(driver().Focus(), step.focus) << (step.shift ? "Shift+Tab" : "Tab");
  }
  EXPECT_EQ(driver().Text("TextBox"), HelpText());
  EXPECT_EQ(Changes(), 0);
}

TEST_F(Form1Test, DonateIsHiddenAndItsClickOpensTheDonationLink) {
  EXPECT_FALSE(driver().IsVisible("Donate"));
  EXPECT_EQ(driver().Text("Donate"),
            "If you find this app useful, please consider a $1 donation and Click Here.");
  // Should it ever be shown.
  driver().Click("Donate");
  EXPECT_TRUE(runtime_.Contents("donate.url"));
  ASSERT_EQ(runtime_.programs.started.size(), 1U);
  EXPECT_EQ(runtime_.programs.started[0][0], DesktopUrlOpener("donate.url", "x").program);
}

// ---------------------------------------------------- edits and non-edits

// Something the user does, for the tables below.
struct Action {
  const char* what;
  std::function<void(Form1Test&)> act;
  // Edits: the Changes it raises, the user's and the handler's clearing.
  int changes = 0;
  friend void PrintTo(const Action& c, std::ostream* out) { *out << c.what; }
};

class Acting : public Form1Test, public ::testing::WithParamInterface<Action> {};
class Form1Edits : public Acting {};
class Form1NonEdits : public Acting {};
class Form1PressingGo : public Acting {};

TEST_P(Form1Edits, EmptyTheBox) {
  driver().SetFocus("TextBox");
  GetParam().act(*this);
  EXPECT_EQ(driver().Text("TextBox"), "");
  // Every edit that changed the box, and the handler's own clearing, each
  // once; setting the empty box empty again raises nothing.
  EXPECT_EQ(Changes(), GetParam().changes);
  EXPECT_TRUE(runtime_.user.messages.empty());
  EXPECT_FALSE(runtime_.user.end_status);
}

// The help text's characters 3 to 7 copied, with nothing selected after.
void CopySome(Form1Test& t) {
  t.driver().Select("TextBox", 3, 7);
  t.driver().Run(Command::kCopy);
  t.driver().Select("TextBox", 0, 0);
}

const Action kEdits[] = {
    {"a letter", [](Form1Test& t) { t.driver().Type("x"); }, 2},
    {"Backspace",
     [](Form1Test& t) {
       t.driver().Press(Key::kEnd);
       t.driver().Press(Key::kBackspace);
     },
     2},
    {"Delete", [](Form1Test& t) { t.driver().Press(Key::kDelete); }, 2},
    {"Return", [](Form1Test& t) { t.driver().Press(Key::kReturn); }, 2},
    {"cut",
     [](Form1Test& t) {
       for (int i = 0; i < 5; ++i) t.driver().Press(Key::kRight, true);
       t.driver().Run(Command::kCut);
     },
     2},
    {"paste",
     [](Form1Test& t) {
       CopySome(t);
       t.driver().Run(Command::kPaste);
     },
     2},
    {"undo after an edit",
     [](Form1Test& t) {
       t.driver().Type("x");
       t.driver().Run(Command::kUndo);
       t.driver().Run(Command::kUndo);
     },
     2},
    {"redo after undo",
     [](Form1Test& t) {
       t.driver().Type("x");
       t.driver().Run(Command::kUndo);
       t.driver().Run(Command::kRedo);
     },
     2},
    {"a letter into the emptied box", [](Form1Test& t) { t.driver().Type("ab"); }, 4},
    {"a paste into the emptied box",
     [](Form1Test& t) {
       CopySome(t);
       t.driver().Press(Key::kDelete);
       t.driver().Run(Command::kPaste);
     },
     4},
};
INSTANTIATE_TEST_SUITE_P(ByKey, Form1Edits, ::testing::ValuesIn(kEdits), NameFromWhat<Action>);

TEST_P(Form1NonEdits, LeaveTheHelpTextInPlace) {
  driver().SetFocus("TextBox");
  GetParam().act(*this);
  EXPECT_EQ(driver().Text("TextBox"), HelpText());
  EXPECT_EQ(Changes(), 0);
  EXPECT_TRUE(runtime_.user.messages.empty());
  EXPECT_FALSE(runtime_.user.end_status);
}

const Action kNonEdits[] = {
    {"select all", [](Form1Test& t) { t.driver().Run(Command::kSelectAll); }},
    {"copy",
     [](Form1Test& t) {
       t.driver().Run(Command::kSelectAll);
       t.driver().Run(Command::kCopy);
       EXPECT_EQ(t.driver().Clipboard(), HelpText());
     }},
    {"caret moves",
     [](Form1Test& t) {
       for (Key key : {Key::kRight, Key::kDown, Key::kEnd, Key::kPageDown, Key::kUp, Key::kHome,
                       Key::kPageUp, Key::kLeft, Key::kDocumentEnd, Key::kDocumentStart}) {
         t.driver().Press(key);
       }
     }},
    {"selecting with Shift",
     [](Form1Test& t) {
       for (Key key : {Key::kRight, Key::kDown, Key::kEnd}) t.driver().Press(key, true);
     }},
    {"clicks and a drag in the box",
     [](Form1Test& t) {
       t.driver().Click("TextBox");
       t.driver().Click("TextBox", 20, 8);
       t.driver().DoubleClick("TextBox", 40, 8);
       t.driver().Drag("TextBox", 10, 5, 120, 40);
     }},
    {"undo before any edit", [](Form1Test& t) { t.driver().Run(Command::kUndo); }},
    {"clicks on the labels and the window",
     [](Form1Test& t) {
       for (const char* name : {"Label1", "Label4"}) t.driver().Click(name);
       t.driver().Click("Form1", 4, t.driver().ClientPlace().height - 4);
     }},
};
INSTANTIATE_TEST_SUITE_P(ByKeyAndMouse, Form1NonEdits, ::testing::ValuesIn(kNonEdits),
                         NameFromWhat<Action>);

// -------------------------------------------------------------------- GO

TEST_P(Form1PressingGo, ConvertsShowsFinishedAndEndsOnce) {
  runtime_.Add("a.html", "x\r\n" + kRule + "\r\n<b>Alpha</b>\r\n" + kRule + "\r\n");
  driver().SetFocus("GO");
  GetParam().act(*this);
  EXPECT_EQ(runtime_.Contents("a.txt"), "a.html\r\n\r\n Alpha \r\n");
  EXPECT_FALSE(runtime_.Contents("a.html"));
  EXPECT_EQ(runtime_.user.messages, std::vector<std::string>{"Finished"});
  EXPECT_EQ(runtime_.user.end_status, 0);
  // A test runtime returns from the end of the program; the run still
  // does not start again.
  GetParam().act(*this);
  EXPECT_EQ(runtime_.user.messages.size(), 1U);
  EXPECT_EQ(Count("GO", FormEvent::kClick), 2);
}

const Action kPresses[] = {
    {"mouse", [](Form1Test& t) { t.driver().Click("GO"); }},
    {"Space", [](Form1Test& t) { t.driver().Press(Key::kSpace); }},
    {"Return", [](Form1Test& t) { t.driver().Press(Key::kReturn); }},
};
INSTANTIATE_TEST_SUITE_P(ByMouseAndKey, Form1PressingGo, ::testing::ValuesIn(kPresses),
                         NameFromWhat<Action>);

TEST_F(Form1Test, AFailureDuringGoIsReportedAndEndsTheProgram) {
  runtime_.Add("a.html", "no rules at all\r\n");
  driver().Click("GO");
  ASSERT_EQ(runtime_.user.error_reports.size(), 1U);
  EXPECT_NE(runtime_.user.error_reports[0].find("run-time error 5"), std::string::npos);
  EXPECT_NE(runtime_.user.error_reports[0].find("a.html"), std::string::npos);
  EXPECT_EQ(runtime_.user.end_status, 1);
  EXPECT_TRUE(runtime_.user.messages.empty());
  EXPECT_TRUE(runtime_.Contents("a.html"));
}

// ------------------------------------------------------------- closing

TEST_F(Form1Test, ClosingTheWindowTouchesNothing) {
  runtime_.Add("a.html", "x\r\n" + kRule + "\r\nA\r\n" + kRule + "\r\n");
  runtime_.calls.clear();
  EXPECT_TRUE(driver().Close());
  EXPECT_TRUE(runtime_.calls.empty());
  EXPECT_TRUE(events_.empty());
  EXPECT_FALSE(runtime_.user.end_status);
}

// -------------------------------------------------------- message boxes

TEST_F(Form1Test, MessagesAndErrorsAreModalBoxesWithOkOnlyAndTheProgramsTitle) {
  const std::unique_ptr<User> user = driver().BoxUser(runtime_.user);
  const RuntimeError error(ErrorNumber::kFileNotFound, "cannot open file for reading",
                           "caf\xc3\xa9 page.html", "No such file or directory");
  const struct {
    const char* what;
    std::function<void()> show;
    std::string text;
    bool icon;
  } cases[] = {
      {"Finished", [&] { user->ShowMessage("Finished"); }, "Finished", false},
      {"error", [&] { user->ReportError(error); }, ErrorReportText(error), true},
  };
  for (const auto& c : cases) {
    const BoxSeen box = driver().WithMessageBox(c.show);
    ASSERT_TRUE(box.seen) << c.what;
    EXPECT_EQ(box.title, kProgramTitle) << c.what;
    EXPECT_EQ(box.text, c.text) << c.what;
    EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"}) << c.what;
    EXPECT_EQ(box.icon, c.icon) << c.what;
    EXPECT_FALSE(box.form_usable) << c.what;
  }
  EXPECT_EQ(ErrorReportText(error),
            "Run-time error 53:\n\nFile not found\n\n"
            "cannot open file for reading: caf\xc3\xa9 page.html (No such file or directory)");
  // The report also went to the console (standard error).
  EXPECT_EQ(runtime_.user.error_reports.size(), 1U);
  EXPECT_TRUE(runtime_.user.messages.empty());
}

TEST_F(Form1Test, EndProgramEndsTheProcessWithTheStatus) {
  const std::unique_ptr<User> user = driver().BoxUser(runtime_.user);
  EXPECT_EXIT(user->EndProgram(0), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(user->EndProgram(3), ::testing::ExitedWithCode(3), "");
}

}  // namespace
}  // namespace corvane::testing
