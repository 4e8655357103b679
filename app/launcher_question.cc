#include "app/launcher_question.h"

namespace corvane {

std::unique_ptr<QMessageBox> MakeConfirmationBox(const QString& title, const QString& question) {
  auto box = std::make_unique<QMessageBox>(QMessageBox::Question, title, question,
                                           QMessageBox::Yes | QMessageBox::No);
  // The question quotes the folder's name, which is no markup.
  box->setTextFormat(Qt::PlainText);
  box->setDefaultButton(QMessageBox::No);
  box->setEscapeButton(QMessageBox::No);
  return box;
}

}  // namespace corvane
