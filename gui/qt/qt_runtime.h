// The runtime of the window program: the system's own runtime for files and
// programs, with messages and error reports in modal message boxes.
#pragma once

#include <QString>
#include <memory>
#include <string>
#include <string_view>

#include "platform/runtime_wrapper.h"

class QMessageBox;

namespace corvane {

// A modal message box holding `text` with an OK button only and no icon,
// captioned `title` and wide enough to show the whole caption in the title
// bar.
std::unique_ptr<QMessageBox> MakeMessageBox(const QString& title, const QString& text);

class QtRuntime final : public RuntimeWrapper {
 public:
  // `native` reaches the files and programs and writes error reports to
  // standard error too; `title` is the caption of the message boxes.
  // `native` must outlive this object.
  QtRuntime(Runtime& native, std::string_view title);

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
