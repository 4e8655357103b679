// The calls a runtime and its files can be asked for, as the test runtimes
// record them, and the failures a test can inject into them.
#pragma once

#include <cerrno>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

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
  kStartProgram,
};

// "Read", "SyncDirectory", ...: for test messages.
std::string_view NameOf(Call call);

// What the POSIX runtime says it was doing when a call of this kind fails:
// "cannot read file", ...
std::string OperationOf(Call call);

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
