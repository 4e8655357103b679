// An in-memory runtime for the tests: a folder of files held in a map, the
// messages, error reports and program ends it was asked for, and a hook that
// lets a test make any call fail.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
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
  kClose,
  kStampOf,
  kSyncDirectory,
  kDeleteFile,
  kCurrentDirectory,
  kStartProgram,
};

class MemRuntime : public Runtime {
 public:
  enum class Kind { kRegular, kHidden, kFolder, kSymlink, kFifo };

  struct Entry {
    std::string bytes;
    Kind kind = Kind::kRegular;
    bool read_only = false;     // cannot be opened for writing
    bool undeletable = false;   // cannot be deleted
    std::uint64_t inode = 0;
    std::int64_t generation = 0;  // counts the changes, stands in for the time
    bool synced = false;        // the bytes were flushed to disk since the last change
  };

  // The folder's entries by name.
  std::map<std::string, Entry> files;
  std::string current_directory = "/home/reader/pages";
  // Largest number of bytes one Read returns: small values split lines and
  // CR LF pairs across reads.
  std::size_t read_size = 1 << 16;

  // Called before every call, with the call and the file it concerns; a test
  // makes the call fail by throwing from here.
  std::function<void(Call, const std::string&)> before_call;

  // What the program asked for.
  std::vector<std::string> messages;
  std::vector<std::string> error_reports;
  std::optional<int> end_status;
  std::vector<std::vector<std::string>> started;  // program, then its arguments
  bool directory_synced = false;

  void Add(const std::string& name, std::string bytes, Kind kind = Kind::kRegular);
  // The bytes of `name`, or nullopt when there is no such entry.
  std::optional<std::string> Contents(const std::string& name) const;

  std::vector<std::string> ListFiles() override;
  std::unique_ptr<InputFile> OpenForReading(const std::string& name) override;
  std::unique_ptr<OutputFile> OpenForWriting(const std::string& name) override;
  FileStamp StampOf(const std::string& name) override;
  void SyncDirectory() override;
  void DeleteFile(const std::string& name) override;
  std::string CurrentDirectory() override;
  void StartProgram(const std::string& program,
                    const std::vector<std::string>& arguments) override;
  void ShowMessage(std::string_view text) override;
  void ReportError(const RuntimeError& error) override;
  void EndProgram(int status) override;

  // Runs the hook for `call` on `file`; for the files this runtime hands out.
  void Before(Call call, const std::string& file) {
    if (before_call) before_call(call, file);
  }

 private:
  Entry& Find(const std::string& name, const std::string& operation);
  std::uint64_t next_inode_ = 1;
};

}  // namespace corvane::testing
