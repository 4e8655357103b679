#include "platform/runtime_error.h"

#include <string>
#include <utility>

namespace corvane {

std::string_view DescriptionOf(ErrorNumber number) {
  switch (number) {
    case ErrorNumber::kInvalidProcedureCall:
      return "Invalid procedure call or argument";
    case ErrorNumber::kOutOfMemory:
      return "Out of memory";
    case ErrorNumber::kFileNotFound:
      return "File not found";
    case ErrorNumber::kDeviceIoError:
      return "Device I/O error";
    case ErrorNumber::kDiskFull:
      return "Disk full";
    case ErrorNumber::kTooManyFiles:
      return "Too many files";
    case ErrorNumber::kPermissionDenied:
      return "Permission denied";
    case ErrorNumber::kPathFileAccessError:
      return "Path/File access error";
  }
  return "Application-defined or object-defined error";
}

namespace {

std::string Describe(ErrorNumber number, const std::string& operation, const std::string& file,
                     const std::string& reason) {
  std::string text = "run-time error " + std::to_string(static_cast<int>(number)) + ": ";
  text += DescriptionOf(number);
  if (!operation.empty()) text += ": " + operation;
  if (!file.empty()) text += ": " + file;
  if (!reason.empty()) text += " (" + reason + ")";
  return text;
}

}  // namespace

RuntimeError::RuntimeError(ErrorNumber number, std::string operation, std::string file,
                           std::string reason)
    : std::runtime_error(Describe(number, operation, file, reason)),
      number_(number),
      operation_(std::move(operation)),
      file_(std::move(file)),
      reason_(std::move(reason)) {}

RuntimeError RuntimeError::Held(ErrorNumber number, std::string operation, std::string file) {
  RuntimeError error(number, std::move(operation), std::move(file), std::string(kHeldReason));
  error.held_ = true;
  return error;
}

RuntimeError RuntimeError::About(std::string file) const {
  RuntimeError error(number_, operation_, std::move(file), reason_);
  error.held_ = held_;
  return error;
}

std::string ErrorReportText(const RuntimeError& error) {
  std::string text = "Run-time error " + std::to_string(static_cast<int>(error.number())) + ":\n\n";
  text += DescriptionOf(error.number());
  std::string detail = error.operation();
  if (!error.file().empty()) {
    if (!detail.empty()) detail += ": ";
    detail += error.file();
  }
  if (!error.reason().empty()) {
    if (!detail.empty()) detail += ' ';
    detail += "(" + error.reason() + ")";
  }
  if (!detail.empty()) text += "\n\n" + detail;
  return text;
}

}  // namespace corvane
