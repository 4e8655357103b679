// The runtime on Windows, for the console program.
//
// Files are reached with the Win32 calls themselves (CreateFileW, ReadFile,
// WriteFile, ...), relative to the current directory, so that every failure
// is seen with its system error code. Names cross the boundary as UTF-16:
// the program holds them in UTF-8 and converts them on each call, while the
// bytes inside the files pass unchanged. Messages go to standard output and
// error reports to standard error; a window program replaces those three
// services with its own.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/runtime.h"

namespace corvane {

// UTF-16 for the UTF-8 `name`; throws RuntimeError 75 naming `operation` and
// `name` when it is not valid UTF-8.
std::wstring WideName(std::string_view name, const std::string& operation);

// The text that a Win32 call puts into a buffer it is given, asked again
// with a larger buffer while it does not fit. `call(buffer, size)` returns
// the length written, or the size needed when the buffer is too small, or 0
// on failure; the result is then empty, and GetLastError tells why.
template <typename Call>
std::wstring GrowingBuffer(Call call) {
  std::wstring buffer(260, L'\0');  // MAX_PATH, enough for most names
  for (;;) {
    const std::size_t length = call(buffer.data(), static_cast<unsigned long>(buffer.size()));
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(std::max(length + 1, buffer.size() * 2));
  }
}

// UTF-16 for the UTF-8 `text`, for showing: what is not UTF-8 becomes
// U+FFFD rather than losing the message.
std::wstring WideText(std::string_view text);

// UTF-8 for the UTF-16 `text`. An unpaired surrogate, which no UTF-8 text
// can hold, becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view text);

// True for what the listing calls an ordinary file: attributes (and, for a
// reparse point, its tag) of neither a folder, a hidden or system file, a
// device, nor a link (a symbolic link or a junction). Other reparse points
// (files kept by a cloud service, deduplicated or compressed files) are
// ordinary files whose contents the system fetches on reading.
bool IsOrdinaryFile(std::uint32_t attributes, std::uint32_t reparse_tag);

// The run-time number for a Windows error code: ERROR_FILE_NOT_FOUND 53,
// ERROR_ACCESS_DENIED and ERROR_SHARING_VIOLATION 70, ERROR_DISK_FULL 61,
// ERROR_CRC 57, ...; anything else 75.
ErrorNumber ErrorNumberForWindowsError(std::uint32_t error);

// A RuntimeError for the Windows error code `error` met while doing
// `operation` on `file`, with the system's own text for it as the reason.
RuntimeError WindowsError(std::uint32_t error, std::string operation, std::string file);

// The full path of the program that `StartProgram(program, ...)` starts. A
// bare name (no folder in it) is looked for in the system folder, the
// Windows folder and the folders of PATH, in that order, and never in the
// current folder or beside this program: a page folder that holds a file
// called rundll32.exe does not get it run. ".exe" is added when the name has
// no extension. Throws RuntimeError 53 when there is no such program.
std::string FindProgram(const std::string& program);

class WindowsRuntime : public Runtime {
 public:
  // `program_name` starts every line this runtime writes to standard error.
  explicit WindowsRuntime(std::string program_name);

  std::vector<std::string> ListFiles() override;
  std::unique_ptr<InputFile> OpenForReading(const std::string& name) override;
  std::unique_ptr<OutputFile> OpenForWriting(const std::string& name) override;
  std::optional<FileStamp> CheckReplaceable(const std::string& name) override;
  FileStamp StampOf(const std::string& name) override;
  void SyncDirectory() override;
  void DeleteFile(const std::string& name) override;
  std::string CurrentDirectory() override;
  // Starts the program found by `FindProgram` with a normal, activated
  // window and the command line of `WindowsCommandLine`; no shell is
  // involved.
  void StartProgram(const std::string& program, const std::vector<std::string>& arguments) override;

  // A line on standard output.
  void ShowMessage(std::string_view text) override;
  // "<program name>: <error>" on standard error.
  void ReportError(const RuntimeError& error) override;
  // Flushes standard output and exits; a failure to write it turns the
  // status into 1.
  void EndProgram(int status) override;

 private:
  std::string program_name_;
};

}  // namespace corvane
