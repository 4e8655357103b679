// What the Qt suite needs of the Qt form driver beyond FormDriver.
#pragma once

#include <QMessageBox>
#include <functional>

namespace corvane::testing {

// The resolution the test run set (CORVANE_TEST_DPI; 96 when unset).
int ExpectedDpi();

// Runs `show`, which shows a modal message box, and hands the box to
// `inspect` before pressing its OK button; false when no box came up.
bool WithQtMessageBox(const std::function<void()>& show,
                      const std::function<void(QMessageBox&)>& inspect);

}  // namespace corvane::testing
