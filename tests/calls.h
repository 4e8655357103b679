// The calls a file system and its files can be asked for, as the test
// file systems record them, and the failures a test can inject into them.
#pragma once

#include <cerrno>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane::testing {

enum class Call {
  kListFiles,
  kOpenForReading,
  kRead,
  kOpenForWriting,
  kCreateNewFile,
  kAppend,
  kSync,
  kRename,
  kClose,  // of a file opened for reading or for writing
  kCheckReplaceable,
  kStampOf,
  kSyncDirectory,
  kDeleteFile,
  kCurrentDirectory,
};

// "Read", "SyncDirectory", ...: for test messages.
std::string_view NameOf(Call call);

// What the POSIX file system says it was doing when a call of this kind
// fails: "cannot read file", ...
std::string OperationOf(Call call);

// The calls a fake was asked for, and the hook a test runs before each.
struct CallRecord {
  // Every call so far, with the file it concerned.
  std::vector<std::pair<Call, std::string>> calls;
  // Called before every call, with the call and the file it concerns: a
  // test can change the folder from here, or make the call fail by
  // throwing.
  std::function<void(Call, const std::string&)> before_call;

  void Record(Call call, const std::string& file) { calls.emplace_back(call, file); }
  void RunHook(Call call, const std::string& file) const {
    if (before_call) before_call(call, file);
  }
};

// A failure to inject.
struct Fault {
  std::optional<Call> call;   // the kind of call that fails; none: calls of every kind count
  std::size_t nth = 1;        // the nth call of that kind (counted from 1) fails...
  bool from_then_on = false;  // ...and, if set, every one after it
  int error = EIO;            // the errno it fails with
};

// A folder as a power cut would leave it: each name with its bytes, or none
// where they are not known.
using Disk = std::map<std::string, std::optional<std::string>>;

}  // namespace corvane::testing
