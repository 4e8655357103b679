// corvane2txt: the window program. Shows Form1; GO converts the saved pages
// of the current folder, shows "Finished" and ends the program.
//
// Like any program it answers --help and --version in the terminal. Where
// there is no display to show the window on (an ssh session, a machine
// without a desktop), it says so in one line and points to corvane2txt-cli,
// instead of letting Qt abort.
#include <QApplication>
#include <QByteArray>
#include <QIcon>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/version.h"
#include "gui/qt/qt_form.h"
#include "gui/qt/qt_user.h"
#include "platform/console_user.h"
#include "platform/native_runtime.h"
#include "window/form.h"
#include "window/main_window.h"
#include "window/maker.h"

namespace {

constexpr const char* kProgramName = "corvane2txt";

constexpr std::string_view kUsage = "usage: corvane2txt [--help | --version]\n";

constexpr std::string_view kHelp =
    "Shows the Corvane2txt window for the current folder. Its GO button\n"
    "converts every saved Corvane page (*.html) in the folder into a text file\n"
    "of the same name (*.txt) beside it, and deletes each page once its text\n"
    "file is safely on disk; then \"Finished\" is shown and the program ends.\n"
    "Closing the window instead touches no file.\n"
    "\n"
    "corvane2txt-cli does the same in a terminal, without a display;\n"
    "corvane2txt-launcher asks for the folder first.\n"
    "\n"
    "Exit status: 0 when finished or closed, 1 on an error, 2 on a wrong\n"
    "argument.\n";

constexpr std::string_view kUseTheConsoleProgram =
    "; corvane2txt-cli does the same work in a terminal\n";

void Print(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

[[noreturn]] void RefuseWithoutDisplay(const std::string& problem) {
  std::fprintf(stderr, "%s: %s", kProgramName, problem.c_str());
  Print(stderr, kUseTheConsoleProgram);
  std::fflush(stderr);
  std::_Exit(1);
}

// The value of Qt's option `name` ("-platform", which Qt also takes as
// "--platform"), the argument after it; or nothing.
const char* QtOption(int argc, char** argv, std::string_view name) {
  for (int i = 1; i + 1 < argc; ++i) {
    std::string_view argument = argv[i];
    if (argument.starts_with("--")) argument.remove_prefix(1);
    if (argument == name) return argv[i + 1];
  }
  return nullptr;
}

bool IsSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

// What Qt says while it connects to the display: held back, so that a
// failure ends in one line of ours rather than Qt's lines and an abort.
struct HeldMessage {
  QtMsgType type;
  QString text;
};
std::vector<HeldMessage> held_messages;
std::string display_name;

void HoldMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtFatalMsg) {
    RefuseWithoutDisplay(display_name.empty()
                             ? std::string("cannot show the window on the display")
                             : "cannot show the window on the display \"" + display_name + "\"");
  }
  held_messages.push_back({type, text});
}

// The application, connected to the display. Without a platform chosen by
// QT_QPA_PLATFORM or -platform, a missing or unreachable display ends the
// program with status 1 and one line on standard error.
std::unique_ptr<QApplication> ConnectToDisplay(int& argc, char** argv) {
  if (IsSet("QT_QPA_PLATFORM") || QtOption(argc, argv, "-platform") != nullptr) {
    return corvane::CreateApplication(argc, argv);
  }
  if (const char* display = QtOption(argc, argv, "-display")) {
    display_name = display;
  } else if (IsSet("DISPLAY")) {
    display_name = std::getenv("DISPLAY");
  } else if (IsSet("WAYLAND_DISPLAY")) {
    display_name = std::getenv("WAYLAND_DISPLAY");
  } else {
    RefuseWithoutDisplay(
        "no display to show the window on (DISPLAY and WAYLAND_DISPLAY are unset)");
  }
  const QtMessageHandler previous = qInstallMessageHandler(HoldMessage);
  std::unique_ptr<QApplication> application = corvane::CreateApplication(argc, argv);
  qInstallMessageHandler(previous);
  for (const HeldMessage& message : std::exchange(held_messages, {})) {
    qt_message_output(message.type, QMessageLogContext(), message.text);
  }
  return application;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc > 1) {
    const std::string_view argument = argv[1];
    if (argument == "--help" || argument == "--version") {
      if (argc > 2) {
        std::fprintf(stderr, "%s: unexpected argument '%s'\n", kProgramName, argv[1]);
        Print(stderr, kUsage);
        return 2;
      }
      if (argument == "--help") {
        Print(stdout, kUsage);
        Print(stdout, "\n");
        Print(stdout, kHelp);
      } else {
        std::printf("%s %.*s\n", kProgramName, static_cast<int>(corvane::kVersion.size()),
                    corvane::kVersion.data());
      }
      corvane::ExitConsoleProgram(kProgramName, 0);
    }
  }

  const std::unique_ptr<QApplication> application = ConnectToDisplay(argc, argv);
  // Qt has taken its own options; the window takes no others.
  if (argc > 1) {
    std::fprintf(stderr, "%s: unexpected argument '%s'\n", kProgramName, argv[1]);
    Print(stderr, kUsage);
    return 2;
  }
  QApplication::setApplicationName(
      QString::fromUtf8(corvane::kProgramTitle.data(), corvane::kProgramTitle.size()));
  QApplication::setApplicationVersion(
      QString::fromUtf8(corvane::kVersion.data(), corvane::kVersion.size()));
  // Links the window to the menu entry, so docks show the entry's icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Corvane2txt"));
  QIcon icon;
  for (const char* size : {"16", "32", "48"}) {
    icon.addFile(QStringLiteral(":/icons/corvane2txt-%1.png").arg(QLatin1String(size)));
  }
  QApplication::setWindowIcon(icon);

  corvane::NativeFileSystem files;
  corvane::NativeProgramStarter programs;
  corvane::ConsoleUser console("corvane2txt");
  corvane::QtUser user(console, corvane::kProgramTitle);
  corvane::QtForm form(corvane::Form1());
  corvane::MainWindow main_window(form, {files, programs, user});
  form.SetEvents(&main_window);
  form.Show();
  return QApplication::exec();
}
