// The handlers of Form1, the program's window (see form.h for the window
// itself).
//
// GO converts the current folder and ends the program; an edit of the help
// text empties the box; the hidden Donate button opens the donation link.
// Every other event is ignored. A failure inside a handler is reported to
// the user and ends the program with status 1: no exception leaves a
// handler.
#pragma once

#include <string_view>

#include "gui/form_description.h"
#include "platform/runtime.h"

namespace corvane {

class MainWindow final : public FormEvents {
 public:
  // `form` is the built Form1; `runtime` reaches the files, starts the
  // donation link's opener and tells the user. All must outlive this
  // object.
  MainWindow(FormControls& form, Runtime runtime);

  // Hands `event` of `control` to its handler, if it has one.
  void Handle(std::string_view control, FormEvent event) override;

  // Converts every page of the current folder, shows "Finished" and ends the
  // program. Runs once: a second click (possible only while a message box
  // of the first run is up) does nothing.
  void GO_Click();

  // Empties the help box after any edit.
  void TextBox_Change();

  // Writes "donate.url" and opens the donation page; returns to the window.
  void Donate_Click();

 private:
  FormControls& form_;
  Runtime runtime_;
  bool run_started_ = false;
};

}  // namespace corvane
