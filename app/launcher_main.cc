// corvane2txt-launcher: what the menu entry starts. It starts the window
// program, found beside it, in the folder given as its argument or, without
// one, in a folder the user picks with the desktop's folder dialog; it never
// starts it in whatever folder it happened to be started in.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardPaths>
#include <QString>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/launcher.h"
#include "app/launcher_question.h"
#include "app/version.h"
#include "platform/launch.h"

namespace {

using corvane::LaunchError;

constexpr const char* kTitle = "Corvane2txt";

// The application exists only once a window is needed, so that a start with
// a folder goes to the window program without touching the display.
class Launcher {
 public:
  Launcher(int& argc, char** argv) : argc_(argc), argv_(argv) {}

  void ShowError(const LaunchError& error) {
    std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(corvane::kLauncherName.size()),
                 corvane::kLauncherName.data(), error.what());
    EnsureApplication();
    QMessageBox::critical(nullptr, kTitle,
                          QString::fromLocal8Bit(corvane::LaunchFailureText(error.what())));
  }

  // Says why `error`'s folder cannot be used; the folder dialog opens again
  // when `choosing_again`.
  void ShowFolderError(const LaunchError& error, bool choosing_again) {
    std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(corvane::kLauncherName.size()),
                 corvane::kLauncherName.data(), error.what());
    EnsureApplication();
    QMessageBox::warning(
        nullptr, kTitle,
        QString::fromLocal8Bit(corvane::FolderFailureText(error.what(), choosing_again)));
  }

  bool Confirm(const std::string& question) {
    EnsureApplication();
    return corvane::MakeConfirmationBox(kTitle, QString::fromLocal8Bit(question))->exec() ==
           QMessageBox::Yes;
  }

  // The folder the user picks, or nothing when the dialog is cancelled.
  std::optional<std::string> AskForFolder() {
    EnsureApplication();
    const QString chosen = QFileDialog::getExistingDirectory(
        nullptr, QStringLiteral("Choose the folder of saved Corvane pages"), QDir::homePath());
    if (chosen.isEmpty()) return std::nullopt;
    return QFile::encodeName(chosen).toStdString();
  }

 private:
  void EnsureApplication() {
    if (application_ == nullptr) application_ = std::make_unique<QApplication>(argc_, argv_);
  }

  int& argc_;
  char** argv_;
  std::unique_ptr<QApplication> application_;
};

std::string ResolvedOrEmpty(const QString& folder) {
  try {
    return corvane::ResolveFolder(QFile::encodeName(folder).toStdString());
  } catch (const LaunchError&) {
    return {};
  }
}

// Folders that hold much more than saved pages; the help text of the window
// warns against Documents and Downloads.
std::vector<corvane::GuardedFolder> GuardedFolders() {
  return {
      {corvane::HomeFolder(), "your home folder"},
      {"/", "the root folder"},
      {ResolvedOrEmpty(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)),
       "your Documents folder"},
      {ResolvedOrEmpty(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)),
       "your Downloads folder"},
  };
}

// The resolved folder when the user still wants it after any second
// question; nothing when the folder is refused, after saying why. The folder
// dialog opens again afterwards when `choosing_again`.
std::optional<std::string> Approve(Launcher& launcher, const std::string& folder,
                                   bool choosing_again) {
  std::string resolved;
  try {
    resolved = corvane::ResolveFolder(folder);
  } catch (const LaunchError& error) {
    launcher.ShowFolderError(error, choosing_again);
    return std::nullopt;
  }
  const std::optional<std::string> question =
      corvane::ConfirmationQuestion(resolved, GuardedFolders());
  if (question && !launcher.Confirm(*question)) return std::nullopt;
  return resolved;
}

}  // namespace

int main(int argc, char* argv[]) {
  const corvane::LauncherCommand command =
      corvane::ReadLauncherCommand(std::vector<std::string>(argv + 1, argv + argc));
  const std::string name(corvane::kLauncherName);
  switch (command.action) {
    case corvane::LauncherAction::kPrintVersion:
      std::printf("%s %.*s\n", name.c_str(), static_cast<int>(corvane::kVersion.size()),
                  corvane::kVersion.data());
      return std::fflush(stdout) == 0 ? 0 : 1;
    case corvane::LauncherAction::kPrintHelp:
      std::fputs(corvane::LauncherHelp().c_str(), stdout);
      return std::fflush(stdout) == 0 ? 0 : 1;
    case corvane::LauncherAction::kWrongArguments:
      std::fprintf(stderr, "%s: %s\n", name.c_str(), command.problem.c_str());
      std::fwrite(corvane::kLauncherUsage.data(), 1, corvane::kLauncherUsage.size(), stderr);
      return 2;
    case corvane::LauncherAction::kAskForFolder:
    case corvane::LauncherAction::kOpenFolder:
      break;
  }

  Launcher launcher(argc, argv);
  std::string program;
  try {
    program = corvane::ProgramFolder() + "/" + std::string(corvane::kWindowProgramName);
    corvane::CheckProgram(program);
  } catch (const LaunchError& error) {
    launcher.ShowError(error);
    return 1;
  }

  std::optional<std::string> folder;
  if (command.action == corvane::LauncherAction::kOpenFolder) {
    folder = Approve(launcher, command.folder, false);
    if (!folder) return 1;
  } else {
    // Asked again after a refused folder, until a folder is approved or the
    // dialog is cancelled.
    while (!folder) {
      const std::optional<std::string> chosen = launcher.AskForFolder();
      if (!chosen) return 0;
      folder = Approve(launcher, *chosen, true);
    }
  }

  try {
    corvane::RunProgramIn(program, *folder);
  } catch (const LaunchError& error) {
    launcher.ShowError(error);
  }
  return 1;
}
