#include "convert/folder_run.h"

#include <gtest/gtest.h>

#include <map>
#include <new>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "tests/faulty_file_system.h"
#include "tests/recorded_runtime.h"
#include "tests/saved_pages.h"

namespace corvane {
namespace {

using testing::kRule;
using testing::Page;

using testing::Call;
using testing::MemRuntime;

// Runs the conversion; returns the error it stopped with, or "" when it
// finished.
std::string RunConversion(FileSystem& files, testing::RecordingUser& user) {
  try {
    ConvertFolder(files, user);
    return "";
  } catch (const RuntimeError& error) {
    return error.what();
  }
}

TEST(PageNames, MatchHtmlInAnyCase) {
  for (const char* name : {"a.html", "A.HTML", "x.HtMl", ".html"})
    EXPECT_TRUE(IsPageName(name)) << name;
  for (const char* name : {"a.htm", "a.html.bak", "html", "a.xhtml ", "a.txt"}) {
    EXPECT_FALSE(IsPageName(name)) << name;
  }
  EXPECT_EQ(TextFileNameFor("story.html"), "story.txt");
  EXPECT_EQ(TextFileNameFor("A.HTML"), "A.txt");
  EXPECT_EQ(TextFileNameFor("two.dots.Html"), "two.dots.txt");
}

// A temporary file's name fits in a folder (255 bytes), whatever the page's
// name, and tells apart text files whose names differ only at their end.
TEST(PageNames, TemporaryNamesFitAndStayApart) {
  EXPECT_EQ(TemporaryNameFor("story.txt"), ".story.txt.corvane2txt-part");
  const std::string fits(237, 'a');  // 1 + 237 + 17 = 255
  EXPECT_EQ(TemporaryNameFor(fits), "." + fits + ".corvane2txt-part");
  const std::string accents = "\xC3\xA9";
  for (const std::string& long_name :
       {std::string(238, 'a'), std::string(251, 'b'),
        std::string(219, 'c') + accents + std::string(30, 'x') + ".txt"}) {
    const std::string temporary = TemporaryNameFor(long_name);
    EXPECT_LE(temporary.size(), 255U) << long_name;
    EXPECT_TRUE(temporary.ends_with(".corvane2txt-part"));
    EXPECT_EQ(TemporaryNameFor(long_name), temporary);
    EXPECT_NE(TemporaryNameFor(long_name + "x"), temporary);
    // No UTF-8 sequence is cut in two.
    EXPECT_EQ(temporary.find("\xC3~"), std::string::npos) << temporary;
  }
}

// A run that finishes: every page becomes its text file and is gone, an
// older text file is replaced, every other file stays, and "Finished" is
// said once, at the end.
TEST(ConvertFolder, FinishesWithEveryPageTurnedIntoItsText) {
  using Files = std::map<std::string, std::string>;
  const struct {
    const char* what;
    Files before;
    Files after;
  } kRows[] = {
      {"no page", {{"notes.txt", "keep"}}, {{"notes.txt", "keep"}}},
      {"two pages, one with an older text file",
       {{"story.html", Page("Hello <b>world</b>. Continue reading")},
        {"other.html", Page("Other")},
        {"story.txt", "an old text file that is replaced"},
        {"notes.txt", "keep"}},
       {{"story.txt", "story.html\r\n\r\n Hello world.  \r\n"},
        {"other.txt", "other.html\r\n\r\n Other \r\n"},
        {"notes.txt", "keep"}}},
  };
  for (const auto& row : kRows) {
    MemRuntime runtime;
    for (const auto& [name, bytes] : row.before) runtime.Add(name, bytes);
    EXPECT_EQ(RunConversion(runtime, runtime.user), "") << row.what;
    EXPECT_EQ(runtime.Now(), row.after) << row.what;
    EXPECT_EQ(runtime.user.messages, std::vector<std::string>{"Finished"}) << row.what;
    EXPECT_EQ(runtime.user.end_status, 0) << row.what;
  }
}

TEST(ConvertFolder, LeavesEverythingButPagesAlone) {
  MemRuntime runtime;
  runtime.Add("story.htm", Page("a"));
  runtime.Add("story.html.bak", Page("a"));
  runtime.Add("x.html", "", testing::MemFileSystem::Kind::kFolder);
  runtime.Add("link.html", "", testing::MemFileSystem::Kind::kSymlink);
  runtime.Add("pipe.html", "", testing::MemFileSystem::Kind::kFifo);
  runtime.Add(".hidden.html", Page("a"), testing::MemFileSystem::Kind::kHidden);
  const auto before = runtime.names.size();
  EXPECT_EQ(RunConversion(runtime, runtime.user), "");
  EXPECT_EQ(runtime.names.size(), before);
}

TEST(ConvertFolder, ReadsInAnySizeOfChunk) {
  for (std::size_t read_size : {1, 2, 3, 7, 1000}) {
    MemRuntime runtime;
    runtime.read_size = read_size;
    runtime.Add("p.html", "a\r\n" + kRule + "\r\nl1\rl2\nl3\r\n\r\n" + kRule + "\r\nz");
    EXPECT_EQ(RunConversion(runtime, runtime.user), "");
    EXPECT_EQ(runtime.Contents("p.txt"), "p.html\r\n\r\n l1 l2\nl3  \r\n") << read_size;
  }
}

TEST(ConvertFolder, StopsAtAPageWithoutClosingRule) {
  MemRuntime runtime;
  runtime.Add("a.html", Page("A"));
  runtime.Add("b.html", "x\r\n" + kRule + "\r\nno end");
  runtime.Add("c.html", Page("C"));
  EXPECT_EQ(RunConversion(runtime, runtime.user),
            "run-time error 5: Invalid procedure call or argument: page has no closing rule: "
            "b.html");
  EXPECT_TRUE(runtime.Contents("a.txt"));
  EXPECT_FALSE(runtime.Contents("a.html"));
  EXPECT_TRUE(runtime.Contents("b.html"));
  EXPECT_TRUE(runtime.Contents("c.html"));
  EXPECT_FALSE(runtime.Contents("b.txt"));
  EXPECT_FALSE(runtime.Contents("c.txt"));
  EXPECT_TRUE(runtime.user.messages.empty());
  EXPECT_FALSE(runtime.user.end_status);
}

TEST(ConvertFolder, DeletesAPageOnlyOnceItsTextIsOnDisk) {
  MemRuntime memory;
  memory.Add("p.html", Page("x"));
  testing::FaultyFileSystem faulty(memory, [&] { return memory.Now(); });
  bool checked = false;
  faulty.before_call = [&](Call call, const std::string&) {
    if (call != Call::kDeleteFile) return;
    EXPECT_TRUE(faulty.SafeOnDisk("p.txt"));
    checked = true;
  };
  EXPECT_EQ(RunConversion(faulty, memory.user), "");
  EXPECT_TRUE(checked);
  EXPECT_EQ(memory.user.messages, std::vector<std::string>{"Finished"});
}

// Whether the page grows, is rewritten in place or is replaced by another
// file between its reading and its deletion, it is kept.
TEST(ConvertFolder, KeepsAPageThatChangedAfterItWasRead) {
  const std::pair<Call, void (*)(MemRuntime&)> kChanges[] = {
      {Call::kRead, [](MemRuntime& r) { r.File("p.html").bytes += "more"; }},
      {Call::kClose, [](MemRuntime& r) { r.Changed("p.html"); }},
      {Call::kSyncDirectory, [](MemRuntime& r) { r.Add("p.html", Page("x")); }},
  };
  for (const auto& [when, change] : kChanges) {
    MemRuntime runtime;
    runtime.Add("p.html", Page("x"));
    bool changed = false;
    runtime.before_call = [&](Call call, const std::string&) {
      if (call == when && !changed) {
        change(runtime);
        changed = true;
      }
    };
    EXPECT_EQ(RunConversion(runtime, runtime.user),
              "run-time error 75: Path/File access error: cannot delete page: p.html (it "
              "changed after it was read, so it was kept)")
        << NameOf(when);
    EXPECT_TRUE(runtime.Contents("p.html"));
    EXPECT_TRUE(runtime.user.messages.empty());
  }
}

TEST(ConvertFolder, APageTooLargeForMemoryIsNamed) {
  MemRuntime runtime;
  runtime.Add("huge.html", Page("x"));
  runtime.before_call = [](Call call, const std::string&) {
    if (call == Call::kRead) throw std::bad_alloc();
  };
  EXPECT_EQ(RunConversion(runtime, runtime.user),
            "run-time error 7: Out of memory: cannot hold the page in memory: huge.html");
  EXPECT_TRUE(runtime.Contents("huge.html"));
}

// A step that meets its file held by another program waits for it, 10 ms
// more each time up to 100 ms between tries; held for good, it gives up
// once the waits pass 5 s, with the step's error saying why. The pages
// before it are converted, it and those after it kept. An error that
// waiting cannot mend stops the run at once.
TEST(ConvertFolder, AHoldThatLastsStopsTheRunAfterTheWait) {
  const struct {
    Call step;
    const char* file;
    bool held;
    std::string error;
  } kRows[] = {
      {Call::kOpenForReading, "b.html", true,
       "run-time error 70: Permission denied: cannot open file for reading: b.html (another "
       "program has the file open)"},
      {Call::kRename, "b.txt", true,
       "run-time error 70: Permission denied: cannot replace file: b.txt (another program has "
       "the file open)"},
      {Call::kDeleteFile, "b.html", true,
       "run-time error 70: Permission denied: cannot delete file: b.html (another program has "
       "the file open)"},
      {Call::kDeleteFile, "b.html", false,
       "run-time error 70: Permission denied: cannot delete file: b.html"},
  };
  for (const auto& row : kRows) {
    MemRuntime runtime;
    for (const char* page : {"a.html", "b.html", "c.html"}) runtime.Add(page, Page(page));
    runtime.before_call = [&](Call call, const std::string& file) {
      if (call != row.step || file != row.file) return;
      if (row.held)
        throw RuntimeError::Held(ErrorNumber::kPermissionDenied, OperationOf(call), file);
      throw RuntimeError(ErrorNumber::kPermissionDenied, OperationOf(call), file);
    };
    std::vector<long> waits;
    std::string error;
    try {
      ConvertFolder(runtime, runtime.user, {},
                    {.wait = [&](auto wait) { waits.push_back(wait.count()); }});
    } catch (const RuntimeError& e) {
      error = e.what();
    }
    EXPECT_EQ(error, row.error);
    if (row.held) {
      ASSERT_GE(waits.size(), 11U);
      EXPECT_EQ(std::vector(waits.begin(), waits.begin() + 3), (std::vector<long>{10, 20, 30}));
      EXPECT_EQ(waits.back(), 100);
      const long waited = std::accumulate(waits.begin(), waits.end(), 0L);
      EXPECT_TRUE(waited >= 5000 && waited < 5100) << waited << " ms";
    } else {
      EXPECT_TRUE(waits.empty()) << waits.size() << " waits";
    }
    EXPECT_FALSE(runtime.Contents("a.html"));
    EXPECT_TRUE(runtime.Contents("a.txt"));
    EXPECT_EQ(runtime.Contents("b.html"), Page("b.html"));
    EXPECT_EQ(runtime.Contents("c.html"), Page("c.html"));
  }
}

// A group ends at 64 pages or once it holds 32 MiB of text, whichever comes
// first (GroupLimits): its files stay open well below a system's limit on
// open files, and its texts, waiting for their flush, fit in a modest
// machine's memory. Each row passes one limit by one page; each group's
// texts are flushed one by one here, and the folder once after them.
TEST(ConvertFolder, AGroupEndsAtItsLimits) {
  const struct {
    const char* what;
    int pages;
    std::size_t article_bytes;
    std::vector<std::size_t> groups;  // pages in each group
  } kRows[] = {
      {"one page more than a group holds", 65, 10, {64, 1}},
      {"two texts of 17 MB, which pass 32 MiB together", 3, 17'000'000, {2, 1}},
  };
  for (const auto& row : kRows) {
    MemRuntime runtime;
    for (int i = 0; i < row.pages; ++i) {
      // Built in steps: gcc 12 warns of a memcpy overlap in `"p" +
      // std::to_string(...)` that cannot happen (-Wrestrict).
      std::string name = "p";
      name += std::to_string(100 + i) + ".html";
      runtime.Add(name, Page(std::string(row.article_bytes, 'x')));
    }
    EXPECT_EQ(RunConversion(runtime, runtime.user), "") << row.what;
    std::vector<std::size_t> groups;
    std::size_t flushed = 0;
    for (const auto& [call, file] : runtime.calls) {
      if (call == Call::kSync) ++flushed;
      if (call == Call::kSyncDirectory) groups.push_back(std::exchange(flushed, 0));
    }
    EXPECT_EQ(groups, row.groups) << row.what;
    EXPECT_EQ(runtime.names.size(), static_cast<std::size_t>(row.pages)) << row.what;
  }
}

// Two pages whose text files are one file, by name or because the folder
// folds letter case (as Windows does, and a Windows client of a share that
// tells the names apart): the second stops the run before anything is
// replaced.
TEST(ConvertFolder, TwoPagesNeverShareATextFile) {
  const struct {
    bool case_folding;
    std::string first, second, text_file;
  } kPairs[] = {
      {false, "story.HTML", "story.html", "story.txt"},
      {true, "A.HTML", "a.html", "a.txt"},
      {true, "Report.html", "report.html", "report.txt"},
      {true, "\xC3\x89t\xC3\xA9.html", "\xC3\xA9t\xC3\xA9.html", "\xC3\xA9t\xC3\xA9.txt"},
  };
  for (const auto& pair : kPairs) {
    MemRuntime runtime;
    runtime.case_folding = pair.case_folding;
    runtime.Add(pair.first, Page("first"));
    runtime.Add(pair.second, Page("second"));
    EXPECT_EQ(RunConversion(runtime, runtime.user),
              "run-time error 75: Path/File access error: cannot convert page: " + pair.second +
                  " (its text file " + pair.text_file + " already holds the text of " + pair.first +
                  ")");
    EXPECT_EQ(runtime.Contents(TextFileNameFor(pair.first)), pair.first + "\r\n\r\n first \r\n");
    EXPECT_EQ(runtime.Contents(pair.second), Page("second"));
    EXPECT_EQ(runtime.names.size(), 2U) << pair.second;
    EXPECT_TRUE(runtime.user.messages.empty());
  }
}

}  // namespace
}  // namespace corvane
