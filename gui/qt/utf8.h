// The program's strings are UTF-8; Qt's are UTF-16.
#pragma once

#include <QString>
#include <string_view>

namespace corvane {

inline QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace corvane
