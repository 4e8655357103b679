// Who makes the program, in one place: its title, the maker's web domain,
// the donation page and the copyright line the window shows.
#pragma once

#include <string_view>

namespace corvane {

// The program's title: the caption of its message boxes.
inline constexpr std::string_view kProgramTitle = "Corvane2txt";

// The maker's web domain; the help text's last line names it.
inline constexpr std::string_view kMakerDomain = "example.org";

// The donation page: the maker's domain, then "/Corvane2txt/index.htm".
inline constexpr std::string_view kDonationAddress = "http://example.org/Corvane2txt/index.htm";

// The one-line notice at the foot of the window.
inline constexpr std::string_view kCopyrightNotice = "Copyright \u00a9 2026 example.org";

}  // namespace corvane
