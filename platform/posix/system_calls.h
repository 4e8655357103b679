// The system calls through which the POSIX file system reads, writes,
// flushes, renames, deletes and closes files.
//
// They are reached through this table rather than by name so that a test
// can put in their place calls that misbehave as real ones do only now and
// then: a write that takes a part of the bytes, a read interrupted by a
// signal, a close that reports a write that failed, a flush that fails for
// one file; and so that a test can see every call that puts a text file's
// bytes or name on the disk, and know what a power cut would keep. The
// program itself never changes the table.
#pragma once

#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <memory>

#include "platform/posix/fsync_together.h"

namespace corvane::posix {

struct SystemCalls {
  ssize_t (*read)(int fd, void* buffer, std::size_t size) = ::read;
  ssize_t (*writev)(int fd, const struct iovec* pieces, int count) = ::writev;
  int (*close)(int fd) = ::close;
  int (*fsync)(int fd) = ::fsync;  // of a file, and of the folder
  int (*rename)(const char* from, const char* to) = ::rename;
  int (*unlink)(const char* name) = ::unlink;
  // The ring through which the flushes of a group overlap.
  std::unique_ptr<FlushRing> (*open_flush_ring)(unsigned entries) = OpenIoUring;
};

extern SystemCalls system_calls;

}  // namespace corvane::posix
