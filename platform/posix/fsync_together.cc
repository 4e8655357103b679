#include "platform/posix/fsync_together.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>

#ifdef CORVANE_HAVE_LIBURING
#include <liburing.h>
#endif

namespace corvane::posix {

void FsyncEach(std::span<const int> fds, std::span<int> errors) {
  for (std::size_t i = 0; i < fds.size(); ++i) {
    errors[i] = ::fsync(fds[i]) == 0 ? 0 : errno;
  }
}

#ifdef CORVANE_HAVE_LIBURING

namespace {

// The submission queue's size: how many flushes are in flight at once, the
// rest of a group waiting for a free entry. Each flush in flight takes a
// kernel worker; 64, the folder run's group size, lets a whole group
// overlap.
constexpr unsigned kInFlight = 64;

// A ring that is torn down with the object.
class Ring {
 public:
  explicit Ring(unsigned entries) : ok_(io_uring_queue_init(entries, &ring_, 0) == 0) {}
  ~Ring() {
    if (ok_) io_uring_queue_exit(&ring_);
  }
  Ring(const Ring&) = delete;
  Ring& operator=(const Ring&) = delete;

  bool ok() const { return ok_; }
  io_uring* get() { return &ring_; }

 private:
  io_uring ring_{};
  bool ok_;
};

}  // namespace

void FsyncTogether(std::span<const int> fds, std::span<int> errors) {
  if (fds.size() < 2) return FsyncEach(fds, errors);
  Ring ring(static_cast<unsigned>(std::min<std::size_t>(fds.size(), kInFlight)));
  if (!ring.ok()) return FsyncEach(fds, errors);

  std::size_t submitted = 0;
  std::size_t completed = 0;
  std::fill(errors.begin(), errors.end(), 0);
  while (completed < fds.size()) {
    while (submitted < fds.size()) {
      io_uring_sqe* entry = io_uring_get_sqe(ring.get());
      if (entry == nullptr) break;
      io_uring_prep_fsync(entry, fds[submitted], 0);
      io_uring_sqe_set_data64(entry, submitted);
      ++submitted;
    }
    const int sent = io_uring_submit(ring.get());
    io_uring_cqe* completion = nullptr;
    const int waited = io_uring_wait_cqe(ring.get(), &completion);
    if (sent < 0 || waited < 0) {
      // The ring itself failed: every file is flushed the plain way, which
      // answers for each. A flush done twice is harmless.
      return FsyncEach(fds, errors);
    }
    unsigned head = 0;
    unsigned seen = 0;
    io_uring_for_each_cqe(ring.get(), head, completion) {
      const auto index = static_cast<std::size_t>(io_uring_cqe_get_data64(completion));
      errors[index] = completion->res < 0 ? -completion->res : 0;
      // A kernel that knows io_uring but not its flush answers EINVAL:
      // the plain call tells the truth about the file.
      if (errors[index] == EINVAL) errors[index] = ::fsync(fds[index]) == 0 ? 0 : errno;
      ++seen;
    }
    io_uring_cq_advance(ring.get(), seen);
    completed += seen;
  }
}

#else

void FsyncTogether(std::span<const int> fds, std::span<int> errors) { FsyncEach(fds, errors); }

#endif

}  // namespace corvane::posix
