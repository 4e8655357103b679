// corvane2txt.exe: the window program on Windows. Shows Form1; GO converts
// the saved pages of the current folder, shows "Finished" and ends the
// program.
#include "gui/win32/win32_form.h"
#include "gui/win32/win32_runtime.h"
#include "platform/native_runtime.h"
#include "window/form.h"
#include "window/main_window.h"
#include "window/maker.h"

int main() {
  corvane::NativeRuntime native("corvane2txt");
  corvane::Win32Form form(corvane::Form1(), corvane::ScreenDpi());
  // "Finished" and the error box belong to the window and appear over it.
  corvane::Win32Runtime runtime(native, corvane::kProgramTitle, form.window());
  corvane::MainWindow main_window(form, runtime);
  form.SetEvents(&main_window);
  form.Show();
  return corvane::RunMessageLoop(form);
}
