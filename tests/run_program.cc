#include "tests/run_program.h"

#ifdef _WIN32
#include "platform/windows/command_line.h"
#include "platform/windows/utf16.h"
#include "platform/windows/windows_api.h"
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <stdexcept>

#include "tests/temp_folder.h"

namespace corvane::testing {

namespace fs = std::filesystem;

#ifdef _WIN32

namespace {

HANDLE OpenInherited(const fs::path& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE handle =
      ::CreateFileW(path.wstring().c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                    disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path.string());
  return handle;
}

}  // namespace

ProgramResult RunProgram(const fs::path& program, const fs::path& folder,
                         const std::vector<std::string>& arguments) {
  TempFolder capture;
  const fs::path out = capture.path() / "out";
  const fs::path err = capture.path() / "err";
  const HANDLE handles[] = {OpenInherited("NUL", GENERIC_READ, OPEN_EXISTING),
                            OpenInherited(out, GENERIC_WRITE, CREATE_ALWAYS),
                            OpenInherited(err, GENERIC_WRITE, CREATE_ALWAYS)};
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = handles[0];
  startup.hStdOutput = handles[1];
  startup.hStdError = handles[2];
  std::wstring command_line =
      WideName(WindowsCommandLine(Utf8FromWide(program.wstring()), arguments), "run");
  PROCESS_INFORMATION process{};
  const bool started =
      ::CreateProcessW(program.wstring().c_str(), command_line.data(), nullptr, nullptr, TRUE, 0,
                       nullptr, folder.wstring().c_str(), &startup, &process);
  for (HANDLE handle : handles) ::CloseHandle(handle);
  if (!started) throw std::runtime_error("cannot start " + program.string());
  DWORD status = 0;
  ::WaitForSingleObject(process.hProcess, INFINITE);
  const bool exited = ::GetExitCodeProcess(process.hProcess, &status);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return ProgramResult{exited ? static_cast<int>(status) : -1, ReadFile(out), ReadFile(err)};
}

#else

ProgramResult RunProgram(const fs::path& program, const fs::path& folder,
                         const std::vector<std::string>& arguments) {
  TempFolder capture;
  const fs::path out = capture.path() / "out";
  const fs::path err = capture.path() / "err";
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const int out_fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out_fd < 0 || err_fd < 0 || ::chdir(folder.c_str()) != 0) ::_exit(127);
    ::dup2(out_fd, 1);
    ::dup2(err_fd, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return ProgramResult{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
}

#endif

}  // namespace corvane::testing
