// corvane2txt: the window program. Shows Form1; GO converts the saved pages
// of the current folder, shows "Finished" and ends the program.
#include <QApplication>
#include <QIcon>
#include <QString>
#include <memory>

#include "app/version.h"
#include "gui/qt/qt_form.h"
#include "gui/qt/qt_runtime.h"
#include "platform/native_runtime.h"
#include "window/form.h"
#include "window/main_window.h"
#include "window/maker.h"

int main(int argc, char* argv[]) {
  const std::unique_ptr<QApplication> application = corvane::CreateApplication(argc, argv);
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

  corvane::NativeRuntime native("corvane2txt");
  corvane::QtRuntime runtime(native, corvane::kProgramTitle);
  corvane::QtForm form(corvane::Form1());
  corvane::MainWindow main_window(form, runtime);
  form.SetEvents(&main_window);
  form.Show();
  return QApplication::exec();
}
