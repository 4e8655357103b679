#include "platform/windows/ordinary_file.h"

// clang-format off
#include "platform/windows/windows_api.h"
// clang-format on

namespace corvane {

bool IsOrdinaryFile(std::uint32_t attributes, std::uint32_t reparse_tag) {
  constexpr std::uint32_t kNotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                                         FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
  if ((attributes & kNotOrdinary) != 0) return false;
  // A name surrogate stands for another file or folder: a link.
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 ||
         !IsReparseTagNameSurrogate(reparse_tag);
}

}  // namespace corvane
