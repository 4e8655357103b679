#include "tests/calls.h"

namespace corvane::testing {

std::string_view NameOf(Call call) {
  switch (call) {
    case Call::kListFiles:
      return "ListFiles";
    case Call::kOpenForReading:
      return "OpenForReading";
    case Call::kRead:
      return "Read";
    case Call::kOpenForWriting:
      return "OpenForWriting";
    case Call::kCreateNewFile:
      return "CreateNewFile";
    case Call::kAppend:
      return "Append";
    case Call::kSync:
      return "Sync";
    case Call::kRename:
      return "Rename";
    case Call::kClose:
      return "Close";
    case Call::kCheckReplaceable:
      return "CheckReplaceable";
    case Call::kStampOf:
      return "StampOf";
    case Call::kSyncDirectory:
      return "SyncDirectory";
    case Call::kDeleteFile:
      return "DeleteFile";
    case Call::kCurrentDirectory:
      return "CurrentDirectory";
  }
  return "?";
}

std::string OperationOf(Call call) {
  switch (call) {
    case Call::kListFiles:
      return "cannot read folder";
    case Call::kOpenForReading:
      return "cannot open file for reading";
    case Call::kRead:
      return "cannot read file";
    case Call::kOpenForWriting:
    case Call::kCreateNewFile:
    case Call::kCheckReplaceable:
      return "cannot create file";
    case Call::kAppend:
      return "cannot write file";
    case Call::kSync:
      return "cannot flush file to disk";
    case Call::kRename:
      return "cannot replace file";
    case Call::kClose:
      return "cannot close file";
    case Call::kStampOf:
      return "cannot look up file";
    case Call::kSyncDirectory:
      return "cannot flush folder to disk";
    case Call::kDeleteFile:
      return "cannot delete file";
    case Call::kCurrentDirectory:
      return "cannot find the current folder";
  }
  return "";
}

}  // namespace corvane::testing
