// A random page through the extraction as the folder run feeds it (the
// line splitter, then the extractor, in chunks of random lengths), compared
// byte for byte with the literal version of the tests. The extractors are
// kept from input to input, as from page to page, and differ in how much
// text waits for its removal passes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "convert/extract.h"
#include "convert/line_splitter.h"
#include "fuzz/fuzz_input.h"
#include "platform/runtime_error.h"
#include "tests/reference_extract.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using corvane::ArticleExtractor;
  static ArticleExtractor extractors[] = {ArticleExtractor(), ArticleExtractor(0),
                                          ArticleExtractor(40)};
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  const std::optional<std::string> expected =
      corvane::testing::ReferenceExtract("page.html", corvane::testing::ReferenceLines(page));
  const auto chunks = corvane::fuzzing::Chunks(page);

  for (ArticleExtractor& extractor : extractors) {
    corvane::LineSplitter splitter;
    extractor.Clear();
    // The folder run reserves the page's size when it opens it; a page
    // that grew since is still taken whole.
    extractor.Reserve(&extractor == &extractors[2] ? size / 2 : size);
    for (std::string_view chunk : chunks) splitter.Feed(chunk, extractor);
    splitter.Finish(extractor);
    std::optional<std::string> text;
    try {
      text = extractor.Finish("page.html");
    } catch (const corvane::RuntimeError&) {
    }
    if (text != expected) {
      corvane::fuzzing::Differ("the extracted text", text.value_or("(no closing rule)"),
                               expected.value_or("(no closing rule)"));
    }
  }
  return 0;
}
