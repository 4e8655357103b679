// Lines on a POSIX console: the bytes as they are.
#include "platform/console_user.h"

#include <cstdio>

namespace corvane {

void ConsoleUser::ShowMessage(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
}

void ConsoleUser::ReportError(const RuntimeError& error) {
  std::fprintf(stderr, "%s: %s\n", program_name_.c_str(), error.what());
}

}  // namespace corvane
