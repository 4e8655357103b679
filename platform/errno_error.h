// Run-time errors from the C library's errno values: what the POSIX runtime
// meets, and what the tests' fault injection raises on every system.
#pragma once

#include <string>

#include "platform/runtime_error.h"

namespace corvane {

// The run-time number for an errno value: ENOENT 53, EACCES 70, ENOSPC 61,
// EIO 57, ...; anything else 75.
ErrorNumber ErrorNumberForErrno(int error);

// A RuntimeError for the errno value `error` met while doing `operation` on
// `file`, with the C library's text for it as the reason.
RuntimeError SystemError(int error, std::string operation, std::string file);

}  // namespace corvane
