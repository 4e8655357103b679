// corvane2txt-launcher.exe: what the Start menu entry and the folders'
// "Convert saved pages with Corvane2txt" start. It starts the window
// program, found beside it, in the folder given as its argument or, without
// one, in a folder the user picks with the system's folder dialog; it never
// starts it in whatever folder it happened to be started in.
//
// A program without a console: what it has to say goes into message boxes,
// except for --help and --version, which go to standard output when it
// leads somewhere (a file or a pipe).

// clang-format off
#include "platform/windows/windows_api.h"
// clang-format on
#include <objbase.h>
#include <shobjidl.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/launcher.h"
#include "app/version.h"
#include "app/windows/launcher_windows.h"
#include "platform/launch.h"
#include "platform/windows/utf16.h"
#include "platform/windows/windows_error.h"

namespace {

using corvane::LaunchError;

constexpr const wchar_t* kTitle = L"Corvane2txt";

void ShowError(std::string_view cause) {
  ::MessageBoxW(nullptr, corvane::WideText(corvane::LaunchFailureText(cause)).c_str(), kTitle,
                MB_OK | MB_ICONERROR);
}

// Says why a folder cannot be used; the folder dialog opens again when
// `choosing_again`.
void ShowFolderError(std::string_view cause, bool choosing_again) {
  ::MessageBoxW(nullptr,
                corvane::WideText(corvane::FolderFailureText(cause, choosing_again)).c_str(),
                kTitle, MB_OK | MB_ICONWARNING);
}

bool Confirm(const std::string& question) {
  return ::MessageBoxW(nullptr, corvane::WideText(question).c_str(), kTitle,
                       corvane::QuestionBoxStyle()) == IDYES;
}

// Writes `text` to the standard handle `which` when there is one, with CR LF
// line ends, or else shows it in a message box with `icon`. False when the
// handle could not be written.
bool Tell(DWORD which, std::string_view text, UINT icon) {
  const HANDLE handle = ::GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
      ::GetFileType(handle) == FILE_TYPE_UNKNOWN) {
    ::MessageBoxW(nullptr, corvane::WideText(text).c_str(), kTitle, MB_OK | icon);
    return true;
  }
  std::string lines;
  for (const char c : text) {
    if (c == '\n') lines += '\r';
    lines += c;
  }
  DWORD written = 0;
  return ::WriteFile(handle, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr) &&
         written == lines.size();
}

// Releases a COM object at the end of a scope.
template <typename Interface>
class Held {
 public:
  ~Held() {
    if (object_ != nullptr) object_->Release();
  }
  Interface** out() { return &object_; }
  Interface* operator->() const { return object_; }

 private:
  Interface* object_ = nullptr;
};

void ThrowIfFailed(HRESULT result) {
  if (FAILED(result)) {
    throw std::runtime_error("cannot show the folder dialog: " +
                             corvane::WindowsError(static_cast<DWORD>(result), {}, {}).reason());
  }
}

// The folder the user picks in the system's folder dialog, or nothing when
// the dialog is cancelled. Throws std::runtime_error when the dialog cannot
// be shown.
std::optional<std::string> AskForFolder() {
  Held<IFileOpenDialog> dialog;
  ThrowIfFailed(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IFileOpenDialog, reinterpret_cast<void**>(dialog.out())));
  FILEOPENDIALOGOPTIONS options = 0;
  ThrowIfFailed(dialog->GetOptions(&options));
  ThrowIfFailed(
      dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST));
  ThrowIfFailed(dialog->SetTitle(L"Choose the folder of saved Corvane pages"));
  const HRESULT shown = dialog->Show(nullptr);
  if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return std::nullopt;
  ThrowIfFailed(shown);
  Held<IShellItem> item;
  ThrowIfFailed(dialog->GetResult(item.out()));
  wchar_t* path = nullptr;
  ThrowIfFailed(item->GetDisplayName(SIGDN_FILESYSPATH, &path));
  const std::string folder = corvane::Utf8FromWide(path);
  ::CoTaskMemFree(path);
  return folder;
}

// The resolved folder when the user still wants it after any second
// question; nothing when the folder is refused, after saying why. The folder
// dialog opens again afterwards when `choosing_again`.
std::optional<std::string> Approve(const std::string& folder, bool choosing_again) {
  return corvane::ApproveFolder(
      folder, Confirm, [&](std::string_view cause) { ShowFolderError(cause, choosing_again); });
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(corvane::Utf8FromWide(argv[i]));
  const corvane::LauncherCommand command = corvane::ReadLauncherCommand(arguments);
  const std::string name(corvane::kLauncherName);
  switch (command.action) {
    case corvane::LauncherAction::kPrintVersion:
      return Tell(STD_OUTPUT_HANDLE, name + " " + std::string(corvane::kVersion) + "\n",
                  MB_ICONINFORMATION)
                 ? 0
                 : 1;
    case corvane::LauncherAction::kPrintHelp:
      return Tell(STD_OUTPUT_HANDLE, corvane::LauncherHelp(), MB_ICONINFORMATION) ? 0 : 1;
    case corvane::LauncherAction::kWrongArguments:
      Tell(STD_ERROR_HANDLE,
           name + ": " + command.problem + "\n" + std::string(corvane::kLauncherUsage),
           MB_ICONERROR);
      return 2;
    case corvane::LauncherAction::kAskForFolder:
    case corvane::LauncherAction::kOpenFolder:
      break;
  }

  std::string program;
  try {
    program = corvane::WindowProgramIn(corvane::ProgramFolder());
    corvane::CheckProgram(program);
  } catch (const LaunchError& error) {
    ShowError(error.what());
    return 1;
  }

  std::optional<std::string> folder;
  if (command.action == corvane::LauncherAction::kOpenFolder) {
    folder = Approve(command.folder, false);
    if (!folder) return 1;
  } else {
    // The folder dialog is a COM object of the shell.
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    // Asked again after a refused folder, until a folder is approved or the
    // dialog is cancelled.
    while (!folder) {
      std::optional<std::string> chosen;
      try {
        chosen = AskForFolder();
      } catch (const std::runtime_error& error) {
        ShowError(error.what());
        return 1;
      }
      if (!chosen) return 0;
      folder = Approve(*chosen, true);
    }
  }

  try {
    corvane::RunProgramIn(program, *folder);
  } catch (const LaunchError& error) {
    ShowError(error.what());
  }
  return 1;
}
