// A file system over another one that fails the calls a test chooses and
// knows what a power cut would leave: the fault sweep runs the conversion
// through it over the in-memory file system and over the system's own in a
// scratch folder on disk alike.
//
// Faults: `fault` names the k-th call (of one kind, or of any kind) that
// fails with an errno of the test's choice, once or from then on. The error
// is the one the POSIX file system would raise for that errno: the same number,
// operation text and system reason. A failing write may have written a part
// of its bytes first, as a real one may.
//
// A power cut: the wrapper keeps account of what the calls made through it
// have not yet made durable, by what the file system underneath answered. Bytes
// written to a file count once the file is flushed (`Sync`, `SyncFiles`); a
// name made or renamed into place counts once the folder is flushed
// (`SyncDirectory`), and until then the disk may hold the name as it was or
// as it is now, whichever is worse for the test's promise; a deletion may
// reach the disk as soon as it is made. `PowerCut` gives both of these
// folders. This is the account of the in-memory file system, which has no
// disk; over the system's own, tests/disk_record.h keeps one from the
// system calls themselves.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/calls.h"
#include "tests/file_system_wrapper.h"

namespace corvane::testing {

class FaultyFileSystem : public FileSystemWrapper, public CallRecord {
 public:
  // `target` must outlive this object; `now` gives the folder's names and
  // bytes as they are (every regular file, hidden ones too).
  FaultyFileSystem(FileSystem& target, std::function<std::map<std::string, std::string>()> now);

  // The failure to inject, if any, and how often it was raised.
  std::optional<Fault> fault;
  std::size_t faults_raised = 0;
  // At most this many files open at once through the wrapper: a call that
  // opens one more (CheckReplaceable too, which opens the file for a moment)
  // fails with "too many open files".
  std::optional<std::size_t> open_files_limit;
  // Each file step (opening, CheckReplaceable, creating, renaming,
  // deleting) meets its file held by another program this many times in a
  // row, failing with a held error (RuntimeError::Held), before it goes
  // through.
  std::size_t holds_per_step = 0;
  // (`before_call` runs before every call that did not fail by `fault`.)

  // The folder as it is.
  std::map<std::string, std::string> Now() const { return now_(); }
  // The folder after a power cut now: with `changes_arrived` false, no name
  // made or renamed since the folder's last flush has arrived; with it
  // true, every one has. Deletions have arrived in both, and bytes not
  // flushed are unknown in both.
  Disk PowerCut(bool changes_arrived);
  // True when `name` and its bytes as they are now would survive a crash.
  bool SafeOnDisk(const std::string& name);

  std::vector<std::string> ListFiles() override;
  std::unique_ptr<InputFile> OpenForReading(const std::string& name) override;
  std::unique_ptr<OutputFile> OpenForWriting(const std::string& name) override;
  std::unique_ptr<OutputFile> CreateNewFile(const std::string& name) override;
  // Each file's flush is a `Sync` call of its own, which may fail alone.
  std::vector<std::optional<RuntimeError>> SyncFiles(std::span<OutputFile* const> files) override;
  std::optional<FileStamp> CheckReplaceable(const std::string& name) override;
  FileStamp StampOf(const std::string& name) override;
  void SyncDirectory() override;
  void DeleteFile(const std::string& name) override;
  std::string CurrentDirectory() override;

  // Records `call` on `file`, raises the fault if it is due, then runs the
  // hook. For the files this file system hands out.
  void Before(Call call, const std::string& file);

 private:
  friend class FaultyOutputFile;
  friend class FaultyInputFile;
  // Throws "too many open files" for `call` when `open_files_limit` is
  // reached.
  void RoomForAFile(Call call, const std::string& file) const;
  using Identity = std::pair<std::uint64_t, std::uint64_t>;  // device, file number

  // What a power cut leaves of the file that `name` reaches now: its
  // flushed bytes if this wrapper wrote it, its bytes otherwise.
  std::optional<std::string> DurableBytesOf(const std::string& name,
                                            const std::map<std::string, std::string>& now);
  // Remembers what `name` held before a change of name, unless a change
  // since the last folder flush is remembered already.
  void BeforeNameChange(const std::string& name);

  std::function<std::map<std::string, std::string>()> now_;
  std::size_t fault_count_ = 0;  // calls that `fault` counted
  std::size_t open_files_ = 0;   // opened through the wrapper and not yet closed
  std::map<std::pair<Call, std::string>, std::size_t> holds_met_;  // by the step now
  // The files written through this wrapper: what they hold on disk.
  std::map<Identity, std::optional<std::string>> durable_;
  // What a name held before it changed: nothing, or bytes (none where not
  // known).
  struct Previous {
    bool existed = false;
    std::optional<std::string> bytes;
  };
  // The names changed since the folder's last flush, each as it was.
  std::map<std::string, Previous> undo_;
};

}  // namespace corvane::testing
