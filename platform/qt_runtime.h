// The runtime of the window program: the POSIX services for files and
// programs, with messages and error reports in modal message boxes.
#pragma once

#include <QString>
#include <memory>
#include <string>
#include <string_view>

#include "platform/posix_runtime.h"

class QMessageBox;

namespace corvane {

// A modal message box holding `text` with an OK button only and no icon,
// captioned `title` and wide enough to show the whole caption in the title
// bar.
std::unique_ptr<QMessageBox> MakeMessageBox(const QString& title, const QString& text);

// The text of an error report: the error's number and description, then
// what was being done, the file and the system's reason.
QString ErrorReportText(const RuntimeError& error);

class QtRuntime final : public PosixRuntime {
 public:
  // `program_name` names the program on standard error; `title` is the
  // caption of its message boxes.
  QtRuntime(std::string program_name, std::string title);

  // A modal message box with an OK button; returns when it is dismissed.
  void ShowMessage(std::string_view text) override;
  // A modal message box with the error's number, description and file.
  void ReportError(const RuntimeError& error) override;
  // Ends the process with `status` at once; no window event follows.
  [[noreturn]] void EndProgram(int status) override;

 private:
  QString title_;
};

}  // namespace corvane
