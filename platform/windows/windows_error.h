// Windows error codes as the program reports them: a run-time error number
// and the system's own text for the code.
#pragma once

#include <cstdint>
#include <string>

#include "platform/runtime_error.h"

namespace corvane {

// The run-time number for a Windows error code: ERROR_FILE_NOT_FOUND 53,
// ERROR_ACCESS_DENIED and ERROR_SHARING_VIOLATION 70, ERROR_DISK_FULL 61,
// ERROR_CRC 57, ...; anything else 75.
ErrorNumber ErrorNumberForWindowsError(std::uint32_t error);

// A RuntimeError for the Windows error code `error` met while doing
// `operation` on `file`, with the system's own text for it as the reason.
RuntimeError WindowsError(std::uint32_t error, std::string operation, std::string file);

}  // namespace corvane
