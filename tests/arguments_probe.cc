// A small Windows program for the tests of StartProgram: writes the
// arguments it received after its first one, as the C run-time library
// split its command line, to the file its first argument names. Each
// argument is written in UTF-8 and ended by a NUL byte. The file appears
// under its name only once it is complete.
#include <fstream>
#include <string>

#include "platform/windows/utf16.h"
#include "platform/windows/windows_api.h"

int wmain(int argc, wchar_t* argv[]) {
  if (argc < 2) return 2;
  const std::wstring target = argv[1];
  const std::wstring part = target + L".part";
  {
    std::ofstream out(part.c_str(), std::ios::binary);
    for (int i = 2; i < argc; ++i) {
      const std::string argument = corvane::Utf8FromWide(argv[i]);
      out.write(argument.data(), static_cast<std::streamsize>(argument.size()));
      out.put('\0');
    }
    if (!out) return 1;
  }
  return ::MoveFileW(part.c_str(), target.c_str()) ? 0 : 1;
}
