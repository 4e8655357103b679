#include "platform/windows/windows_program_starter.h"

// clang-format off
#include "platform/windows/windows_api.h"
// clang-format on

#include "platform/windows/command_line.h"
#include "platform/windows/find_program.h"
#include "platform/windows/utf16.h"
#include "platform/windows/windows_error.h"

namespace corvane {

void WindowsProgramStarter::StartProgram(const std::string& program,
                                         const std::vector<std::string>& arguments) {
  static const std::string kOperation = "cannot start program";
  const std::wstring application = WideName(FindProgram(program), kOperation);
  std::wstring command_line = WideName(WindowsCommandLine(program, arguments), kOperation);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
    throw WindowsError(::GetLastError(), kOperation, program);
  }
  // Not waited for: the handles are all this program would have of it.
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
}

}  // namespace corvane
