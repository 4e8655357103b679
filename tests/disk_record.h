// What the system's own file system did to the disk, recorded at its table of
// system calls (platform/posix/system_calls.h, platform/windows/
// system_calls.h) where each call happens, and what a power cut would keep
// of the current folder by that record alone, whatever the file system said.
//
// The account, file by file (by identity, whatever its names):
//   - a file written through the table keeps after a power cut the bytes
//     written before its last flush that returned; each such file is
//     written once, from its start, as the file system writes its files;
//   - a name made, renamed or replaced reaches the disk once the folder is
//     flushed after it; on Windows, where no folder is flushed, once the
//     file it names is flushed after it;
//   - a deletion may reach the disk as soon as it is made;
//   - a file that the table never wrote keeps the bytes it had.
//
// It also fails one file's writes or flushes with an error of the test's
// choice and, on POSIX, refuses the flush ring or hands its completions
// over one at a time, so that a group's flush that returns before every
// completion has come back leaves a file undurable.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/native_runtime.h"
#include "tests/calls.h"

namespace corvane::testing {

class DiskRecord {
 public:
  // Records the calls made in the current folder until it is destroyed,
  // which restores the system's calls. One at a time.
  DiskRecord();
  ~DiskRecord();
  DiskRecord(const DiskRecord&) = delete;
  DiskRecord& operator=(const DiskRecord&) = delete;

  // The folder as it is now counts as on disk, as a user's files made
  // before the program started do: for files a test makes meanwhile.
  void Settle();

  // The folder after a power cut now: with `changes_arrived` false, no name
  // changed since it was last made durable has arrived; with it true, every
  // one has. Deletions have arrived in both.
  Disk PowerCut(bool changes_arrived);

  // From now on every write to `name`'s file (or flush of it) fails with
  // `error`, an errno on POSIX and a Win32 error code on Windows.
  void FailWrites(const std::string& name, int error);
  void FailFlushes(const std::string& name, int error);

  // POSIX: no flush ring is to be had, as where io_uring is refused.
  bool refuse_ring = false;
  // POSIX: the ring's completions are handed over one at a time.
  bool hold_completions = true;
  // Windows: the rename with POSIX semantics is refused, as Windows before
  // 10 and FAT refuse it, so that the classic rename is used.
  bool refuse_posix_rename = false;

  // For the recording calls (disk_record.cc).
  using Identity = std::pair<std::uint64_t, std::uint64_t>;  // device, file number
  std::optional<int> WriteFault(const Identity& file) const;
  std::optional<int> FlushFault(const Identity& file) const;
  void Wrote(const Identity& file, std::string_view bytes);
  // A flush of `file` returned; on Windows it also makes `file`'s names
  // durable.
  void Flushed(const Identity& file);
  void FolderFlushed();
  // The folder's regular files, hidden ones too, by name.
  std::map<std::string, Identity> Names();
  // Before a call that may take the last name of a file away: notes what
  // the folder's files hold, for those not yet known, and returns the
  // folder's names.
  std::map<std::string, Identity> Learn();
  // After a deletion: the names of `before` that are gone are gone after a
  // power cut too.
  void Deleted(const std::map<std::string, Identity>& before);

 private:
  std::optional<std::string> DurableBytes(const Identity& file);

  NativeFileSystem files_;  // for the stamps, as the file system takes them
  std::map<Identity, std::string> written_;
  std::map<Identity, std::string> flushed_;
  std::map<Identity, std::string> originals_;  // of files the table did not write
  std::map<std::string, Identity> durable_names_;
  std::map<Identity, int> write_faults_;
  std::map<Identity, int> flush_faults_;
};

}  // namespace corvane::testing
