#include "platform/user.h"

#include <exception>
#include <new>

namespace corvane {

bool ReportingFailures(User& user, const std::function<void()>& action) {
  try {
    try {
      action();
      return true;
    } catch (const RuntimeError& error) {
      user.ReportError(error);
    } catch (const std::bad_alloc&) {
      user.ReportError(RuntimeError(ErrorNumber::kOutOfMemory, "not enough memory", ""));
    } catch (const std::exception& error) {
      user.ReportError(
          RuntimeError(ErrorNumber::kInvalidProcedureCall, "unexpected failure", "", error.what()));
    } catch (...) {
      user.ReportError(RuntimeError(ErrorNumber::kInvalidProcedureCall, "unexpected failure", ""));
    }
  } catch (...) {
    // Even the report failed; the program ends with status 1 all the same.
  }
  user.EndProgram(1);
  return false;
}

}  // namespace corvane
