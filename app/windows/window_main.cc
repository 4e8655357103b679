// corvane2txt.exe: the window program on Windows. Shows Form1; GO converts
// the saved pages of the current folder, shows "Finished" and ends the
// program.
#include "gui/win32/win32_form.h"
#include "gui/win32/win32_user.h"
#include "platform/native_runtime.h"
#include "window/form.h"
#include "window/main_window.h"
#include "window/maker.h"

int main() {
  corvane::NativeFileSystem files;
  corvane::NativeProgramStarter programs;
  corvane::ConsoleUser console("corvane2txt");
  corvane::Win32Form form(corvane::Form1(), corvane::ScreenDpi());
  // "Finished" and the error box belong to the window and appear over it.
  corvane::Win32User user(console, corvane::kProgramTitle, form.window());
  corvane::MainWindow main_window(form, {files, programs, user});
  form.SetEvents(&main_window);
  form.Show();
  return corvane::RunMessageLoop(form);
}
