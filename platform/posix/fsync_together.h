// Flushing many files to disk at once.
//
// A flush waits for the disk, and most of that wait is the file system's
// journal commit, not the file's own data: flushes that overlap are
// committed by the same transaction (ext4, XFS, btrfs), so a group of files
// costs little more than one. `FsyncTogether` submits the flushes of a
// group through io_uring and waits for them all, on the program's one
// thread. Where io_uring is missing or refused (a kernel built without it,
// kernel.io_uring_disabled, a container's seccomp filter) it flushes the
// files one by one, as `FsyncEach` does, which keeps every promise and only
// takes longer.
#pragma once

#include <span>

namespace corvane::posix {

// Flushes each of `fds` (fsync) and sets `errors[i]` to 0 or to the errno
// that the flush of `fds[i]` failed with. `errors` has the size of `fds`.
void FsyncTogether(std::span<const int> fds, std::span<int> errors);

// The same, one file after the other.
void FsyncEach(std::span<const int> fds, std::span<int> errors);

}  // namespace corvane::posix
