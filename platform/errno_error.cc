#include "platform/errno_error.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace corvane {

ErrorNumber ErrorNumberForErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return ErrorNumber::kFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      return ErrorNumber::kPermissionDenied;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
      return ErrorNumber::kDiskFull;
    case EIO:
      return ErrorNumber::kDeviceIoError;
    case ENOMEM:
      return ErrorNumber::kOutOfMemory;
    case EMFILE:
    case ENFILE:
      return ErrorNumber::kTooManyFiles;
    default:
      return ErrorNumber::kPathFileAccessError;
  }
}

RuntimeError SystemError(int error, std::string operation, std::string file) {
  return RuntimeError(ErrorNumberForErrno(error), std::move(operation), std::move(file),
                      std::strerror(error));
}

}  // namespace corvane
