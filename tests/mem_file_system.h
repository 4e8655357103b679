// An in-memory file system for the tests: a folder of files held in maps,
// and the calls it was asked for.
//
// A name is not a file: names lead to files (inodes), so that two names can
// reach one file, as hard links do, and, in the case-folding mode, as
// names that differ only in letter case do for a Windows client of a share
// whose server tells them apart (the listing keeps every spelling; opening
// a name reaches that exact spelling if there is one, and otherwise the
// first name in the listing's order that folds to the same).
//
// Faults, and what a power cut would leave, are not its business: the fault
// wrapper (tests/faulty_file_system.h) adds them over this file system and
// over the real ones alike.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/sync_each_in_turn.h"
#include "tests/calls.h"

namespace corvane::testing {

class MemFileSystem : public FileSystem, public CallRecord {
 public:
  enum class Kind { kRegular, kHidden, kFolder, kSymlink, kFifo };

  // One file, whatever names reach it.
  struct Entry {
    std::string bytes;  // as a reader sees them now
    Kind kind = Kind::kRegular;
    bool read_only = false;       // cannot be opened for writing
    bool undeletable = false;     // cannot be deleted
    std::int64_t generation = 0;  // counts the changes, stands in for the time
  };

  // The files by number (inode), and the folder's names, each leading to a
  // file.
  std::map<std::uint64_t, Entry> files;
  std::map<std::string, std::uint64_t> names;
  // Opening folds the letter case of names (see the top of this file).
  bool case_folding = false;

  std::string current_directory = "/home/reader/pages";
  // Largest number of bytes one Read returns: small values split lines and
  // CR LF pairs across reads.
  std::size_t read_size = 1 << 16;

  // Adds a file that was on disk before the program started.
  void Add(const std::string& name, std::string bytes, Kind kind = Kind::kRegular);
  // Gives the file named `existing` the further name `name` (a hard link).
  void Link(const std::string& existing, const std::string& name);
  // Every name with the bytes it leads to.
  std::map<std::string, std::string> Now() const;
  // The file that `name`, spelt exactly so, leads to.
  Entry& File(const std::string& name);
  // The bytes of `name`, spelt exactly so, or nullopt when there is no such
  // name.
  std::optional<std::string> Contents(const std::string& name) const;

  std::vector<std::string> ListFiles() override;
  std::unique_ptr<InputFile> OpenForReading(const std::string& name) override;
  std::unique_ptr<OutputFile> OpenForWriting(const std::string& name) override;
  std::unique_ptr<OutputFile> CreateNewFile(const std::string& name) override;
  std::vector<std::optional<RuntimeError>> SyncFiles(std::span<OutputFile* const> files) override {
    return SyncEachInTurn(files);
  }
  std::optional<FileStamp> CheckReplaceable(const std::string& name) override;
  FileStamp StampOf(const std::string& name) override;
  void SyncDirectory() override;
  void DeleteFile(const std::string& name) override;
  std::string CurrentDirectory() override;

  // Records `call` on `file`, then runs the hook. For the files this
  // file system hands out.
  void Before(Call call, const std::string& file) {
    Record(call, file);
    RunHook(call, file);
  }
  // The bytes of the file `name` leads to changed: it gets another stamp.
  void Changed(const std::string& name);
  void Changed(std::uint64_t inode);
  // The name in `names` that opening `name` reaches, or names.end().
  std::map<std::string, std::uint64_t>::iterator Resolve(const std::string& name);

 private:
  Entry& Find(const std::string& name, const std::string& operation);
  std::uint64_t next_inode_ = 1;
};

}  // namespace corvane::testing
