// The flush of a group of files done plainly, one file after the other: the
// `FileSystem::SyncFiles` of the file systems that have nothing better.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "platform/file_system.h"

namespace corvane {

// `Sync` on each of `files` in turn; each file's error, or nullopt, in the
// order given, as `FileSystem::SyncFiles` returns them.
std::vector<std::optional<RuntimeError>> SyncEachInTurn(std::span<OutputFile* const> files);

}  // namespace corvane
