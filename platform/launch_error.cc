#include <string>
#include <utility>

#include "platform/launch.h"

namespace corvane {

LaunchError::LaunchError(std::string operation, std::string path, std::string reason)
    : std::runtime_error(operation + " \"" + path + "\": " + reason),
      operation_(std::move(operation)),
      path_(std::move(path)),
      reason_(std::move(reason)) {}

}  // namespace corvane
