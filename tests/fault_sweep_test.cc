// Fails every platform call of a conversion in turn, and after each run
// checks the program's promise: every page is either still there byte for
// byte, or gone with its complete text file beside it, on disk; and the run
// reported the failure instead of finishing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "convert/folder_run.h"
#include "platform/errno_error.h"
#include "tests/case_name.h"
#include "tests/mem_runtime.h"

namespace corvane {
namespace {

using testing::Call;
using testing::Fault;
using testing::MemRuntime;

const std::string kRule(18, '-');

std::string Page(const std::string& article) {
  return "<html><title>Corvane</title>\r\n" + kRule + "\r\n" + article + "\r\n" + kRule +
         "\r\n<footer>Corvane News</footer>\r\n";
}

// Several times the size of one read, with every kind of line end, tags and
// links to remove, and bytes of every value.
std::string LargePage() {
  std::string article;
  for (int i = 0; article.size() < 700'000; ++i) {
    article += "<p>Paragraph " + std::to_string(i) + " \xC3\xA9t\xC3\xA9";
    article += std::string(1, '\0') + static_cast<char>(i % 256);
    article += " <a href=\"/x\">Continue reading</a></p>";
    article += (i % 3 == 0) ? "\r\n" : (i % 3 == 1) ? "\n" : "\r";
  }
  return Page(article);
}

struct SweepCase {
  const char* what;
  std::vector<std::pair<std::string, std::string>> pages;  // name, bytes
};

const SweepCase kFolders[] = {
    {"every page good",
     {{"a.html", Page("First <b>story</b>.")}, {"b.html", LargePage()}, {"c.HTML", Page("Third")}}},
    {"an empty page last", {{"a.html", Page("First")}, {"b.html", LargePage()}, {"c.html", ""}}},
    {"a page without its closing rule in the middle",
     {{"a.html", Page("First")},
      {"b.html", LargePage()},
      {"c.html", "<html>\r\n" + kRule + "\r\nno closing rule\r\n"},
      {"d.html", Page("Never reached")}}},
};

void PrintTo(const SweepCase& c, std::ostream* out) { *out << c.what; }

MemRuntime Prepared(const SweepCase& folder) {
  MemRuntime runtime;
  for (const auto& [name, bytes] : folder.pages) runtime.Add(name, bytes);
  runtime.Add("notes.txt", "not a page");
  runtime.Add(".hidden.html", Page("hidden"), MemRuntime::Kind::kHidden);
  return runtime;
}

// Runs the conversion as the programs do; returns the error it stopped with.
std::optional<RuntimeError> RunConversion(MemRuntime& runtime) {
  try {
    ConvertFolder(runtime);
    return std::nullopt;
  } catch (const RuntimeError& error) {
    return error;
  }
}

// The promise, checked on the folder as it is and on the folder as a power
// cut right now would leave it.
void ExpectNothingLost(const MemRuntime& runtime, const SweepCase& folder,
                       const std::map<std::string, std::string>& texts) {
  for (const auto& [page, bytes] : folder.pages) {
    const std::string text_file = TextFileNameFor(page);
    auto text = texts.find(text_file);
    if (std::optional<std::string> now = runtime.Contents(page)) {
      EXPECT_EQ(*now, bytes) << page << " changed";
    } else if (text == texts.end()) {
      ADD_FAILURE() << page << " is gone although it cannot be converted";
    } else {
      EXPECT_EQ(runtime.Contents(text_file), text->second) << page << " is gone, its text is not";
    }
    if (auto disk = runtime.on_disk.find(page); disk != runtime.on_disk.end()) {
      EXPECT_EQ(disk->second, bytes) << page << " changed on disk";
    } else if (text != texts.end()) {
      auto disk_text = runtime.on_disk.find(text_file);
      ASSERT_NE(disk_text, runtime.on_disk.end())
          << page << " is gone from disk, its text file not there";
      EXPECT_EQ(disk_text->second, text->second)
          << page << " is gone from disk, its text is not complete there";
    }
  }
  EXPECT_EQ(runtime.Contents("notes.txt"), "not a page");
  EXPECT_EQ(runtime.Contents(".hidden.html"), Page("hidden"));
}

class FaultSweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(FaultSweep, NoPageIsLostWhereverACallFails) {
  const SweepCase& folder = GetParam();

  // A run without faults: the calls to fail, and the texts of the pages it
  // converts.
  MemRuntime clean = Prepared(folder);
  const std::optional<RuntimeError> clean_error = RunConversion(clean);
  std::map<std::string, std::string> texts;
  for (const auto& [page, bytes] : folder.pages) {
    if (!clean.Contents(page))
      texts[TextFileNameFor(page)] = *clean.Contents(TextFileNameFor(page));
  }
  ExpectNothingLost(clean, folder, texts);
  const std::vector<std::pair<Call, std::string>> calls = clean.calls;
  auto count = [&](Call kind) {
    return std::count_if(calls.begin(), calls.end(),
                         [&](const auto& c) { return c.first == kind; });
  };
  ASSERT_GT(std::count(calls.begin(), calls.end(), std::pair{Call::kRead, std::string("b.html")}),
            5);
  // Every file opened is closed by a call that can report a failure.
  EXPECT_EQ(count(Call::kOpenForReading) + count(Call::kOpenForWriting), count(Call::kClose));

  for (std::size_t nth = 1; nth <= calls.size(); ++nth) {
    for (const Fault& fault :
         {Fault{.call = {}, .nth = nth, .from_then_on = false, .error = EIO},
          Fault{.call = {}, .nth = nth, .from_then_on = true, .error = ENOSPC}}) {
      const auto& [call, file] = calls[nth - 1];
      SCOPED_TRACE("call " + std::to_string(nth) + ": " + std::string(testing::NameOf(call)) + " " +
                   file + (fault.from_then_on ? ", from then on" : ", once"));
      MemRuntime runtime = Prepared(folder);
      runtime.fault = fault;
      const std::optional<RuntimeError> error = RunConversion(runtime);

      // The run stopped at the failing call and reported its error, with
      // the number, the file, the operation and the system's reason.
      EXPECT_EQ(runtime.faults_raised, 1U);
      EXPECT_EQ(runtime.calls.size(), nth);
      ASSERT_TRUE(error.has_value());
      EXPECT_EQ(error->number(), ErrorNumberForErrno(fault.error));
      EXPECT_EQ(error->file(), file);
      EXPECT_FALSE(error->operation().empty());
      EXPECT_EQ(error->reason(), std::strerror(fault.error));
      EXPECT_TRUE(runtime.messages.empty()) << "a failed run said " << runtime.messages[0];
      EXPECT_FALSE(runtime.end_status.has_value());

      ExpectNothingLost(runtime, folder, texts);
      // The page the run stopped at, named itself or by its text file, is kept.
      for (const auto& [page, bytes] : folder.pages) {
        if (file == page || file == TextFileNameFor(page)) {
          EXPECT_EQ(runtime.Contents(page), bytes) << "the run stopped at " << page;
        }
      }
      // A page that was not read to its end gives no text file.
      if (call == Call::kOpenForReading || call == Call::kRead ||
          (call == Call::kClose && IsPageName(file))) {
        EXPECT_FALSE(runtime.Contents(TextFileNameFor(file))) << "text of a page not fully read";
      }
    }
  }
  // And once more for the run without a fault.
  if (clean_error) {
    EXPECT_TRUE(clean.messages.empty());
    EXPECT_FALSE(clean.end_status.has_value());
  } else {
    EXPECT_EQ(clean.messages, std::vector<std::string>{"Finished"});
    EXPECT_EQ(clean.end_status, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Folders, FaultSweep, ::testing::ValuesIn(kFolders),
                         testing::NameFromWhat<SweepCase>);

}  // namespace
}  // namespace corvane
