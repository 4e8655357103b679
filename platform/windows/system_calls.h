// The Win32 calls of the Windows file system that a test must be able to
// see.
//
// The calls that put a text file's bytes or name on the disk, and the
// deletion of a page, are reached through this table rather than by name,
// so that a test can see each of them where it happens and know what a
// power cut would keep, and can make one fail as a real one does now and
// then. The program itself never changes the table.
#pragma once

// clang-format off
#include "platform/windows/windows_api.h"
// clang-format on

namespace corvane::windows {

struct SystemCalls {
  decltype(&::WriteFile) write_file = ::WriteFile;
  decltype(&::FlushFileBuffers) flush_file_buffers = ::FlushFileBuffers;
  // The rename, through the open file's handle.
  decltype(&::SetFileInformationByHandle) set_file_information_by_handle =
      ::SetFileInformationByHandle;
  decltype(&::DeleteFileW) delete_file = ::DeleteFileW;
};

extern SystemCalls system_calls;

}  // namespace corvane::windows
