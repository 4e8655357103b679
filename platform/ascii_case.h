// Names compared as Windows and the page search compare them: without
// regard to the letter case of A to Z, every other byte as it is.
#pragma once

#include <string_view>

namespace corvane {

// Whether `a` and `b` are the same but for the letter case of A to Z.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace corvane
