// What only the Qt engine has, beside the Form1 suite (form1_test.cc): the
// screen's resolution reaching the form, the title's exact point size, what
// a screen reader meets in the window, the message box's width and the
// launcher's question. The offscreen font setups
// (DejaVu Sans only, DejaVu Sans with Nimbus Sans) rerun the layout tests.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <iterator>
#include <string>

#include "app/launcher_question.h"
#include "gui/qt/qt_form.h"
#include "gui/qt/qt_user.h"
#include "tests/qt_form_driver.h"
#include "tests/recorded_runtime.h"
#include "window/form.h"
#include "window/maker.h"

namespace corvane {
namespace {

using testing::ExpectedDpi;

TEST(QtForm, IsBuiltAtTheScreensResolutionPixelForPixel) {
  const QtForm form(Form1());
  ASSERT_EQ(form.dpi_x(), ExpectedDpi()) << "QT_FONT_DPI did not reach the screen";
  ASSERT_EQ(form.dpi_y(), ExpectedDpi());
  EXPECT_DOUBLE_EQ(form.window()->devicePixelRatioF(), 1.0);
  // The described size exactly, whatever the pixels round to.
  EXPECT_DOUBLE_EQ(form.control("Label1")->font().pointSizeF(), 13.8);
}

// Read through Qt's accessible interfaces, as the desktop's accessibility
// bridge reads them: the window, then its children in order. The hidden
// Donate button is none of them.
TEST(QtForm, ScreenReadersMeetTheWindowAndEachShownControlByWhatItIs) {
  QtForm form(Form1());
  form.Show();
  QAccessibleInterface* window = QAccessible::queryAccessibleInterface(form.window());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->role(), QAccessible::Window);
  EXPECT_EQ(window->text(QAccessible::Name), "Form1");
  EXPECT_FALSE(Form1().accessible_description.empty());
  EXPECT_EQ(window->text(QAccessible::Description).toStdString(), Form1().accessible_description);

  const struct {
    const char* control;
    QAccessible::Role role;
    std::string name;
  } children[] = {
      {"Label1", QAccessible::Heading, "Convert Corvane html files to txt"},
      {"GO", QAccessible::Button, "GO"},
      {"Label4", QAccessible::StaticText, std::string(kCopyrightNotice)},
      {"TextBox", QAccessible::EditableText, "Help"},
  };
  ASSERT_EQ(window->childCount(), static_cast<int>(std::size(children)));
  for (int i = 0; i < window->childCount(); ++i) {
    const auto& expected = children[i];
    QAccessibleInterface* child = window->child(i);
    ASSERT_NE(child, nullptr) << i;
    EXPECT_EQ(child->object(), form.control(expected.control)) << i;
    EXPECT_EQ(child->role(), expected.role) << expected.control;
    EXPECT_EQ(child->text(QAccessible::Name).toStdString(), expected.name) << expected.control;
    EXPECT_EQ(window->indexOfChild(child), i) << expected.control;
    EXPECT_FALSE(child->state().invisible) << expected.control;
  }
  QAccessibleInterface* donate = QAccessible::queryAccessibleInterface(form.control("Donate"));
  ASSERT_NE(donate, nullptr);
  EXPECT_EQ(window->indexOfChild(donate), -1);
  EXPECT_FALSE(form.control("Donate")->isVisible());
}

TEST(QtUser, FinishedIsWideEnoughForTheTitleBar) {
  testing::RecordingUser console;
  QtUser user(console, kProgramTitle);
  EXPECT_TRUE(testing::WithQtMessageBox(
      [&] { user.ShowMessage("Finished"); },
      [](QMessageBox& box) {
        EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
        EXPECT_TRUE(box.button(QMessageBox::Ok)->icon().isNull());
        // Wide enough for the caption and the title bar's buttons.
        QFont title_font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
        title_font.setBold(true);
        const QFontMetrics metrics(title_font);
        EXPECT_GE(box.width(), metrics.horizontalAdvance("Corvane2txt") + 4 * metrics.height());
      }));
}

// Pressing Enter or Escape at the question about the home folder, Documents,
// Downloads or the root answers No.
TEST(LauncherQuestion, EnterAndEscapeAnswerNo) {
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    const auto box = MakeConfirmationBox("Corvane2txt", "\"/home/ann\" is your home folder.");
    box->show();
    box->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(box.get()));
    QTest::keyClick(QApplication::focusWidget(), key);
    EXPECT_EQ(box->clickedButton(), box->button(QMessageBox::No)) << key;
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
  }
}

}  // namespace
}  // namespace corvane
