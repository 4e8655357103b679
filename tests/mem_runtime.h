// An in-memory runtime for the tests: a folder of files held in maps, the
// messages, error reports and program ends it was asked for, and ways to
// make calls fail.
//
// A name is not a file: names lead to files (inodes), so that two names can
// reach one file, as hard links do, and, in the case-folding mode, as
// names that differ only in letter case do for a Windows client of a share
// whose server tells them apart (the listing keeps every spelling; opening
// a name reaches that exact spelling if there is one, and otherwise the
// first name in the listing's order that folds to the same).
//
// Faults are injected as an error-injecting environment does it: `fault`
// names the k-th call (of one kind, or of any kind) that fails with an errno
// of the test's choice, once or from then on. The error is the one the POSIX
// runtime would raise for that errno: the same number, operation text and
// system reason.
//
// The folder also keeps an honest account of what is on disk, from which
// `PowerCut` gives the folder as a power cut right now could leave it: bytes
// written but not flushed are unknown, new names and renames arrive when the
// folder is flushed or (at worst for whoever relied on the old name) at
// once, and a deletion may arrive as soon as it is made.
#pragma once

#include <cerrno>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/runtime.h"

namespace corvane::testing {

// Every call a MemRuntime (or one of its files) can be asked for.
enum class Call {
  kListFiles,
  kOpenForReading,
  kRead,
  kOpenForWriting,
  kAppend,
  kSync,
  kRename,
  kClose,  // of a file opened for reading or for writing
  kCheckReplaceable,
  kStampOf,
  kSyncDirectory,
  kDeleteFile,
  kCurrentDirectory,
  kStartProgram,
};

// "Read", "SyncDirectory", ...: for test messages.
std::string_view NameOf(Call call);

// A failure to inject.
struct Fault {
  std::optional<Call> call;   // the kind of call that fails; none: calls of every kind count
  std::size_t nth = 1;        // the nth call of that kind (counted from 1) fails...
  bool from_then_on = false;  // ...and, if set, every one after it
  int error = EIO;            // the errno it fails with
};

class MemRuntime : public Runtime {
 public:
  enum class Kind { kRegular, kHidden, kFolder, kSymlink, kFifo };

  // One file, whatever names reach it.
  struct Entry {
    std::string bytes;  // as a reader sees them now
    Kind kind = Kind::kRegular;
    bool read_only = false;       // cannot be opened for writing
    bool undeletable = false;     // cannot be deleted
    std::int64_t generation = 0;  // counts the changes, stands in for the time
    // The bytes as flushed to disk; none while a change is not yet flushed.
    std::optional<std::string> durable;
  };
  // A folder as a power cut would leave it: each name with its bytes, or
  // none where they are not known.
  using Disk = std::map<std::string, std::optional<std::string>>;

  // The files by number (inode), and the folder's names, each leading to a
  // file.
  std::map<std::uint64_t, Entry> files;
  std::map<std::string, std::uint64_t> names;
  // The names as the disk holds them: as of the last flush of the folder,
  // less the deletions made since.
  std::map<std::string, std::uint64_t> durable_names;
  // Opening folds the letter case of names (see the top of this file).
  bool case_folding = false;

  std::string current_directory = "/home/reader/pages";
  // Largest number of bytes one Read returns: small values split lines and
  // CR LF pairs across reads.
  std::size_t read_size = 1 << 16;

  // The failure to inject, if any, and how often it was raised.
  std::optional<Fault> fault;
  std::size_t faults_raised = 0;
  // Every call so far, with the file it concerned.
  std::vector<std::pair<Call, std::string>> calls;

  // Called before every call that did not fail by `fault`, with the call and
  // the file it concerns; a test can change the folder from here, or make
  // the call fail by throwing.
  std::function<void(Call, const std::string&)> before_call;

  // What the program asked for.
  std::vector<std::string> messages;
  std::vector<std::string> error_reports;
  std::optional<int> end_status;
  std::vector<std::vector<std::string>> started;  // program, then its arguments

  // Adds a file that was on disk before the program started.
  void Add(const std::string& name, std::string bytes, Kind kind = Kind::kRegular);
  // Gives the file named `existing` the further name `name` (a hard link),
  // on disk.
  void Link(const std::string& existing, const std::string& name);
  // The file that `name`, spelt exactly so, leads to.
  Entry& File(const std::string& name);
  // The bytes of `name`, spelt exactly so, or nullopt when there is no such
  // name.
  std::optional<std::string> Contents(const std::string& name) const;
  // True when `name` and its bytes as they are now would survive a crash.
  bool SafeOnDisk(const std::string& name) const;
  // The folder after a power cut now: with `changes_arrived` false, no name
  // made or renamed since the folder's last flush is there; with it true,
  // every one is. Deletions have arrived in both, and bytes not flushed are
  // unknown in both.
  Disk PowerCut(bool changes_arrived) const;

  std::vector<std::string> ListFiles() override;
  std::unique_ptr<InputFile> OpenForReading(const std::string& name) override;
  std::unique_ptr<OutputFile> OpenForWriting(const std::string& name) override;
  std::optional<FileStamp> CheckReplaceable(const std::string& name) override;
  FileStamp StampOf(const std::string& name) override;
  void SyncDirectory() override;
  void DeleteFile(const std::string& name) override;
  std::string CurrentDirectory() override;
  void StartProgram(const std::string& program, const std::vector<std::string>& arguments) override;
  void ShowMessage(std::string_view text) override;
  void ReportError(const RuntimeError& error) override;
  void EndProgram(int status) override;

  // Records `call` on `file`, raises the fault if it is due, then runs the
  // hook. For the files this runtime hands out.
  void Before(Call call, const std::string& file);
  // The bytes of the file `name` leads to changed and are not on disk yet.
  void Changed(const std::string& name);
  void Changed(std::uint64_t inode);
  // The name in `names` that opening `name` reaches, or names.end().
  std::map<std::string, std::uint64_t>::iterator Resolve(const std::string& name);

 private:
  Entry& Find(const std::string& name, const std::string& operation);
  std::uint64_t next_inode_ = 1;
  std::size_t fault_count_ = 0;  // calls that `fault` counted
};

}  // namespace corvane::testing
