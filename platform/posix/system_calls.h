// The system calls through which the POSIX runtime reads, writes, flushes
// and closes files.
//
// They are reached through this table rather than by name so that a test
// can put in their place calls that misbehave as real ones do only now and
// then: a write that takes a part of the bytes, a read interrupted by a
// signal, a close that reports a write that failed; and so that a test can
// see every flush that the data's safety rests on. The program itself never
// changes the table.
#pragma once

#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstddef>
#include <span>

#include "platform/posix/fsync_together.h"

namespace corvane::posix {

struct SystemCalls {
  ssize_t (*read)(int fd, void* buffer, std::size_t size) = ::read;
  ssize_t (*writev)(int fd, const struct iovec* pieces, int count) = ::writev;
  int (*close)(int fd) = ::close;
  int (*fsync)(int fd) = ::fsync;  // of a file, and of the folder
  // Of a group of files, the flushes overlapping.
  void (*fsync_together)(std::span<const int> fds, std::span<int> errors) = FsyncTogether;
};

extern SystemCalls system_calls;

}  // namespace corvane::posix
