// A deliberately literal version of the extraction, step by step as the
// program's rules are written, with no cleverness: the yardstick the real,
// linear one is compared with. Slow (quadratic), so for tests and small
// benchmarks only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::testing {

// The lines of a file: ends at CR LF or CR, an LF alone is a character, no
// empty line after a final line end.
std::vector<std::string> ReferenceLines(std::string_view bytes);

// The page's text, or nullopt where the extraction fails (no closing rule).
std::optional<std::string> ReferenceExtract(std::string_view page_name,
                                            const std::vector<std::string>& lines);

}  // namespace corvane::testing
