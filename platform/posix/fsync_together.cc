#include "platform/posix/fsync_together.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>

#include "platform/posix/system_calls.h"

#ifdef CORVANE_HAVE_LIBURING
#include <liburing.h>
#endif

namespace corvane::posix {

namespace {

// The errno of one plain flush of `fd`, or 0.
int FsyncError(int fd) { return system_calls.fsync(fd) == 0 ? 0 : errno; }

}  // namespace

void FsyncEach(std::span<const int> fds, std::span<int> errors) {
  for (std::size_t i = 0; i < fds.size(); ++i) errors[i] = FsyncError(fds[i]);
}

#ifdef CORVANE_HAVE_LIBURING

namespace {

// io_uring through liburing, torn down with the object.
class IoUring final : public FlushRing {
 public:
  explicit IoUring(unsigned entries) : ok_(io_uring_queue_init(entries, &ring_, 0) == 0) {}
  ~IoUring() override {
    if (ok_) io_uring_queue_exit(&ring_);
  }
  IoUring(const IoUring&) = delete;
  IoUring& operator=(const IoUring&) = delete;

  bool ok() const { return ok_; }

  bool Queue(int fd, std::uint64_t tag) override {
    io_uring_sqe* entry = io_uring_get_sqe(&ring_);
    if (entry == nullptr) return false;
    io_uring_prep_fsync(entry, fd, 0);
    io_uring_sqe_set_data64(entry, tag);
    return true;
  }

  int Submit() override {
    const int sent = io_uring_submit(&ring_);
    return sent < 0 ? sent : 0;
  }

  int Collect(std::vector<FlushCompletion>& done) override {
    io_uring_cqe* completion = nullptr;
    if (const int waited = io_uring_wait_cqe(&ring_, &completion); waited < 0) return waited;
    unsigned head = 0;
    unsigned seen = 0;
    io_uring_for_each_cqe(&ring_, head, completion) {
      done.push_back({io_uring_cqe_get_data64(completion), completion->res});
      ++seen;
    }
    io_uring_cq_advance(&ring_, seen);
    return 0;
  }

 private:
  io_uring ring_{};
  bool ok_;
};

}  // namespace

std::unique_ptr<FlushRing> OpenIoUring(unsigned entries) {
  auto ring = std::make_unique<IoUring>(entries);
  if (!ring->ok()) return nullptr;
  return ring;
}

#else

std::unique_ptr<FlushRing> OpenIoUring(unsigned) { return nullptr; }

#endif

namespace {

// The submission queue's size: how many flushes are in flight at once, the
// rest of a group waiting for a free entry. Each flush in flight takes a
// kernel worker; 64, the folder run's group size, lets a whole group
// overlap.
constexpr std::size_t kInFlight = 64;

}  // namespace

void FsyncTogether(std::span<const int> fds, std::span<int> errors) {
  if (fds.size() < 2) return FsyncEach(fds, errors);
  const std::unique_ptr<FlushRing> ring =
      system_calls.open_flush_ring(static_cast<unsigned>(std::min(fds.size(), kInFlight)));
  if (!ring) return FsyncEach(fds, errors);

  std::fill(errors.begin(), errors.end(), 0);
  std::size_t queued = 0;
  std::size_t completed = 0;
  std::vector<FlushCompletion> done;
  while (completed < fds.size()) {
    while (queued < fds.size() && ring->Queue(fds[queued], queued)) ++queued;
    done.clear();
    if (ring->Submit() < 0 || ring->Collect(done) < 0) {
      // The ring itself failed: every file is flushed the plain way, which
      // answers for each. A flush done twice is harmless.
      return FsyncEach(fds, errors);
    }
    for (const auto& [tag, result] : done) {
      const auto index = static_cast<std::size_t>(tag);
      ++completed;
      // A kernel that knows io_uring but not its flush answers EINVAL: the
      // plain call tells the truth about the file.
      errors[index] = result == -EINVAL ? FsyncError(fds[index]) : -result;
    }
  }
}

}  // namespace corvane::posix
