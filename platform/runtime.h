// The one layer between the program and the operating system, in three
// interfaces, each with its contract in its own header:
//
//   - `FileSystem` (file_system.h): the files of the current folder, which
//     the conversion reads, writes, flushes and deletes;
//   - `ProgramStarter` (program_starter.h): starting another program;
//   - `User` (user.h): the person, told a message or an error, and the end
//     of the program.
//
// Code in convert/ and window/ never calls the operating system directly;
// it is handed what it needs of these and stays testable with the fakes in
// tests/. Each system implements the first two (platform/posix/ for Linux
// and the other Unix systems, platform/windows/ for Windows, under one
// name in native_runtime.h) and the console's `User` (console_user.h); a
// window engine (gui/qt/, gui/win32/) implements `User` alone.
//
// Failures are reported by throwing `RuntimeError` (runtime_error.h).
// Nothing in this layer shows or logs an error by itself: whoever catches
// it decides (see `User::ReportError`).
#pragma once

#include "platform/file_system.h"
#include "platform/program_starter.h"
#include "platform/runtime_error.h"
#include "platform/user.h"

namespace corvane {

// What the window's handlers reach: the three, each owned elsewhere.
struct Runtime {
  FileSystem& files;
  ProgramStarter& programs;
  User& user;
};

}  // namespace corvane
