// What both fuzz targets share: the input cut into chunks of random
// lengths, as reads of a file would deliver it, the lengths drawn from a
// generator seeded by the input itself, so that each input always gives the
// same chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::fuzzing {

// Mostly short chunks, so that line ends, rules and "Continue reading"
// fall across them; now and then the rest of the input at once.
inline std::vector<std::string_view> Chunks(std::string_view input) {
  std::minstd_rand random(static_cast<std::uint32_t>(std::hash<std::string_view>{}(input)));
  std::vector<std::string_view> chunks;
  while (!input.empty()) {
    const std::size_t length = random() % 8 == 0 ? input.size() : 1 + random() % 24;
    chunks.push_back(input.substr(0, length));
    input.remove_prefix(chunks.back().size());
  }
  return chunks;
}

// Stops the run, printing what differed; the fuzzer keeps the input.
[[noreturn]] inline void Differ(std::string_view what, std::string_view got,
                                std::string_view expected) {
  std::fprintf(stderr,
               "%.*s differs from the literal version:\n  got      %zu bytes \"%.*s\"\n"
               "  expected %zu bytes \"%.*s\"\n",
               static_cast<int>(what.size()), what.data(), got.size(), static_cast<int>(got.size()),
               got.data(), expected.size(), static_cast<int>(expected.size()), expected.data());
  std::abort();
}

}  // namespace corvane::fuzzing
