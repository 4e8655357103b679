// The services of the system the program is built for, under one name each:
// `NativeFileSystem` and `NativeProgramStarter` are the Windows ones on
// Windows and the POSIX ones elsewhere; `ConsoleUser` (console_user.h) is
// the console on both. Link the CMake target corvane_native with them.
#pragma once

#include "platform/console_user.h"

#ifdef _WIN32
#include "platform/windows/windows_file_system.h"
#include "platform/windows/windows_program_starter.h"
#else
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_program_starter.h"
#endif

namespace corvane {

#ifdef _WIN32
using NativeFileSystem = WindowsFileSystem;
using NativeProgramStarter = WindowsProgramStarter;
#else
using NativeFileSystem = PosixFileSystem;
using NativeProgramStarter = PosixProgramStarter;
#endif

}  // namespace corvane
