// Random bytes through the line splitter in chunks of random lengths; the
// lines it delivers, piece by piece, must be those of the literal version.
// One splitter serves every input, as it serves page after page.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "convert/line_splitter.h"
#include "fuzz/fuzz_input.h"
#include "tests/reference_extract.h"

namespace {

struct Lines {
  std::vector<std::string> lines;
  std::string current;
  void Text(std::string_view text) { current.append(text); }
  void LineEnd() { lines.push_back(std::exchange(current, {})); }
};

std::string Joined(const std::vector<std::string>& lines) {
  std::string joined;
  for (const std::string& line : lines) joined.append(line).append("|\n");
  return joined;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  static corvane::LineSplitter splitter;
  Lines sink;
  for (std::string_view chunk : corvane::fuzzing::Chunks(bytes)) splitter.Feed(chunk, sink);
  splitter.Finish(sink);
  const std::vector<std::string> expected = corvane::testing::ReferenceLines(bytes);
  if (!sink.current.empty() || sink.lines != expected) {
    corvane::fuzzing::Differ("the lines", Joined(sink.lines), Joined(expected));
  }
  return 0;
}
