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

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace corvane::posix {

// A flush that has come back from the kernel: the tag it was queued with,
// and its result, 0 or -errno.
struct FlushCompletion {
  std::uint64_t tag;
  int result;
};

// The little of io_uring that `FsyncTogether` needs: flushes queued, handed
// to the kernel together, and their completions collected. The completions
// are read from memory shared with the kernel, where no table of calls
// sees them; behind this interface (see `SystemCalls::open_flush_ring`) a
// test can refuse the ring, fail one file's flush or hold a completion
// back.
class FlushRing {
 public:
  virtual ~FlushRing() = default;
  // Queues a flush of `fd` that completes with `tag`. False, with nothing
  // queued, while the queue is full.
  virtual bool Queue(int fd, std::uint64_t tag) = 0;
  // Hands every queued flush to the kernel. Returns 0 or -errno.
  virtual int Submit() = 0;
  // Waits until at least one flush handed over has completed, then appends
  // every completion that has arrived to `done`, each once. Returns 0 or
  // -errno.
  virtual int Collect(std::vector<FlushCompletion>& done) = 0;
};

// A ring with room for `entries` flushes in flight, or nullptr where
// io_uring is missing or refused.
std::unique_ptr<FlushRing> OpenIoUring(unsigned entries);

// Flushes each of `fds` (fsync) and sets `errors[i]` to 0 or to the errno
// that the flush of `fds[i]` failed with; returns once every flush has
// ended. `errors` has the size of `fds`. The ring comes from
// `system_calls.open_flush_ring`, the plain flushes from
// `system_calls.fsync`.
void FsyncTogether(std::span<const int> fds, std::span<int> errors);

// The same, one file after the other.
void FsyncEach(std::span<const int> fds, std::span<int> errors);

}  // namespace corvane::posix
