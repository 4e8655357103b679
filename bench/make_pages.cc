// corvane_make_pages FOLDER COUNT SIZE [crlf|lf|nested]
//
// Writes COUNT made-up saved pages of SIZE bytes (page-001.html, ...) into
// FOLDER, which must exist: the pages bench/whole-run.sh converts.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "tests/saved_pages.h"

int main(int argc, char** argv) {
  using corvane::testing::PageShape;
  if (argc < 4 || argc > 5) {
    std::fprintf(stderr, "usage: corvane_make_pages FOLDER COUNT SIZE [crlf|lf|nested]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const long count = std::atol(argv[2]);
  const long size = std::atol(argv[3]);
  const std::string_view shape_name = argc == 5 ? argv[4] : "crlf";
  PageShape shape = PageShape::kCrLf;
  if (shape_name == "lf") {
    shape = PageShape::kLfOnly;
  } else if (shape_name == "nested") {
    shape = PageShape::kNested;
  } else if (shape_name != "crlf") {
    std::fprintf(stderr, "corvane_make_pages: unknown page shape '%s'\n", argv[4]);
    return 2;
  }
  if (count <= 0 || size <= 0) {
    std::fprintf(stderr, "corvane_make_pages: COUNT and SIZE must be positive\n");
    return 2;
  }

  const std::string page = corvane::testing::MakeSavedPage(shape, static_cast<std::size_t>(size));
  for (long i = 1; i <= count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/page-%03ld.html", i);
    std::ofstream out(folder + name, std::ios::binary | std::ios::trunc);
    out.write(page.data(), static_cast<std::streamsize>(page.size()));
    if (!out.flush()) {
      std::fprintf(stderr, "corvane_make_pages: cannot write %s%s\n", folder.c_str(), name);
      return 1;
    }
  }
  return 0;
}
