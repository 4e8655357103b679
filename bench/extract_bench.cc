// The extraction of one page, fed as the folder run feeds it: the page's
// bytes in chunks of 256 KiB through the line splitter. Reports bytes per
// second of page, next to a memcpy of the same bytes and, on the smallest
// pages, the literal version from the tests. Ends with a summary of the best
// runs and the growth of the time from the 1 MB to the 8 MB page, as an
// exponent of the size.
//
//   corvane_extract_bench [Google Benchmark flags]
//   corvane_extract_bench --benchmark_repetitions=10
//                         --benchmark_enable_random_interleaving=true
// (as for the Speed table in docs/DEVELOPING.md: repetitions interleaved, so
// that a slow spell of the machine does not spoil all the runs of one
// benchmark)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "convert/extract.h"
#include "convert/joined_text.h"
#include "convert/line_splitter.h"
#include "tests/reference_extract.h"
#include "tests/saved_pages.h"

namespace {

using corvane::testing::MakeSavedPage;
using corvane::testing::NameOf;
using corvane::testing::PageShape;

constexpr std::size_t kChunk = 256 * 1024;  // as the folder run reads
constexpr std::size_t kMB = 1'000'000;
constexpr double kSizesInMB[] = {0.2, 0.5, 1, 2, 4, 8};
constexpr double kLargestReferenceMB = 0.2;
constexpr PageShape kShapes[] = {PageShape::kCrLf, PageShape::kLfOnly, PageShape::kNested};

// Pages are made once and shared by the benchmarks of one size.
const std::string& Page(PageShape shape, std::size_t size) {
  static std::map<std::pair<PageShape, std::size_t>, std::string> pages;
  auto [it, made] = pages.try_emplace({shape, size});
  if (made) it->second = MakeSavedPage(shape, size);
  return it->second;
}

// The article of `page`, as the folder run gets it: room made for the page
// first, the article left in the extractor's buffer.
std::string_view Extract(corvane::ArticleExtractor& extractor, std::string_view page) {
  extractor.Clear();
  extractor.Reserve(page.size());
  corvane::LineSplitter splitter;
  for (std::size_t at = 0; at < page.size(); at += kChunk) {
    splitter.Feed(page.substr(at, kChunk), extractor);
  }
  splitter.Finish(extractor);
  return extractor.FinishArticle("page.html");
}

// Bytes of page per second of CPU time, in powers of 1000 (1G/s is 1 GB/s),
// and the page's size for the summary.
void SetBytesPerSecond(benchmark::State& state, std::size_t page_size) {
  state.counters["bytes/s"] =
      benchmark::Counter(static_cast<double>(state.iterations() * page_size),
                         benchmark::Counter::kIsRate, benchmark::Counter::kIs1000);
  state.counters["page"] = benchmark::Counter(
      static_cast<double>(page_size), benchmark::Counter::kDefaults, benchmark::Counter::kIs1000);
}

void BM_Extract(benchmark::State& state, PageShape shape, std::size_t size) {
  const std::string& page = Page(shape, size);
  corvane::ArticleExtractor extractor;  // reused, as for the pages of a folder
  for (auto _ : state) {
    const std::string_view article = Extract(extractor, page);
    benchmark::DoNotOptimize(article.data());
  }
  SetBytesPerSecond(state, page.size());
}

void BM_Memcpy(benchmark::State& state, PageShape shape, std::size_t size) {
  const std::string& page = Page(shape, size);
  std::vector<char> copy(page.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), page.data(), page.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  SetBytesPerSecond(state, page.size());
}

void BM_Reference(benchmark::State& state, PageShape shape, std::size_t size) {
  const std::string& page = Page(shape, size);
  for (auto _ : state) {
    auto text =
        corvane::testing::ReferenceExtract("page.html", corvane::testing::ReferenceLines(page));
    benchmark::DoNotOptimize(text);
  }
  SetBytesPerSecond(state, page.size());
}

// A line of `count` nestings whose removal passes each merge the junction
// with the removed run beside it, on its right (one pass after another
// works its way outwards through "ue reaContinue readingding") or on its
// left ("ConContinue readingtin"), followed by the empty lines that give
// those passes. Joined text that moves its removed runs about on every merge
// takes quadratic time here.
void BM_Merging(benchmark::State& state, bool rightwards, int count) {
  std::string line;
  for (int i = 0; i < count; ++i) line += rightwards ? "Contin" : "ConContinue readingtin";
  line += "Continue reading";
  for (int i = 0; i < count; ++i) line += rightwards ? "ue reaContinue readingding" : "ue reading";
  for (auto _ : state) {
    corvane::JoinedText text;
    text.AppendLine(line);
    for (int i = 0; i < count + 2; ++i) text.AppendLine("");
    const std::string& joined = text.Finish();
    benchmark::DoNotOptimize(joined.data());
  }
  SetBytesPerSecond(state, line.size());
}

double Min(const std::vector<double>& values) {
  return *std::min_element(values.begin(), values.end());
}

std::string SizeName(double mb) {
  char name[16];
  std::snprintf(name, sizeof name, "%gMB", mb);
  return name;
}

// Whether a run stopped with an error: Google Benchmark 1.8 replaced the
// flag `error_occurred` by the kind of skip, `skipped`.
template <typename Run>
bool Failed(const Run& run) {
  if constexpr (requires { run.skipped; }) {
    return run.skipped != 0;
  } else {
    return run.error_occurred;
  }
}

// Prints what the console reporter prints, then a summary: for each
// benchmark its best CPU time and rate over the repetitions (the runs least
// disturbed by whatever else the machine does; "min" among the aggregates),
// and how the best time of the extraction grows from the 1 MB to the 8 MB
// page of each shape.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // Single runs, or the best of repeated ones.
      if (Failed(run)) continue;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "min") continue;
      const std::string name = run.run_name.function_name;
      auto best = best_.try_emplace(name, Best{run.GetAdjustedCPUTime(), 0}).first;
      best->second.time = std::min(best->second.time, run.GetAdjustedCPUTime());
      if (auto page = run.counters.find("page"); page != run.counters.end()) {
        best->second.page = page->second.value;
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nBest runs (CPU time):\n");
    for (PageShape shape : kShapes) {
      for (double mb : kSizesInMB) {
        for (const char* kind : {"extract/", "memcpy/", "reference/"}) {
          const std::string name = kind + std::string(NameOf(shape)) + "/" + SizeName(mb);
          auto best = best_.find(name);
          if (best == best_.end()) continue;
          std::printf("  %-24s %10.3f ms  %8.3f GB/s\n", name.c_str(), best->second.time,
                      best->second.page / (best->second.time / 1e3) / 1e9);
        }
      }
    }
    std::printf("Growth of the extraction time from the 1 MB to the 8 MB page:\n");
    for (PageShape shape : kShapes) {
      const std::string prefix = "extract/" + std::string(NameOf(shape)) + "/";
      auto small = best_.find(prefix + "1MB");
      auto large = best_.find(prefix + "8MB");
      if (small == best_.end() || large == best_.end()) continue;
      std::printf("  %-8s size^%.2f\n", std::string(NameOf(shape)).c_str(),
                  std::log(large->second.time / small->second.time) / std::log(8.0));
    }
    std::printf("Growth of the time of the merging nestings from 20k to 80k:\n");
    for (const char* side : {"right", "left"}) {
      auto small = best_.find(std::string("merging/") + side + "/20k");
      auto large = best_.find(std::string("merging/") + side + "/80k");
      if (small == best_.end() || large == best_.end()) continue;
      std::printf("  %-8s size^%.2f\n", side,
                  std::log(large->second.time / small->second.time) / std::log(4.0));
    }
  }

 private:
  struct Best {
    double time;  // in milliseconds, the unit of every benchmark here
    double page;  // bytes
  };
  std::map<std::string, Best> best_;
};

// Checks that the pages are what the benchmarks claim to measure: each one
// has an article, and the extraction agrees with the literal version on the
// smallest ones.
bool PagesAreSound() {
  corvane::ArticleExtractor extractor;
  for (PageShape shape : kShapes) {
    const std::string& page = Page(shape, static_cast<std::size_t>(kSizesInMB[0] * kMB));
    const auto expected =
        corvane::testing::ReferenceExtract("page.html", corvane::testing::ReferenceLines(page));
    std::string actual;
    try {
      actual =
          "page.html" + std::string(corvane::kHeadingBreak) + std::string(Extract(extractor, page));
    } catch (const std::exception& error) {
      std::fprintf(stderr, "%s page: %s\n", std::string(NameOf(shape)).c_str(), error.what());
      return false;
    }
    if (!expected || actual != *expected) {
      std::fprintf(stderr, "%s page: the extraction differs from the literal version\n",
                   std::string(NameOf(shape)).c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!PagesAreSound()) return 1;

  for (PageShape shape : kShapes) {
    const std::string shape_name(NameOf(shape));
    for (double mb : kSizesInMB) {
      const std::size_t size = static_cast<std::size_t>(mb * kMB);
      const std::string suffix = shape_name + "/" + SizeName(mb);
      benchmark::RegisterBenchmark(("extract/" + suffix).c_str(), BM_Extract, shape, size)
          ->Unit(benchmark::kMillisecond)
          ->ComputeStatistics("min", Min);
      benchmark::RegisterBenchmark(("memcpy/" + suffix).c_str(), BM_Memcpy, shape, size)
          ->Unit(benchmark::kMillisecond)
          ->ComputeStatistics("min", Min);
      if (mb <= kLargestReferenceMB) {
        benchmark::RegisterBenchmark(("reference/" + suffix).c_str(), BM_Reference, shape, size)
            ->Unit(benchmark::kMillisecond)
            ->ComputeStatistics("min", Min);
      }
    }
  }
  for (const bool rightwards : {true, false}) {
    for (const int count : {20'000, 80'000}) {
      const std::string name = std::string("merging/") + (rightwards ? "right/" : "left/") +
                               std::to_string(count / 1000) + "k";
      benchmark::RegisterBenchmark(name.c_str(), BM_Merging, rightwards, count)
          ->Unit(benchmark::kMillisecond)
          ->ComputeStatistics("min", Min);
    }
  }
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
