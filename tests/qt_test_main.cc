// The entry of the tests that drive real widgets: an application on the
// offscreen platform (unless QT_QPA_PLATFORM names another), so that no
// display is needed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <memory>

#include "gui/qt/qt_form.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const std::unique_ptr<QApplication> application = corvane::CreateApplication(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  return RUN_ALL_TESTS();
}
