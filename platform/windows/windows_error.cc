#include "platform/windows/windows_error.h"

// clang-format off
#include "platform/windows/windows_api.h"
// clang-format on

#include <cstring>
#include <string>
#include <utility>

#include "platform/windows/utf16.h"

namespace corvane {

namespace {

// System error codes that not every SDK's headers name.
constexpr DWORD kErrorVirusInfected = 225;
constexpr DWORD kErrorVirusDeleted = 226;
constexpr DWORD kErrorElevationRequired = 740;
constexpr DWORD kErrorDiskQuotaExceeded = 1295;

// The system's text for `error`, in UTF-8, without the final period and
// line end that it comes with.
std::string ReasonFor(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) return "system error " + std::to_string(error);
  std::string reason = Utf8FromWide(std::wstring_view(text, length));
  ::LocalFree(text);
  while (!reason.empty() && std::strchr(" \t\r\n.", reason.back()) != nullptr) reason.pop_back();
  return reason.empty() ? "system error " + std::to_string(error) : reason;
}

}  // namespace

ErrorNumber ErrorNumberForWindowsError(std::uint32_t error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DIRECTORY:
    case ERROR_MOD_NOT_FOUND:
      return ErrorNumber::kFileNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_DELETE_PENDING:
    case ERROR_USER_MAPPED_FILE:
    case ERROR_PRIVILEGE_NOT_HELD:
    case kErrorElevationRequired:
    case kErrorVirusInfected:
    case kErrorVirusDeleted:
      return ErrorNumber::kPermissionDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case kErrorDiskQuotaExceeded:
    case ERROR_FILE_TOO_LARGE:
      return ErrorNumber::kDiskFull;
    case ERROR_CRC:
    case ERROR_SEEK:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_NETNAME_DELETED:
    case ERROR_IO_DEVICE:
      return ErrorNumber::kDeviceIoError;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_NO_SYSTEM_RESOURCES:
      return ErrorNumber::kOutOfMemory;
    case ERROR_TOO_MANY_OPEN_FILES:
      return ErrorNumber::kTooManyFiles;
    default:
      return ErrorNumber::kPathFileAccessError;
  }
}

RuntimeError WindowsError(std::uint32_t error, std::string operation, std::string file) {
  return RuntimeError(ErrorNumberForWindowsError(error), std::move(operation), std::move(file),
                      ReasonFor(error));
}

}  // namespace corvane
