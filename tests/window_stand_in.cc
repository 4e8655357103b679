// A stand-in for the window program on Windows, for the tests of the
// launcher: writes its current folder and its number of arguments, each on
// a line, to the file named by %CORVANE_FAKE_RECORD%. The file appears under
// its name only once it is complete.
#include <fstream>
#include <string>

#include "platform/windows/utf16.h"
#include "platform/windows/windows_api.h"

int wmain(int argc, wchar_t*[]) {
  wchar_t record[MAX_PATH];
  wchar_t folder[MAX_PATH];
  const DWORD record_length = ::GetEnvironmentVariableW(L"CORVANE_FAKE_RECORD", record, MAX_PATH);
  const DWORD folder_length = ::GetCurrentDirectoryW(MAX_PATH, folder);
  if (record_length == 0 || record_length >= MAX_PATH || folder_length == 0 ||
      folder_length >= MAX_PATH) {
    return 2;
  }
  const std::wstring part = std::wstring(record) + L".part";
  {
    std::ofstream out(part.c_str(), std::ios::binary);
    out << corvane::Utf8FromWide(folder) << '\n' << argc - 1 << '\n';
    if (!out) return 1;
  }
  return ::MoveFileW(part.c_str(), record) ? 0 : 1;
}
