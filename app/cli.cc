#include "app/cli.h"

#include <cstdio>
#include <string_view>

#include "app/version.h"
#include "convert/folder_run.h"
#include "platform/console_user.h"

namespace corvane {

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

int RunConsoleProgram(int argc, char* argv[], FileSystem& files) {
  ConsoleUser user(kProgramName);
  if (argc > 1) {
    const std::string_view argument = argv[1];
    if (argc == 2 && argument == "--help") {
      Print(stdout, kUsage);
      Print(stdout, "\n");
      Print(stdout, kHelp);
    } else if (argc == 2 && argument == "--version") {
      std::printf("%s %.*s\n", kProgramName, static_cast<int>(kVersion.size()), kVersion.data());
    } else {
      std::fprintf(stderr, "%s: unexpected argument '%s'\n", kProgramName, argv[1]);
      Print(stderr, kUsage);
      return 2;
    }
    user.EndProgram(0);
    return 0;  // and no run, even where the user's end returns
  }
  // The run ends the program through `user`: with 0 once it is finished,
  // with 1 after an error. The console's end exits; were it to return, the
  // same status would be returned here.
  const bool finished = ReportingFailures(user, [&] { ConvertFolder(files, user); });
  return finished ? 0 : 1;
}

}  // namespace corvane
