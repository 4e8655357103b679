// The folders that Windows names for the user, and the top folders of its
// drives: what the launcher asks a second question about on Windows.
#pragma once

#include <guiddef.h>

#include <string>
#include <string_view>

namespace corvane {

// The folder the shell knows as `id` (FOLDERID_Documents, FOLDERID_Profile,
// ...) for this user, resolved like `ResolveFolder`, or an empty string when
// there is none or it does not lead to a folder.
std::string KnownFolder(const GUID& id);

// Whether `folder`, resolved like `ResolveFolder`, is the top folder of a
// drive ("C:\") or of a network share ("\\server\share").
bool IsDriveRoot(std::string_view folder);

}  // namespace corvane
