// Which entries of a folder the Windows listing takes for pages.
#pragma once

#include <cstdint>

namespace corvane {

// True for what the listing calls an ordinary file: attributes (and, for a
// reparse point, its tag) of neither a folder, a hidden or system file, a
// device, nor a link (a symbolic link or a junction). Other reparse points
// (files kept by a cloud service, deduplicated or compressed files) are
// ordinary files whose contents the system fetches on reading.
bool IsOrdinaryFile(std::uint32_t attributes, std::uint32_t reparse_tag);

}  // namespace corvane
