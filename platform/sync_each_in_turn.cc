#include "platform/sync_each_in_turn.h"

namespace corvane {

std::vector<std::optional<RuntimeError>> SyncEachInTurn(std::span<OutputFile* const> files) {
  std::vector<std::optional<RuntimeError>> results(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    try {
      files[i]->Sync();
    } catch (const RuntimeError& error) {
      results[i] = error;
    }
  }
  return results;
}

}  // namespace corvane
