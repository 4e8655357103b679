// Fails every platform call of a conversion in turn, and after each run
// checks the program's promise: every page is either still there byte for
// byte, or gone with its complete text file beside it, on disk; and the run
// reported the failure instead of finishing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
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
  // Other files in the folder before the run, and further names of them.
  std::vector<std::pair<std::string, std::string>> others = {};
  std::vector<std::pair<std::string, std::string>> links = {};  // existing name, new name
  bool case_folding = false;
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
    {"older text files, two of them one file, and a leftover temporary file",
     {{"a.html", Page("First")}, {"b.html", LargePage()}, {"c.html", Page("Third")}},
     {{"a.txt", "an older text of a and b"},
      {"c.txt", "an older text of c"},
      {".c.txt.corvane2txt-part", "left by a power cut"}},
     {{"a.txt", "b.txt"}}},
    {"a text file that is another name of a later page",
     {{"a.html", Page("First")}, {"b.html", LargePage()}},
     {},
     {{"b.html", "a.txt"}}},
    {"names that differ in letter case, folded to one file",
     {{"A.HTML", LargePage()}, {"a.html", Page("Second")}, {"b.html", Page("Never reached")}},
     {},
     {},
     true},
    {"accented names that differ in letter case, folded to one file",
     {{"x.html", LargePage()},
      {"\xC3\x89t\xC3\xA9.html", Page("First")},
      {"\xC3\xA9t\xC3\xA9.html", Page("Second")}},
     {},
     {},
     true},
};

void PrintTo(const SweepCase& c, std::ostream* out) { *out << c.what; }

MemRuntime Prepared(const SweepCase& folder) {
  MemRuntime runtime;
  for (const auto& [name, bytes] : folder.pages) runtime.Add(name, bytes);
  for (const auto& [name, bytes] : folder.others) runtime.Add(name, bytes);
  for (const auto& [existing, name] : folder.links) runtime.Link(existing, name);
  runtime.case_folding = folder.case_folding;
  runtime.Add("notes.txt", "not a page");
  runtime.Add(".hidden.html", Page("hidden"), MemRuntime::Kind::kHidden);
  return runtime;
}

bool IsTemporaryName(const std::string& name) { return name.ends_with(".corvane2txt-part"); }

// The file that an error about `file` names: a temporary file is named by
// the text file it becomes.
std::string NamedInErrors(const std::string& file) {
  if (!IsTemporaryName(file)) return file;
  return file.substr(1, file.size() - 1 - std::strlen(".corvane2txt-part"));
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
// cut right now would leave it: every page is there, unchanged, or gone
// with its complete text file; every other file that was there holds what
// it held or, if it is a page's text file, that page's complete text.
void ExpectNothingLost(const MemRuntime& runtime, const MemRuntime& before, const SweepCase& folder,
                       const std::map<std::string, std::string>& texts) {
  std::map<std::string, MemRuntime::Disk> views = {
      {"now", {}},
      {"after a power cut, renames not arrived", runtime.PowerCut(false)},
      {"after a power cut, renames arrived", runtime.PowerCut(true)}};
  for (const auto& [name, inode] : runtime.names)
    views["now"][name] = runtime.files.at(inode).bytes;

  for (const auto& [view, disk] : views) {
    SCOPED_TRACE(view);
    auto get = [&](const std::string& name) -> std::optional<std::optional<std::string>> {
      auto it = disk.find(name);
      if (it == disk.end()) return std::nullopt;
      return it->second;
    };
    for (const auto& [page, bytes] : folder.pages) {
      const std::string text_file = TextFileNameFor(page);
      auto text = texts.find(text_file);
      if (auto now = get(page)) {
        EXPECT_EQ(*now, bytes) << page << " changed";
      } else if (text == texts.end()) {
        ADD_FAILURE() << page << " is gone although it cannot be converted";
      } else {
        EXPECT_EQ(get(text_file), std::optional(std::optional(text->second)))
            << page << " is gone, its text is not there whole";
      }
    }
    for (const auto& [name, inode] : before.names) {
      if (IsTemporaryName(name) || IsPageName(name)) continue;
      const std::optional<std::optional<std::string>> now = get(name);
      auto text = texts.find(name);
      const bool as_before = now && *now == before.files.at(inode).bytes;
      const bool new_text = now && text != texts.end() && *now == text->second;
      EXPECT_TRUE(as_before || new_text) << name << " is neither as it was nor its page's text";
    }
    for (const auto& [name, contents] : disk) {
      if (IsTemporaryName(name) || before.names.contains(name)) continue;
      auto text = texts.find(name);
      EXPECT_TRUE(text != texts.end() && contents == text->second)
          << name << " is new and not a complete text";
    }
  }
}

class FaultSweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(FaultSweep, NoPageIsLostWhereverACallFails) {
  const SweepCase& folder = GetParam();

  // A run without faults: the calls to fail, and the texts of the pages it
  // converts.
  const MemRuntime before = Prepared(folder);
  MemRuntime clean = Prepared(folder);
  const std::optional<RuntimeError> clean_error = RunConversion(clean);
  // The text of each page that can be converted, as a folder holding it
  // alone gives it: what its text file must hold, whatever other names the
  // folder has.
  std::map<std::string, std::string> texts;
  for (const auto& [page, bytes] : folder.pages) {
    MemRuntime alone;
    alone.Add(page, bytes);
    if (!RunConversion(alone))
      texts[TextFileNameFor(page)] = *alone.Contents(TextFileNameFor(page));
  }
  ExpectNothingLost(clean, before, folder, texts);
  const std::vector<std::pair<Call, std::string>> calls = clean.calls;
  std::size_t runs = 0;
  auto count = [&](Call kind) {
    return std::count_if(calls.begin(), calls.end(),
                         [&](const auto& c) { return c.first == kind; });
  };
  // Some page is read in many pieces.
  std::map<std::string, int> reads;
  for (const auto& [call, file] : calls) reads[file] += call == Call::kRead;
  ASSERT_GT(std::max_element(reads.begin(), reads.end(),
                             [](auto& a, auto& b) { return a.second < b.second; })
                ->second,
            5);
  // Every file opened is closed by a call that can report a failure.
  EXPECT_EQ(count(Call::kOpenForReading) + count(Call::kOpenForWriting), count(Call::kClose));

  // A run that ends well leaves no temporary file, not even a leftover.
  for (const auto& [name, inode] : clean.names) {
    EXPECT_FALSE(!clean_error && IsTemporaryName(name)) << name;
  }

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
      ++runs;

      // The run stopped at the failing call, removing at most its temporary
      // file, and reported the error with the number, the file, the
      // operation and the system's reason.
      ASSERT_GE(runtime.calls.size(), nth);
      EXPECT_EQ(runtime.calls[nth - 1], calls[nth - 1]);
      for (std::size_t after = nth; after < runtime.calls.size(); ++after) {
        EXPECT_EQ(runtime.calls[after].first, Call::kDeleteFile);
        EXPECT_TRUE(IsTemporaryName(runtime.calls[after].second)) << runtime.calls[after].second;
      }
      ASSERT_TRUE(error.has_value());
      EXPECT_EQ(error->number(), ErrorNumberForErrno(fault.error));
      EXPECT_EQ(error->file(), NamedInErrors(file));
      EXPECT_FALSE(error->operation().empty());
      EXPECT_EQ(error->reason(), std::strerror(fault.error));
      EXPECT_TRUE(runtime.messages.empty()) << "a failed run said " << runtime.messages[0];
      EXPECT_FALSE(runtime.end_status.has_value());

      ExpectNothingLost(runtime, before, folder, texts);
      // The page the run stopped at, named itself or by its text file, is kept.
      for (const auto& [page, bytes] : folder.pages) {
        if (NamedInErrors(file) == page || NamedInErrors(file) == TextFileNameFor(page)) {
          EXPECT_EQ(runtime.Contents(page), bytes) << "the run stopped at " << page;
        }
      }
      // A page that was not read to its end gives no text file.
      if (call == Call::kOpenForReading || call == Call::kRead ||
          (call == Call::kClose && IsPageName(file))) {
        EXPECT_EQ(runtime.Contents(TextFileNameFor(file)), before.Contents(TextFileNameFor(file)))
            << "text of a page not fully read";
      }
      // A run stopped by one failure removes its temporary file; one whose
      // every call fails from then on may leave it, as a power cut would.
      if (!fault.from_then_on) {
        for (const auto& [name, inode] : runtime.names) {
          if (IsTemporaryName(name)) {
            EXPECT_EQ(before.Contents(name), runtime.Contents(name)) << name;
          }
        }
      }
    }
  }
  RecordProperty("runs", static_cast<int>(runs));
  std::printf("%s: %zu runs, each with the power-cut check\n", folder.what, runs);
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
