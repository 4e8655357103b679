// Form1 as data and its handlers, without a toolkit: the handlers act on a
// fake form and an in-memory runtime.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tests/case_name.h"
#include "tests/recorded_runtime.h"
#include "tests/saved_pages.h"
#include "window/form.h"
#include "window/main_window.h"

namespace corvane {
namespace {

using testing::Call;
using testing::MemRuntime;
using testing::Page;

TEST(Form1, ListsItsControlsInTabOrder) {
  std::vector<std::string> names;
  for (const ControlDescription& control : Form1().controls) {
    EXPECT_EQ(control.tab_index, static_cast<int>(names.size())) << control.name;
    names.push_back(control.name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Label1", "GO", "Donate", "Label4", "TextBox"}));
}

TEST(Form1, VisibleControlsDoNotOverlapAndStayInside) {
  const FormDescription& form = Form1();
  for (const ControlDescription& a : form.controls) {
    if (!a.visible) continue;
    // Every place and size is a whole pixel at 120 dpi.
    for (int twips : {a.left, a.top, a.width, a.height}) EXPECT_EQ(twips % 12, 0) << a.name;
    EXPECT_LE(a.left + a.width, form.client_width) << a.name;
    EXPECT_LE(a.top + a.height, form.client_height) << a.name;
    for (const ControlDescription& b : form.controls) {
      if (&a == &b || !b.visible) continue;
      const bool apart = a.left + a.width <= b.left || b.left + b.width <= a.left ||
                         a.top + a.height <= b.top || b.top + b.height <= a.top;
      EXPECT_TRUE(apart) << a.name << " overlaps " << b.name;
    }
  }
}

TEST(TwipsToPixels, FollowsTheResolution) {
  EXPECT_EQ(TwipsToPixels(4776, 96), 318);
  EXPECT_EQ(TwipsToPixels(4632, 96), 309);
  EXPECT_EQ(TwipsToPixels(4776, 120), 398);
  EXPECT_EQ(TwipsToPixels(4632, 120), 386);
  EXPECT_EQ(TwipsToPixels(1440, 144), 144);
  EXPECT_EQ(TwipsToPixels(0, 96), 0);
}

// A form that records what the handlers set.
class FakeForm : public FormControls {
 public:
  std::vector<std::pair<std::string, std::string>> set;
  void SetText(std::string_view control, std::string_view text) override {
    set.emplace_back(control, text);
  }
};

class MainWindowTest : public ::testing::Test {
 protected:
  FakeForm form_;
  MemRuntime runtime_;
  MainWindow window_{form_, runtime_};
};

struct FailureCase {
  const char* what;
  Call call;
  std::function<void()> fail;
  const char* report_starts;
  friend void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.what; }
};

class GoFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(GoFailures, AreReportedAndEndTheProgramWithOne) {
  const FailureCase& c = GetParam();
  FakeForm form;
  MemRuntime runtime;
  MainWindow window(form, runtime);
  runtime.Add("a.html", Page("Alpha"));
  runtime.before_call = [&](Call call, const std::string&) {
    if (call == c.call) c.fail();
  };
  window.Handle("GO", FormEvent::kClick);  // must not throw
  ASSERT_EQ(runtime.user.error_reports.size(), 1U);
  EXPECT_EQ(runtime.user.error_reports[0].rfind(c.report_starts, 0), 0U)
      << runtime.user.error_reports[0];
  EXPECT_EQ(runtime.user.end_status, 1);
  EXPECT_TRUE(runtime.user.messages.empty());
  EXPECT_TRUE(runtime.Contents("a.html"));
}

INSTANTIATE_TEST_SUITE_P(
    Injected, GoFailures,
    ::testing::Values(
        FailureCase{
            "unreadable page", Call::kOpenForReading,
            [] { throw RuntimeError(ErrorNumber::kPermissionDenied, "cannot open", "a.html"); },
            "run-time error 70: Permission denied: cannot open: a.html"},
        FailureCase{"disk full", Call::kAppend,
                    [] { throw RuntimeError(ErrorNumber::kDiskFull, "cannot write", "a.txt"); },
                    "run-time error 61: Disk full: cannot write: a.txt"},
        FailureCase{"out of memory", Call::kRead, [] { throw std::bad_alloc(); },
                    "run-time error 7: Out of memory"},
        FailureCase{"any other exception", Call::kListFiles,
                    [] { throw std::length_error("too long"); },
                    "run-time error 5: Invalid procedure call or argument"},
        FailureCase{"not even an exception", Call::kListFiles, [] { throw 42; },
                    "run-time error 5: Invalid procedure call or argument"}),
    testing::NameFromWhat<FailureCase>);

TEST_F(MainWindowTest, AChangeOfTheHelpBoxEmptiesIt) {
  window_.Handle("TextBox", FormEvent::kChange);
  EXPECT_EQ(form_.set, (std::vector<std::pair<std::string, std::string>>{{"TextBox", ""}}));
  EXPECT_FALSE(runtime_.user.end_status);
}

TEST_F(MainWindowTest, DonateOpensTheDonationLinkAndReturns) {
  window_.Handle("Donate", FormEvent::kClick);
  // What the link writes and starts is the donation link's own test's.
  EXPECT_TRUE(runtime_.Contents("donate.url"));
  EXPECT_EQ(runtime_.programs.started.size(), 1U);
  EXPECT_FALSE(runtime_.user.end_status);
}

TEST_F(MainWindowTest, DonateFailureIsReported) {
  runtime_.programs.failure =
      RuntimeError(ErrorNumber::kFileNotFound, "cannot start program", "xdg-open");
  window_.Handle("Donate", FormEvent::kClick);
  ASSERT_EQ(runtime_.user.error_reports.size(), 1U);
  EXPECT_NE(runtime_.user.error_reports[0].find("xdg-open"), std::string::npos);
  EXPECT_EQ(runtime_.user.end_status, 1);
}

TEST_F(MainWindowTest, EverythingElseIsIgnored) {
  runtime_.Add("a.html", Page("Alpha"));
  window_.Handle("Label1", FormEvent::kClick);
  window_.Handle("Label4", FormEvent::kClick);
  window_.Handle("TextBox", FormEvent::kClick);
  window_.Handle("GO", FormEvent::kChange);
  window_.Handle("Form1", FormEvent::kClick);
  window_.Handle("go", FormEvent::kClick);
  EXPECT_TRUE(form_.set.empty());
  EXPECT_TRUE(runtime_.user.messages.empty());
  EXPECT_TRUE(runtime_.programs.started.empty());
  EXPECT_FALSE(runtime_.user.end_status);
  EXPECT_TRUE(runtime_.Contents("a.html"));
}

}  // namespace
}  // namespace corvane
