// corvane2txt.exe: the window program on Windows. Shows Form1; GO converts
// the saved pages of the current folder, shows "Finished" and ends the
// program.
// clang-format off
#include "platform/windows/windows_api.h"
#include <objbase.h>
// clang-format on

#include "gui/win32/win32_form.h"
#include "gui/win32/win32_user.h"
#include "platform/native_runtime.h"
#include "window/form.h"
#include "window/main_window.h"
#include "window/maker.h"

int main() {
  // Screen readers, in processes of their own, reach the window's
  // accessible objects through COM (gui/win32/accessible_object.h). Never
  // left: the program ends by ending its process.
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
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
