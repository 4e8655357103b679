// The runtime of the system the program is built for, under one name:
// `NativeRuntime` is `WindowsRuntime` on Windows and `PosixRuntime`
// elsewhere. Link the CMake target corvane_native with it.
#pragma once

#ifdef _WIN32
#include "platform/windows/windows_runtime.h"
#else
#include "platform/posix/posix_runtime.h"
#endif

namespace corvane {

#ifdef _WIN32
using NativeRuntime = WindowsRuntime;
#else
using NativeRuntime = PosixRuntime;
#endif

}  // namespace corvane
