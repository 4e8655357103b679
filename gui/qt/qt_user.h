// The user of the window program on Qt: messages and error reports in
// modal message boxes.
#pragma once

#include <QString>
#include <memory>
#include <string>
#include <string_view>

#include "platform/user.h"

class QMessageBox;

namespace corvane {

// A modal message box holding `text` with an OK button only and no icon,
// captioned `title` and wide enough to show the whole caption in the title
// bar.
std::unique_ptr<QMessageBox> MakeMessageBox(const QString& title, const QString& text);

class QtUser final : public User {
 public:
  // `console` is told each error too (standard error, for whoever started
  // the program from a shell); `title` is the caption of the message
  // boxes. `console` must outlive this object.
  QtUser(User& console, std::string_view title);

  // A modal message box with an OK button; returns when it is dismissed.
  void ShowMessage(std::string_view text) override;
  // A modal message box with the error's number, description and file.
  void ReportError(const RuntimeError& error) override;
  // Ends the process with `status` at once; no window event follows.
  [[noreturn]] void EndProgram(int status) override;

 private:
  User& console_;
  QString title_;
};

}  // namespace corvane
