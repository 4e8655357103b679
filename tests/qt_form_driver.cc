// FormDriver over QtForm: widgets driven with Qt Test on the offscreen
// platform, at the resolution the test run set (QT_FONT_DPI).
#include "tests/qt_form_driver.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTimer>
#include <cmath>
#include <map>
#include <stdexcept>

#include "gui/qt/qt_form.h"
#include "gui/qt/qt_user.h"
#include "gui/qt/utf8.h"
#include "tests/form_driver.h"
#include "window/maker.h"

namespace corvane::testing {

int ExpectedDpi() {
  const int dpi = qEnvironmentVariableIntValue("CORVANE_TEST_DPI");
  return dpi == 0 ? 96 : dpi;
}

bool WithQtMessageBox(const std::function<void()>& show,
                      const std::function<void(QMessageBox&)>& inspect) {
  bool seen = false;
  QTimer timer;
  timer.setInterval(10);
  int ticks = 0;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) {
      if (++ticks > 500 && QApplication::activeModalWidget() != nullptr) {
        QApplication::activeModalWidget()->close();  // give up
      }
      return;
    }
    timer.stop();
    seen = true;
    inspect(*box);
    box->button(QMessageBox::Ok)->click();
  });
  timer.start();
  show();
  return seen;
}

namespace {

std::string WithCrLf(QString text) {
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return text.toStdString();
}

Place PlaceOfRect(const QRect& rect) {
  return Place{rect.left(), rect.top(), rect.width(), rect.height()};
}

class QtFormDriver final : public FormDriver {
 public:
  explicit QtFormDriver(const FormDescription& form) : form_(form) {}

  FormControls& controls() override { return form_; }
  void SetEvents(FormEvents* events) override { form_.SetEvents(events); }
  void Show() override {
    form_.Show();
    form_.window()->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form_.window()));
  }
  int Dpi() const override { return static_cast<int>(std::lround(form_.dpi_y())); }

  std::string Title() const override { return form_.window()->windowTitle().toStdString(); }
  Place ClientPlace() const override { return PlaceOfRect(form_.window()->rect()); }
  Place PlaceOf(std::string_view control) const override {
    return PlaceOfRect(Widget(control)->geometry());
  }
  std::string Text(std::string_view control) const override {
    const QWidget* widget = Widget(control);
    if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text().toStdString();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
      return button->text().toStdString();
    }
    return form_.Text(control);
  }
  bool IsVisible(std::string_view control) const override {
    return Widget(control)->isVisibleTo(form_.window());
  }
  FontSeen FontOf(std::string_view control) const override {
    const QFont font = Widget(control)->font();
    const QFontInfo info(font);
    return FontSeen{.face = info.family().toStdString(),
                    .pixel_height = info.pixelSize(),
                    .weight = info.weight(),
                    .italic = info.italic(),
                    .stretch = font.stretch() == 0 ? 100 : font.stretch()};
  }
  Place Extent(std::string_view control, std::string_view text) const override {
    const QWidget* widget = Widget(control);
    const QFontMetricsF metrics(widget->font(), widget);
    return Place{0, 0, static_cast<int>(std::ceil(metrics.horizontalAdvance(FromUtf8(text)))),
                 static_cast<int>(std::ceil(metrics.height()))};
  }
  Place TextRoom(std::string_view control) const override {
    return PlaceOfRect(Widget(control)->rect());
  }
  bool HasFace(std::string_view face) const override {
    return QFontDatabase::hasFamily(FromUtf8(face));
  }
  std::string Focus() const override {
    const QWidget* focus = QApplication::focusWidget();
    return focus == nullptr ? std::string() : focus->objectName().toStdString();
  }
  std::pair<int, int> Selection(std::string_view box) const override {
    const QTextCursor cursor = Box(box)->textCursor();
    return {cursor.selectionStart(), cursor.selectionEnd()};
  }
  bool IsReadOnly(std::string_view box) const override { return Box(box)->isReadOnly(); }
  bool HasScrollBars(std::string_view box) const override {
    return Box(box)->verticalScrollBar()->isVisible() ||
           Box(box)->horizontalScrollBar()->isVisible();
  }
  std::vector<ShownLine> ShownLines(std::string_view name) const override {
    QPlainTextEdit* box = Box(name);
    std::vector<ShownLine> lines;
    for (QTextBlock block = box->document()->begin(); block.isValid(); block = block.next()) {
      // Lays the block out if it is not yet.
      box->document()->documentLayout()->blockBoundingRect(block);
      const QTextLayout& layout = *block.layout();
      for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        QTextCursor end(block);
        end.setPosition(block.position() + line.textStart() + line.textLength());
        lines.push_back(
            ShownLine{block.text().mid(line.textStart(), line.textLength()).toStdString(),
                      box->cursorRect(end).bottom()});
      }
    }
    while (!lines.empty() && lines.back().text.empty()) lines.pop_back();
    return lines;
  }
  int TextAreaHeight(std::string_view box) const override { return Box(box)->viewport()->height(); }
  std::string Clipboard() const override { return WithCrLf(QApplication::clipboard()->text()); }

  void ResizeWindow(int width, int height) override {
    form_.window()->resize(width, height);
    QApplication::processEvents();
  }
  void SetFocus(std::string_view control) override { Widget(control)->setFocus(); }
  void Press(Key key, bool shift) override {
    const Qt::KeyboardModifiers modifiers = shift ? Qt::ShiftModifier : Qt::NoModifier;
    QWidget* focus = QApplication::focusWidget();
    switch (key) {
      case Key::kDocumentStart:
        QTest::keySequence(focus, QKeySequence::MoveToStartOfDocument);
        return;
      case Key::kDocumentEnd:
        QTest::keySequence(focus, QKeySequence::MoveToEndOfDocument);
        return;
      case Key::kTab:
        // Qt names Shift+Tab a key of its own.
        QTest::keyClick(focus, shift ? Qt::Key_Backtab : Qt::Key_Tab, modifiers);
        return;
      default:
        break;
    }
    static const std::map<Key, Qt::Key> keys = {
        {Key::kReturn, Qt::Key_Return},
        {Key::kSpace, Qt::Key_Space},
        {Key::kBackspace, Qt::Key_Backspace},
        {Key::kDelete, Qt::Key_Delete},
        {Key::kLeft, Qt::Key_Left},
        {Key::kRight, Qt::Key_Right},
        {Key::kUp, Qt::Key_Up},
        {Key::kDown, Qt::Key_Down},
        {Key::kHome, Qt::Key_Home},
        {Key::kEnd, Qt::Key_End},
        {Key::kPageUp, Qt::Key_PageUp},
        {Key::kPageDown, Qt::Key_PageDown},
    };
    QTest::keyClick(focus, keys.at(key), modifiers);
  }
  void Type(std::string_view text) override {
    QTest::keyClicks(QApplication::focusWidget(), FromUtf8(text));
  }
  void Run(Command command) override {
    static const std::map<Command, QKeySequence::StandardKey> keys = {
        {Command::kSelectAll, QKeySequence::SelectAll}, {Command::kCut, QKeySequence::Cut},
        {Command::kCopy, QKeySequence::Copy},           {Command::kPaste, QKeySequence::Paste},
        {Command::kUndo, QKeySequence::Undo},           {Command::kRedo, QKeySequence::Redo},
    };
    QTest::keySequence(QApplication::focusWidget(), keys.at(command));
  }
  void Select(std::string_view name, int start, int end) override {
    QPlainTextEdit* box = Box(name);
    QTextCursor cursor = box->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    box->setTextCursor(cursor);
  }
  void Click(std::string_view control, int x, int y) override {
    QWidget* target = MouseTarget(control, x, y);
    QTest::mouseClick(target, Qt::LeftButton, {}, x < 0 ? QPoint() : QPoint(x, y));
  }
  void DoubleClick(std::string_view control, int x, int y) override {
    QTest::mouseDClick(MouseTarget(control, x, y), Qt::LeftButton, {}, QPoint(x, y));
  }
  void Drag(std::string_view control, int from_x, int from_y, int to_x, int to_y) override {
    QWidget* target = MouseTarget(control, from_x, from_y);
    QTest::mousePress(target, Qt::LeftButton, {}, QPoint(from_x, from_y));
    QTest::mouseMove(target, QPoint(to_x, to_y));
    QTest::mouseRelease(target, Qt::LeftButton, {}, QPoint(to_x, to_y));
  }
  bool Close() override {
    const bool closed = form_.window()->close();
    QApplication::processEvents();
    return closed && !form_.window()->isVisible();
  }

  std::unique_ptr<User> BoxUser(User& console) override {
    return std::make_unique<QtUser>(console, kProgramTitle);
  }
  BoxSeen WithMessageBox(const std::function<void()>& show) override {
    BoxSeen seen;
    seen.seen = WithQtMessageBox(show, [&](QMessageBox& box) {
      seen.title = box.windowTitle().toStdString();
      seen.text = box.text().toStdString();
      for (const QAbstractButton* button : box.buttons()) {
        seen.buttons.push_back(button->text().remove(QLatin1Char('&')).toStdString());
      }
      seen.icon = box.icon() != QMessageBox::NoIcon;
      seen.form_usable = !box.isModal();
    });
    return seen;
  }

 private:
  QWidget* Widget(std::string_view control) const {
    if (control == "Form1") return form_.window();
    QWidget* widget = form_.control(control);
    if (widget == nullptr) throw std::invalid_argument("no control " + std::string(control));
    return widget;
  }
  QPlainTextEdit* Box(std::string_view control) const {
    auto* box = qobject_cast<QPlainTextEdit*>(Widget(control));
    if (box == nullptr) throw std::invalid_argument("no text box " + std::string(control));
    return box;
  }
  // A text box takes the mouse in its viewport, inside its frame: (x, y)
  // become the viewport's.
  QWidget* MouseTarget(std::string_view control, int& x, int& y) const {
    QWidget* widget = Widget(control);
    if (auto* box = qobject_cast<QPlainTextEdit*>(widget); box != nullptr && x >= 0) {
      x -= box->viewport()->x();
      y -= box->viewport()->y();
      return box->viewport();
    }
    return widget;
  }

  QtForm form_;
};

}  // namespace

std::vector<int> TestDpis() { return {ExpectedDpi()}; }

std::unique_ptr<FormDriver> MakeFormDriver(const FormDescription& form, int dpi) {
  if (dpi != ExpectedDpi()) throw std::invalid_argument("the Qt form takes the screen's dpi");
  return std::make_unique<QtFormDriver>(form);
}

}  // namespace corvane::testing
