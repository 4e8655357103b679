#include "gui/qt/qt_user.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "gui/qt/utf8.h"

namespace corvane {

namespace {

// The width a title bar needs for `title`: the caption in a bold title
// font and room for the window manager's icon and buttons, about eight
// lines' height.
int TitleBarWidth(const QString& title) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
  font.setBold(true);
  const QFontMetrics metrics(font);
  return metrics.horizontalAdvance(title) + 8 * metrics.height();
}

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(const QString& title, const QString& text) {
  auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, title, text, QMessageBox::Ok,
                                           QApplication::activeWindow());
  box->setTextFormat(Qt::PlainText);
  box->setWindowModality(Qt::ApplicationModal);
  // A title bar with the caption and a close button, like any message box.
  box->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                      Qt::WindowCloseButtonHint);
  // Just "OK", without the style's picture on the button.
  box->button(QMessageBox::Ok)->setIcon(QIcon());
  if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
    grid->addItem(
        new QSpacerItem(TitleBarWidth(title), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
        grid->rowCount(), 0, 1, grid->columnCount());
  }
  return box;
}

QtUser::QtUser(User& console, std::string_view title)
    : console_(console), title_(FromUtf8(title)) {}

void QtUser::ShowMessage(std::string_view text) { MakeMessageBox(title_, FromUtf8(text))->exec(); }

void QtUser::ReportError(const RuntimeError& error) {
  // Also on standard error, for whoever started the program from a shell.
  console_.ReportError(error);
  const std::unique_ptr<QMessageBox> box = MakeMessageBox(title_, FromUtf8(ErrorReportText(error)));
  box->setIcon(QMessageBox::Critical);
  box->exec();
}

void QtUser::EndProgram(int status) {
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace corvane
