// The entry of the tests that drive real widgets: an application on the
// offscreen platform (unless QT_QPA_PLATFORM names another), so that no
// display is needed. Two arguments of its own set the screen before the
// application exists:
//   --dpi=N            the logical resolution (QT_FONT_DPI, CORVANE_TEST_DPI)
//   --fontconfig=FILE  a fontconfig setup that sees only some faces
#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <memory>
#include <string_view>

#include "gui/qt/qt_form.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument.starts_with("--dpi=")) {
      const QByteArray dpi(argument.substr(6).data(), static_cast<qsizetype>(argument.size() - 6));
      qputenv("QT_FONT_DPI", dpi);
      qputenv("CORVANE_TEST_DPI", dpi);
    } else if (argument.starts_with("--fontconfig=")) {
      qputenv("FONTCONFIG_FILE", QByteArray(argv[i] + 13));
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  const std::unique_ptr<QApplication> application = corvane::CreateApplication(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  return RUN_ALL_TESTS();
}
