// The error every part of the program throws: one of the classic run-time
// error numbers, what was being done, the file concerned and the system's
// own reason. The conversion raises it for a page it cannot convert, and
// every service of the system layer for a failure of the system.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace corvane {

// The run-time error numbers this program raises; each has a fixed
// description (see `DescriptionOf`).
enum class ErrorNumber : int {
  kInvalidProcedureCall = 5,
  kOutOfMemory = 7,
  kFileNotFound = 53,
  kDeviceIoError = 57,
  kDiskFull = 61,
  kTooManyFiles = 67,
  kPermissionDenied = 70,
  kPathFileAccessError = 75,
};

// "Invalid procedure call or argument" for 5, "File not found" for 53, ...
std::string_view DescriptionOf(ErrorNumber number);

// A failure of a service or of the conversion. `what()` reads
//   run-time error 70: Permission denied: cannot open page: b.html (Permission denied)
// that is: number, description, operation, file and, when the operating
// system gave one, its reason in parentheses.
class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(ErrorNumber number, std::string operation, std::string file,
               std::string reason = {});

  ErrorNumber number() const { return number_; }
  const std::string& operation() const { return operation_; }
  const std::string& file() const { return file_; }
  const std::string& reason() const { return reason_; }

  // The reason of an error about a file that another program has open or
  // locked for the moment, as virus scanners, indexers and sync clients do
  // with a file just saved or changed.
  static constexpr std::string_view kHeldReason = "another program has the file open";
  // That error, which waiting may mend: the same step may succeed once the
  // other program lets go (see `held`).
  static RuntimeError Held(ErrorNumber number, std::string operation, std::string file);
  // True for an error made by `Held`.
  bool held() const { return held_; }

  // The same error about `file` instead.
  RuntimeError About(std::string file) const;

 private:
  ErrorNumber number_;
  std::string operation_;
  std::string file_;
  std::string reason_;
  bool held_ = false;
};

// The text of an error report in a message box: "Run-time error N:", the
// description, then what was being done, the file and the system's reason,
// separated by empty lines.
std::string ErrorReportText(const RuntimeError& error);

}  // namespace corvane
