// Starting the window program on Windows: the folder and the program are
// checked with the file system's calls, and the program is started as a new
// process whose current directory is the folder.
#include "platform/launch.h"

// clang-format off
#include "platform/windows/windows_api.h"
// clang-format on
#include <knownfolders.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/windows/known_folders.h"
#include "platform/windows/utf16.h"
#include "platform/windows/windows_error.h"

namespace corvane {

namespace {

constexpr const char* kOpenFolder = "cannot open the folder";
constexpr const char* kStartProgram = "cannot start the program";

std::string Reason(DWORD error) { return WindowsError(error, {}, {}).reason(); }

std::wstring Wide(const std::string& path, const char* operation) {
  try {
    return WideName(path, operation);
  } catch (const RuntimeError& error) {
    throw LaunchError(operation, path, error.reason());
  }
}

// `path` without the "\\?\" (or "\\?\UNC\") in front that the system puts
// before the names it gives out in full.
std::wstring WithoutLongPathPrefix(std::wstring path) {
  if (path.starts_with(L"\\\\?\\UNC\\")) return L"\\\\" + path.substr(8);
  if (path.starts_with(L"\\\\?\\")) return path.substr(4);
  return path;
}

}  // namespace

std::string ResolveFolder(const std::string& folder) {
  if (folder.empty()) throw LaunchError(kOpenFolder, folder, Reason(ERROR_FILE_NOT_FOUND));
  const std::wstring wide = Wide(folder, kOpenFolder);
  const std::wstring full = GrowingBuffer([&](wchar_t* buffer, DWORD size) {
    return ::GetFullPathNameW(wide.c_str(), size, buffer, nullptr);
  });
  if (full.empty()) throw LaunchError(kOpenFolder, folder, Reason(::GetLastError()));
  const DWORD attributes = ::GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    throw LaunchError(kOpenFolder, folder, Reason(::GetLastError()));
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    throw LaunchError(kOpenFolder, folder, "it is not a folder");
  }
  // Opened for listing, as the window program will: a folder this user may
  // not list is refused here, and the handle gives the folder's final name.
  const HANDLE handle = ::CreateFileW(full.c_str(), FILE_LIST_DIRECTORY,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    throw LaunchError(kOpenFolder, folder, Reason(::GetLastError()));
  }
  std::wstring final_name = GrowingBuffer([&](wchar_t* buffer, DWORD size) {
    return ::GetFinalPathNameByHandleW(handle, buffer, size, FILE_NAME_NORMALIZED);
  });
  ::CloseHandle(handle);
  // Some file systems cannot tell the final name; the full name is the best
  // there is then.
  std::wstring resolved = final_name.empty() ? full : WithoutLongPathPrefix(final_name);
  if (resolved.size() > 3 && resolved.back() == L'\\') resolved.pop_back();
  return Utf8FromWide(resolved);
}

std::string HomeFolder() { return KnownFolder(FOLDERID_Profile); }

std::string ProgramFolder() {
  const std::wstring path = GrowingBuffer([](wchar_t* buffer, DWORD size) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer, size);
    // A name cut short to fit fills the buffer: ask again with more room.
    return length == size ? size : length;
  });
  if (path.empty()) {
    throw LaunchError("cannot find the folder of", "this program", Reason(::GetLastError()));
  }
  return Utf8FromWide(WithoutLongPathPrefix(path.substr(0, path.rfind(L'\\'))));
}

void CheckProgram(const std::string& program) {
  const std::wstring wide = Wide(program, kStartProgram);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    throw LaunchError(kStartProgram, program, Reason(::GetLastError()));
  }
  DWORD type = 0;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !::GetBinaryTypeW(wide.c_str(), &type)) {
    throw LaunchError(kStartProgram, program, "it is not a program file");
  }
}

void RunProgramIn(const std::string& program, const std::string& folder) {
  const std::wstring wide_folder = Wide(folder, kOpenFolder);
  const DWORD attributes = ::GetFileAttributesW(wide_folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    throw LaunchError(kOpenFolder, folder, Reason(::GetLastError()));
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    throw LaunchError(kOpenFolder, folder, "it is not a folder");
  }
  const std::wstring wide_program = Wide(program, kStartProgram);
  // No Windows file name holds a double quote: quoting the name is enough
  // for the program to find itself as its first argument.
  std::wstring command_line = L"\"" + wide_program + L"\"";

  // The window shows as the launcher was asked to show (a shortcut set to
  // start minimized, say).
  STARTUPINFOW own{};
  own.cb = sizeof own;
  ::GetStartupInfoW(&own);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if ((own.dwFlags & STARTF_USESHOWWINDOW) != 0) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = own.wShowWindow;
  }
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(wide_program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, wide_folder.c_str(), &startup, &process)) {
    throw LaunchError(kStartProgram, program, Reason(::GetLastError()));
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  std::exit(0);
}

}  // namespace corvane
