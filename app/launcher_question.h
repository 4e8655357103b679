// The launcher's second question, built apart from its showing so that the
// tests can look at it.
#pragma once

#include <QMessageBox>
#include <QString>
#include <memory>

namespace corvane {

// The question, captioned `title`, with Yes and No, that the launcher asks
// before it starts the window program in a folder that holds much more than
// saved pages (see `ConfirmationQuestion`). Enter, Escape and the close
// button all answer No: a hasty key press leaves the folder's pages alone.
std::unique_ptr<QMessageBox> MakeConfirmationBox(const QString& title, const QString& question);

}  // namespace corvane
