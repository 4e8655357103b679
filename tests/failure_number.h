// The run-time error number a call fails with.
#pragma once

#include "platform/runtime_error.h"

namespace corvane::testing {

// The number of the RuntimeError that `action` throws, or 0 when it
// succeeds.
template <typename Action>
int FailureNumber(Action&& action) {
  try {
    action();
    return 0;
  } catch (const RuntimeError& error) {
    return static_cast<int>(error.number());
  }
}

}  // namespace corvane::testing
