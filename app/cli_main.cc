// corvane2txt-cli: converts the saved pages of the current folder, like the
// window's GO button, and prints "Finished".
#include <cstdio>
#include <new>
#include <string_view>

#include "app/version.h"
#include "convert/folder_run.h"
#include "platform/native_runtime.h"

namespace {

constexpr const char* kProgramName = "corvane2txt-cli";

constexpr std::string_view kUsage = "usage: corvane2txt-cli [--help | --version]\n";

constexpr std::string_view kHelp =
    "Converts every saved Corvane page (*.html) in the current folder into a\n"
    "text file of the same name (*.txt) beside it: the page's name, an empty\n"
    "line and the article, without tags and without \"Continue reading\".\n"
    "Each page is deleted once its text file is safely on disk. Prints\n"
    "\"Finished\" when every page is converted.\n"
    "\n"
    "On an error the conversion stops, the page concerned and all pages after\n"
    "it stay, and the error is described on standard error.\n"
    "\n"
    "Exit status: 0 when finished, 1 on an error, 2 on a wrong argument.\n";

void Print(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace

int main(int argc, char* argv[]) {
  corvane::NativeRuntime runtime(kProgramName);
  if (argc > 1) {
    const std::string_view argument = argv[1];
    if (argc == 2 && argument == "--help") {
      Print(stdout, kUsage);
      Print(stdout, "\n");
      Print(stdout, kHelp);
    } else if (argc == 2 && argument == "--version") {
      std::printf("%s %.*s\n", kProgramName, static_cast<int>(corvane::kVersion.size()),
                  corvane::kVersion.data());
    } else {
      std::fprintf(stderr, "%s: unexpected argument '%s'\n", kProgramName, argv[1]);
      Print(stderr, kUsage);
      return 2;
    }
    runtime.EndProgram(0);
  }
  try {
    corvane::ConvertFolder(runtime);  // ends the program when it is done
  } catch (const corvane::RuntimeError& error) {
    runtime.ReportError(error);
  } catch (const std::bad_alloc&) {
    runtime.ReportError(corvane::RuntimeError(corvane::ErrorNumber::kOutOfMemory,
                                              "cannot hold the page in memory", ""));
  }
  runtime.EndProgram(1);
}
