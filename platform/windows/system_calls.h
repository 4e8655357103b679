// The Win32 calls of the Windows runtime that a test must be able to see.
//
// FlushFileBuffers is reached through this table rather than by name, so
// that a test can see every flush that the data's safety rests on (and a
// test that leaves one out fails). The program itself never changes the
// table.
#pragma once

// clang-format off
#include "platform/windows/windows_api.h"
// clang-format on

namespace corvane::windows {

struct SystemCalls {
  BOOL(WINAPI* flush_file_buffers)(HANDLE file) = ::FlushFileBuffers;
};

extern SystemCalls system_calls;

}  // namespace corvane::windows
