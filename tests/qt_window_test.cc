// Form1 built by the Qt window engine and driven like a user would, on the
// offscreen platform. The logical resolution comes from QT_FONT_DPI; the
// test run tells which one it set in CORVANE_TEST_DPI (96 when unset).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTimer>
#include <functional>
#include <map>
#include <ostream>
#include <string>

#include "app/launcher_question.h"
#include "gui/qt/qt_form.h"
#include "gui/qt/qt_runtime.h"
#include "platform/native_runtime.h"
#include "tests/case_name.h"
#include "tests/mem_runtime.h"
#include "window/form.h"
#include "window/main_window.h"
#include "window/maker.h"

namespace corvane {
namespace {

using testing::Call;
using testing::MemRuntime;

int ExpectedDpi() {
  const int dpi = qEnvironmentVariableIntValue("CORVANE_TEST_DPI");
  return dpi == 0 ? 96 : dpi;
}

// Hands every event to the window's handlers and counts them.
class CountingEvents : public FormEvents {
 public:
  explicit CountingEvents(FormEvents& handlers) : handlers_(handlers) {}
  std::map<std::pair<std::string, FormEvent>, int> counts;
  int Count(const std::string& control, FormEvent event) const {
    const auto it = counts.find({control, event});
    return it == counts.end() ? 0 : it->second;
  }
  void Handle(std::string_view control, FormEvent event) override {
    ++counts[{std::string(control), event}];
    handlers_.Handle(control, event);
  }

 private:
  FormEvents& handlers_;
};

class Form1Test : public ::testing::Test {
 protected:
  Form1Test() {
    events_.counts.clear();
    form_.SetEvents(&events_);
    form_.Show();
    QApplication::setActiveWindow(form_.window());
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form_.window()));
  }

  QWidget* Control(const char* name) {
    QWidget* widget = form_.control(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QPlainTextEdit* Box() { return qobject_cast<QPlainTextEdit*>(Control("TextBox")); }
  int Changes() const { return events_.Count("TextBox", FormEvent::kChange); }

  MemRuntime runtime_;
  QtForm form_{Form1()};
  MainWindow handlers_{form_, runtime_};
  CountingEvents events_{handlers_};
};

TEST_F(Form1Test, IsBuiltAtTheScreensResolution) {
  const int dpi = ExpectedDpi();
  ASSERT_EQ(form_.dpi_x(), dpi) << "QT_FONT_DPI did not reach the screen";
  ASSERT_EQ(form_.dpi_y(), dpi);
  ASSERT_TRUE(dpi == 96 || dpi == 120) << "no table for " << dpi << " dpi";
  // Pixels for the form's twips: a fifteenth of them at 96 dpi, a twelfth
  // at 120.
  const std::map<std::string, QRect> at96 = {
      {"Form1", QRect(0, 0, 318, 309)},    {"Label1", QRect(8, 0, 305, 25)},
      {"GO", QRect(128, 40, 73, 25)},      {"Donate", QRect(24, 256, 281, 33)},
      {"Label4", QRect(88, 280, 153, 17)}, {"TextBox", QRect(24, 80, 273, 161)},
  };
  const std::map<std::string, QRect> at120 = {
      {"Form1", QRect(0, 0, 398, 386)},     {"Label1", QRect(10, 0, 381, 31)},
      {"GO", QRect(160, 50, 91, 31)},       {"Donate", QRect(30, 320, 351, 41)},
      {"Label4", QRect(110, 350, 191, 21)}, {"TextBox", QRect(30, 100, 341, 201)},
  };
  const auto& expected = dpi == 96 ? at96 : at120;
  EXPECT_EQ(form_.window()->size(), expected.at("Form1").size());
  EXPECT_EQ(form_.window()->windowTitle(), "Form1");
  EXPECT_DOUBLE_EQ(form_.window()->devicePixelRatioF(), 1.0);
  for (const auto& [name, rect] : expected) {
    if (name != "Form1") {
      EXPECT_EQ(Control(name.c_str())->geometry(), rect) << name;
    }
  }

  // Resizing the window moves and resizes nothing.
  for (QSize size : {QSize(150, 120), QSize(900, 700)}) {
    form_.window()->resize(size);
    QApplication::processEvents();
    for (const auto& [name, rect] : expected) {
      if (name != "Form1") {
        EXPECT_EQ(Control(name.c_str())->geometry(), rect) << name;
      }
    }
  }
}

TEST_F(Form1Test, TheTitleIsInABoldSansSerifFaceThatFits) {
  auto* title = qobject_cast<QLabel*>(Control("Label1"));
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->text(), "Convert Corvane html files to txt");
  const QFont font = title->font();
  EXPECT_DOUBLE_EQ(font.pointSizeF(), 13.8);
  EXPECT_EQ(QFontInfo(font).weight(), QFont::Bold);
  EXPECT_FALSE(QFontInfo(font).italic());
  if (QFontDatabase::hasFamily("Liberation Sans")) {
    EXPECT_EQ(QFontInfo(font).family(), "Liberation Sans");
    EXPECT_EQ(font.stretch() == 0 ? 100 : font.stretch(), 100);
  }
  const QFontMetricsF metrics(font, title);
  EXPECT_LE(metrics.horizontalAdvance(title->text()), title->width());
  EXPECT_LE(metrics.height(), title->height());

  auto* notice = qobject_cast<QLabel*>(Control("Label4"));
  EXPECT_EQ(notice->text().toStdString(), kCopyrightNotice);
  EXPECT_LE(QFontMetricsF(notice->font(), notice).horizontalAdvance(notice->text()),
            notice->width());
}

TEST_F(Form1Test, ShowsTheWholeHelpTextFromItsFirstLine) {
  QPlainTextEdit* box = Box();
  EXPECT_EQ(form_.Text("TextBox"), HelpText());
  EXPECT_FALSE(box->textCursor().hasSelection());
  EXPECT_EQ(box->textCursor().position(), 0);
  EXPECT_FALSE(box->isReadOnly());
  EXPECT_EQ(box->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_FALSE(box->verticalScrollBar()->isVisible());
  EXPECT_FALSE(box->horizontalScrollBar()->isVisible());
  // Each of the twelve lines fits on one line of the box, and the last is
  // inside it: the donation request can be read.
  int lines = 0;
  QTextBlock block = box->document()->begin();
  for (int i = 0; i < 12; ++i, block = block.next()) {
    ASSERT_TRUE(block.isValid());
    EXPECT_EQ(block.layout()->lineCount(), 1) << "line " << i + 1 << " wraps";
    lines += block.layout()->lineCount();
  }
  EXPECT_EQ(lines, 12);
  QTextCursor end_of_last(box->document()->findBlockByNumber(11));
  end_of_last.movePosition(QTextCursor::EndOfBlock);
  EXPECT_LE(box->cursorRect(end_of_last).bottom(), box->viewport()->height());
}

TEST_F(Form1Test, FocusStartsOnGoAndTabMovesOnlyBetweenGoAndTheBox) {
  QWidget* go = Control("GO");
  QWidget* box = Control("TextBox");
  EXPECT_EQ(QApplication::focusWidget(), go);
  const QWidget* expected[] = {box, go, box, go};
  for (const QWidget* next : expected) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next);
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), box);
  EXPECT_EQ(form_.Text("TextBox"), HelpText());
  EXPECT_EQ(Changes(), 0);
}

TEST_F(Form1Test, DonateIsHidden) {
  QWidget* donate = Control("Donate");
  EXPECT_FALSE(donate->isVisible());
  EXPECT_FALSE(donate->isVisibleTo(form_.window()));
  EXPECT_EQ(qobject_cast<QPushButton*>(donate)->text(),
            "If you find this app useful, please consider a $1 donation and Click Here.");
}

struct BoxCase {
  const char* what;
  std::function<void(QPlainTextEdit*)> act;
  friend void PrintTo(const BoxCase& c, std::ostream* out) { *out << c.what; }
};

void Keys(QPlainTextEdit* box, std::initializer_list<QKeySequence> keys) {
  for (const QKeySequence& key : keys) QTest::keySequence(box, key);
}

class Edits : public Form1Test, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(Edits, EmptyTheBox) {
  QPlainTextEdit* box = Box();
  box->setFocus();
  QApplication::clipboard()->setText("pasted text");
  GetParam().act(box);
  EXPECT_EQ(form_.Text("TextBox"), "");
  EXPECT_EQ(box->toPlainText(), "");
  // The user's edit and the handler's own clearing; then the chain stops.
  EXPECT_GE(Changes(), 1);
  EXPECT_LE(Changes(), 2 * 3);
  EXPECT_TRUE(runtime_.messages.empty());
  EXPECT_FALSE(runtime_.end_status);
}

INSTANTIATE_TEST_SUITE_P(
    ByKey, Edits,
    ::testing::Values(
        BoxCase{"a letter", [](QPlainTextEdit* box) { QTest::keyClick(box, Qt::Key_X); }},
        BoxCase{"Backspace",
                [](QPlainTextEdit* box) {
                  QTest::keyClick(box, Qt::Key_End);
                  QTest::keyClick(box, Qt::Key_Backspace);
                }},
        BoxCase{"Delete", [](QPlainTextEdit* box) { QTest::keyClick(box, Qt::Key_Delete); }},
        BoxCase{"Return", [](QPlainTextEdit* box) { QTest::keyClick(box, Qt::Key_Return); }},
        BoxCase{"cut",
                [](QPlainTextEdit* box) {
                  for (int i = 0; i < 5; ++i)
                    QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);
                  Keys(box, {QKeySequence::Cut});
                }},
        BoxCase{"paste", [](QPlainTextEdit* box) { Keys(box, {QKeySequence::Paste}); }},
        BoxCase{"undo after an edit",
                [](QPlainTextEdit* box) {
                  QTest::keyClick(box, Qt::Key_X);
                  Keys(box, {QKeySequence::Undo, QKeySequence::Undo});
                }},
        BoxCase{"redo after undo",
                [](QPlainTextEdit* box) {
                  QTest::keyClick(box, Qt::Key_X);
                  Keys(box, {QKeySequence::Undo, QKeySequence::Redo});
                }},
        BoxCase{"a letter into the emptied box",
                [](QPlainTextEdit* box) { QTest::keyClicks(box, "ab"); }},
        BoxCase{"a paste into the emptied box",
                [](QPlainTextEdit* box) {
                  QTest::keyClick(box, Qt::Key_Delete);
                  Keys(box, {QKeySequence::Paste});
                }}),
    testing::NameFromWhat<BoxCase>);

class NonEdits : public Form1Test, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(NonEdits, LeaveTheHelpTextInPlace) {
  QPlainTextEdit* box = Box();
  box->setFocus();
  GetParam().act(box);
  EXPECT_EQ(form_.Text("TextBox"), HelpText());
  EXPECT_EQ(Changes(), 0);
  EXPECT_TRUE(runtime_.messages.empty());
  EXPECT_FALSE(runtime_.end_status);
}

INSTANTIATE_TEST_SUITE_P(
    ByKeyAndMouse, NonEdits,
    ::testing::Values(
        BoxCase{"select all", [](QPlainTextEdit* box) { Keys(box, {QKeySequence::SelectAll}); }},
        BoxCase{"copy",
                [](QPlainTextEdit* box) {
                  Keys(box, {QKeySequence::SelectAll, QKeySequence::Copy});
                  EXPECT_EQ(QApplication::clipboard()->text(), box->toPlainText());
                }},
        BoxCase{
            "caret moves",
            [](QPlainTextEdit* box) {
              for (Qt::Key key : {Qt::Key_Right, Qt::Key_Down, Qt::Key_End, Qt::Key_PageDown,
                                  Qt::Key_Up, Qt::Key_Home, Qt::Key_PageUp, Qt::Key_Left}) {
                QTest::keyClick(box, key);
              }
              Keys(box, {QKeySequence::MoveToEndOfDocument, QKeySequence::MoveToStartOfDocument});
            }},
        BoxCase{"selecting with Shift",
                [](QPlainTextEdit* box) {
                  QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);
                  QTest::keyClick(box, Qt::Key_Down, Qt::ShiftModifier);
                  QTest::keyClick(box, Qt::Key_End, Qt::ShiftModifier);
                }},
        BoxCase{"clicks and a drag in the box",
                [](QPlainTextEdit* box) {
                  QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, QPoint(20, 8));
                  QTest::mouseDClick(box->viewport(), Qt::LeftButton, {}, QPoint(40, 8));
                  QTest::mousePress(box->viewport(), Qt::LeftButton, {}, QPoint(10, 5));
                  QTest::mouseMove(box->viewport(), QPoint(120, 40));
                  QTest::mouseRelease(box->viewport(), Qt::LeftButton, {}, QPoint(120, 40));
                }},
        BoxCase{"undo before any edit",
                [](QPlainTextEdit* box) { Keys(box, {QKeySequence::Undo}); }},
        BoxCase{"clicks on the labels and the window",
                [](QPlainTextEdit* box) {
                  QWidget* window = box->window();
                  for (const char* name : {"Label1", "Label4"}) {
                    QTest::mouseClick(window->findChild<QWidget*>(name), Qt::LeftButton);
                  }
                  QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(4, window->height() - 4));
                }}),
    testing::NameFromWhat<BoxCase>);

const std::string kRule = "------------------";

struct GoCase {
  const char* what;
  std::function<void(QWidget* go)> press;
  friend void PrintTo(const GoCase& c, std::ostream* out) { *out << c.what; }
};

class PressingGo : public Form1Test, public ::testing::WithParamInterface<GoCase> {};

TEST_P(PressingGo, ConvertsShowsFinishedAndEndsOnce) {
  runtime_.Add("a.html", "x\r\n" + kRule + "\r\n<b>Alpha</b>\r\n" + kRule + "\r\n");
  QWidget* go = Control("GO");
  go->setFocus();
  GetParam().press(go);
  EXPECT_EQ(runtime_.Contents("a.txt"), "a.html\r\n\r\n Alpha \r\n");
  EXPECT_FALSE(runtime_.Contents("a.html"));
  EXPECT_EQ(runtime_.messages, std::vector<std::string>{"Finished"});
  EXPECT_EQ(runtime_.end_status, 0);
  // A test runtime returns from the end of the program; the run still
  // does not start again.
  GetParam().press(go);
  EXPECT_EQ(runtime_.messages.size(), 1U);
  EXPECT_EQ(events_.Count("GO", FormEvent::kClick), 2);
}

INSTANTIATE_TEST_SUITE_P(
    ByMouseAndKey, PressingGo,
    ::testing::Values(GoCase{"mouse", [](QWidget* go) { QTest::mouseClick(go, Qt::LeftButton); }},
                      GoCase{"Space", [](QWidget* go) { QTest::keyClick(go, Qt::Key_Space); }},
                      GoCase{"Return", [](QWidget* go) { QTest::keyClick(go, Qt::Key_Return); }}),
    testing::NameFromWhat<GoCase>);

TEST_F(Form1Test, AFailureDuringGoIsReportedAndEndsTheProgram) {
  runtime_.Add("a.html", "no rules at all\r\n");
  QTest::mouseClick(Control("GO"), Qt::LeftButton);
  ASSERT_EQ(runtime_.error_reports.size(), 1U);
  EXPECT_NE(runtime_.error_reports[0].find("run-time error 5"), std::string::npos);
  EXPECT_NE(runtime_.error_reports[0].find("a.html"), std::string::npos);
  EXPECT_EQ(runtime_.end_status, 1);
  EXPECT_TRUE(runtime_.messages.empty());
  EXPECT_TRUE(runtime_.Contents("a.html"));
}

TEST_F(Form1Test, ClosingTheWindowTouchesNothing) {
  runtime_.Add("a.html", "x\r\n" + kRule + "\r\nA\r\n" + kRule + "\r\n");
  int calls = 0;
  runtime_.before_call = [&](Call, const std::string&) { ++calls; };
  EXPECT_TRUE(form_.window()->close());
  QApplication::processEvents();
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(events_.counts.empty());
  EXPECT_FALSE(runtime_.end_status);
}

// Runs `action`, which shows a modal message box, and hands the box to
// `inspect` before pressing its OK button.
void WithMessageBox(const std::function<void()>& action,
                    const std::function<void(QMessageBox&)>& inspect) {
  bool seen = false;
  QTimer timer;
  timer.setInterval(10);
  int ticks = 0;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) {
      if (++ticks > 500) QApplication::activeModalWidget()->close();  // give up
      return;
    }
    timer.stop();
    seen = true;
    inspect(*box);
    box->button(QMessageBox::Ok)->click();
  });
  timer.start();
  action();
  EXPECT_TRUE(seen);
}

TEST(QtRuntime, FinishedIsAPlainMessageBoxWithTheProgramsTitle) {
  NativeRuntime native("corvane2txt");
  QtRuntime runtime(native, kProgramTitle);
  WithMessageBox([&] { runtime.ShowMessage("Finished"); },
                 [](QMessageBox& box) {
                   EXPECT_EQ(box.windowTitle(), "Corvane2txt");
                   EXPECT_EQ(box.text(), "Finished");
                   EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
                   EXPECT_TRUE(box.isModal());
                   EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
                   EXPECT_EQ(box.buttons().size(), 1);
                   EXPECT_TRUE(box.button(QMessageBox::Ok)->icon().isNull());
                   // Wide enough for the caption and the title bar's buttons.
                   QFont title_font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
                   title_font.setBold(true);
                   const QFontMetrics metrics(title_font);
                   EXPECT_GE(box.width(),
                             metrics.horizontalAdvance("Corvane2txt") + 4 * metrics.height());
                 });
}

TEST(QtRuntime, AnErrorReportGivesNumberDescriptionAndFile) {
  NativeRuntime native("corvane2txt");
  QtRuntime runtime(native, kProgramTitle);
  const RuntimeError error(ErrorNumber::kFileNotFound, "cannot open file for reading",
                           "my page.html", "No such file or directory");
  WithMessageBox([&] { runtime.ReportError(error); },
                 [](QMessageBox& box) {
                   EXPECT_EQ(box.windowTitle(), "Corvane2txt");
                   EXPECT_EQ(box.text(),
                             "Run-time error 53:\n\nFile not found\n\n"
                             "cannot open file for reading: my page.html "
                             "(No such file or directory)");
                   EXPECT_TRUE(box.isModal());
                   EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
                 });
}

// Pressing Enter or Escape at the question about the home folder, Documents,
// Downloads or the root answers No.
TEST(LauncherQuestion, EnterAndEscapeAnswerNo) {
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    const auto box = MakeConfirmationBox("Corvane2txt", "\"/home/ann\" is your home folder.");
    box->show();
    QApplication::setActiveWindow(box.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(box.get()));
    QTest::keyClick(QApplication::focusWidget(), key);
    EXPECT_EQ(box->clickedButton(), box->button(QMessageBox::No)) << key;
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
  }
}

TEST(QtRuntime, EndProgramEndsTheProcessWithTheStatus) {
  NativeRuntime native("corvane2txt");
  QtRuntime runtime(native, kProgramTitle);
  EXPECT_EXIT(runtime.EndProgram(0), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(runtime.EndProgram(3), ::testing::ExitedWithCode(3), "");
}

}  // namespace
}  // namespace corvane
