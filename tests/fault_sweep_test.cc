// Fails every platform call of a conversion in turn, and after each run
// checks the program's promise: every page is either still there byte for
// byte, or gone with its complete text file beside it, on disk; and the run
// reported the failure instead of finishing. The faults come from the fault
// wrapper, over the in-memory file system and over the system's own in a
// scratch folder on disk.
//
// In this file: the pages and folders swept (kFolders); where a folder
// lies, in memory or on disk (Folder); the promise checked after every run
// (ExpectNothingLost); the sizes of groups and the pages' order
// (kGroupSizes, PageIndexOf); the sweep itself (FaultSweep).
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "convert/folder_run.h"
#include "platform/errno_error.h"
#include "platform/native_runtime.h"
#include "tests/case_name.h"
#include "tests/disk_record.h"
#include "tests/faulty_file_system.h"
#include "tests/recorded_runtime.h"
#include "tests/saved_pages.h"
#include "tests/temp_folder.h"

#ifdef _WIN32
#include "platform/windows/windows_api.h"
#endif

namespace corvane {
namespace {

using testing::kRule;
using testing::Page;

namespace fs = std::filesystem;
using testing::Call;
using testing::Disk;
using testing::Fault;
using testing::FaultyFileSystem;
using testing::MemFileSystem;
using testing::RecordingUser;

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

// Where a run's folder lies: its file system, its files as they are, and
// what a power cut would leave of them.
class Folder {
 public:
  virtual ~Folder() = default;
  virtual FileSystem& file_system() = 0;
  virtual std::map<std::string, std::string> Now() = 0;
  // The folder after a power cut now, the run having gone through
  // `faulty` (see FaultyFileSystem::PowerCut).
  virtual Disk PowerCut(FaultyFileSystem& faulty, bool changes_arrived) = 0;
  // A fault wrapper over the file system.
  std::unique_ptr<FaultyFileSystem> Faulty() {
    return std::make_unique<FaultyFileSystem>(file_system(), [this] { return Now(); });
  }
};

class MemFolder final : public Folder {
 public:
  explicit MemFolder(const SweepCase& c) {
    for (const auto& [name, bytes] : c.pages) memory_.Add(name, bytes);
    for (const auto& [name, bytes] : c.others) memory_.Add(name, bytes);
    for (const auto& [existing, name] : c.links) memory_.Link(existing, name);
    memory_.case_folding = c.case_folding;
    memory_.Add("notes.txt", "not a page");
    memory_.Add(".hidden.html", Page("hidden"), MemFileSystem::Kind::kHidden);
  }
  FileSystem& file_system() override { return memory_; }
  std::map<std::string, std::string> Now() override { return memory_.Now(); }
  // Memory has no disk: the wrapper's account, by what the file system
  // answered.
  Disk PowerCut(FaultyFileSystem& faulty, bool changes_arrived) override {
    return faulty.PowerCut(changes_arrived);
  }

 private:
  MemFileSystem memory_;
};

// A scratch folder on disk, made the current folder while it lives.
class DiskFolder final : public Folder {
 public:
  explicit DiskFolder(const SweepCase& c) {
    for (const auto& [name, bytes] : c.pages) testing::WriteFile(name, bytes);
    for (const auto& [name, bytes] : c.others) testing::WriteFile(name, bytes);
    for (const auto& [existing, name] : c.links) fs::create_hard_link(existing, name);
    testing::WriteFile("notes.txt", "not a page");
    testing::WriteFile(".hidden.html", Page("hidden"));
#ifdef _WIN32
    ::SetFileAttributesW(L".hidden.html", FILE_ATTRIBUTE_HIDDEN);
#endif
    record_.emplace();
  }
  FileSystem& file_system() override { return native_; }
  // What the system calls themselves made durable, whatever the file system
  // answered.
  Disk PowerCut(FaultyFileSystem&, bool changes_arrived) override {
    return record_->PowerCut(changes_arrived);
  }
  std::map<std::string, std::string> Now() override {
    std::map<std::string, std::string> now;
    for (const auto& entry : fs::directory_iterator(".")) {
      if (!entry.is_regular_file() || entry.is_symlink()) continue;
      try {
        now[entry.path().filename().string()] = testing::ReadFile(entry.path());
      } catch (const std::runtime_error&) {
        // The file being written, which the Windows file system holds open
        // without sharing: the wrapper knows its bytes.
      }
    }
    return now;
  }

 private:
  testing::TempFolder temp_;
  NativeFileSystem native_;
  std::optional<testing::DiskRecord> record_;  // from once the folder is made
};

bool IsTemporaryName(const std::string& name) { return name.ends_with(".corvane2txt-part"); }

// The file that an error about `file` names: a temporary file is named by
// the text file it becomes.
std::string NamedInErrors(const std::string& file) {
  if (!IsTemporaryName(file)) return file;
  return file.substr(1, file.size() - 1 - std::strlen(".corvane2txt-part"));
}

// Runs the conversion as the programs do; returns the error it stopped with.
std::optional<RuntimeError> RunConversion(FileSystem& files, RecordingUser& user,
                                          const GroupLimits& limits = {},
                                          const Patience& patience = {}) {
  try {
    ConvertFolder(files, user, limits, patience);
    return std::nullopt;
  } catch (const RuntimeError& error) {
    return error;
  }
}

using Files = std::map<std::string, std::string>;

// The promise, checked on the folder as it is and on the folder as a power
// cut right now would leave it: every page is there, unchanged, or gone
// with its complete text file; every other file that was there holds what
// it held or, if it is a page's text file, that page's complete text.
void ExpectNothingLost(Folder& files, FaultyFileSystem& faulty, const Files& before,
                       const SweepCase& folder, const Files& texts) {
  std::map<std::string, Disk> views = {
      {"now", {}},
      {"after a power cut, renames not arrived", files.PowerCut(faulty, false)},
      {"after a power cut, renames arrived", files.PowerCut(faulty, true)}};
  for (const auto& [name, bytes] : faulty.Now()) views["now"][name] = bytes;

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
    for (const auto& [name, bytes] : before) {
      if (IsTemporaryName(name) || IsPageName(name)) continue;
      const std::optional<std::optional<std::string>> now = get(name);
      auto text = texts.find(name);
      const bool as_before = now && *now == bytes;
      const bool new_text = now && text != texts.end() && *now == text->second;
      EXPECT_TRUE(as_before || new_text) << name << " is neither as it was nor its page's text";
    }
    for (const auto& [name, contents] : disk) {
      if (IsTemporaryName(name) || before.contains(name)) continue;
      auto text = texts.find(name);
      EXPECT_TRUE(text != texts.end() && contents == text->second)
          << name << " is new and not a complete text";
    }
  }
}

// The folders on disk, or in memory.
enum class Where { kMemory, kDisk };

void PrintTo(Where where, std::ostream* out) {
  *out << (where == Where::kDisk ? "on disk" : "in memory");
}

// Groups of two pages, so that a folder spans groups, or one group for
// every folder here, so that a page fails in the middle of its group.
constexpr std::size_t kGroupSizes[] = {2, 64};

// The place in page order of the page that an error or a call concerns,
// itself or by its text file or temporary file; nullopt for the folder.
std::optional<std::size_t> PageIndexOf(const SweepCase& folder, const std::string& file) {
  std::vector<std::string> pages;
  for (const auto& [page, bytes] : folder.pages) pages.push_back(page);
  std::sort(pages.begin(), pages.end());
  const std::string named = NamedInErrors(file);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    if (named == pages[i] || named == TextFileNameFor(pages[i])) return i;
  }
  return std::nullopt;
}

std::unique_ptr<Folder> Prepared(Where where, const SweepCase& folder) {
  if (where == Where::kDisk) return std::make_unique<DiskFolder>(folder);
  return std::make_unique<MemFolder>(folder);
}

class FaultSweep : public ::testing::TestWithParam<std::tuple<Where, std::size_t, SweepCase>> {};

TEST_P(FaultSweep, NoPageIsLostWhereverACallFails) {
  const auto& [where, group_size, folder] = GetParam();
  const GroupLimits limits{.pages = group_size};
  if (where == Where::kDisk && folder.case_folding) {
    GTEST_SKIP() << "a folder on disk here does not fold letter case";
  }

  // The text of each page that can be converted, as a folder holding it
  // alone gives it: what its text file must hold, whatever other names the
  // folder has.
  Files texts;
  for (const auto& [page, bytes] : folder.pages) {
    MemFileSystem alone;
    RecordingUser user;
    alone.Add(page, bytes);
    if (!RunConversion(alone, user))
      texts[TextFileNameFor(page)] = *alone.Contents(TextFileNameFor(page));
  }

  // A run without faults: the calls to fail.
  std::vector<std::pair<Call, std::string>> calls;
  Files before;
  {
    const std::unique_ptr<Folder> files = Prepared(where, folder);
    before = files->Now();
    const std::unique_ptr<FaultyFileSystem> clean = files->Faulty();
    RecordingUser user;
    const std::optional<RuntimeError> clean_error = RunConversion(*clean, user, limits);
    ExpectNothingLost(*files, *clean, before, folder, texts);
    calls = clean->calls;
    if (clean_error) {
      EXPECT_TRUE(user.messages.empty());
      EXPECT_FALSE(user.end_status.has_value());
    } else {
      EXPECT_EQ(user.messages, std::vector<std::string>{"Finished"});
      EXPECT_EQ(user.end_status, 0);
      // A run that ends well leaves no temporary file, not even a leftover.
      for (const auto& [name, bytes] : clean->Now()) EXPECT_FALSE(IsTemporaryName(name)) << name;
    }
  }
  auto count = [&](Call kind) {
    return std::count_if(calls.begin(), calls.end(),
                         [&](const auto& c) { return c.first == kind; });
  };
  // Some page is read in several pieces (in memory, smaller ones).
  std::map<std::string, int> reads;
  for (const auto& [call, file] : calls) reads[file] += call == Call::kRead;
  ASSERT_GT(std::max_element(reads.begin(), reads.end(),
                             [](auto& a, auto& b) { return a.second < b.second; })
                ->second,
            where == Where::kMemory ? 5 : 2);
  // Every file opened is closed by a call that can report a failure.
  EXPECT_EQ(count(Call::kOpenForReading) + count(Call::kCreateNewFile), count(Call::kClose));

  std::size_t runs = 0;
  // Every call fails in turn, once and from then on; and every call of one
  // kind fails, from the first on, while the others succeed (every flush of
  // a group, say). Each fault with the call that fails first, counted from 1.
  std::vector<std::pair<Fault, std::size_t>> faults;
  for (std::size_t nth = 1; nth <= calls.size(); ++nth) {
    faults.emplace_back(Fault{.call = {}, .nth = nth, .from_then_on = false, .error = EIO}, nth);
    faults.emplace_back(Fault{.call = {}, .nth = nth, .from_then_on = true, .error = ENOSPC}, nth);
    if (std::none_of(calls.begin(), calls.begin() + nth - 1,
                     [&](const auto& c) { return c.first == calls[nth - 1].first; })) {
      faults.emplace_back(
          Fault{.call = calls[nth - 1].first, .nth = 1, .from_then_on = true, .error = EIO}, nth);
    }
  }
  for (const auto& [fault, nth] : faults) {
    {
      const auto& [call, file] = calls[nth - 1];
      SCOPED_TRACE("call " + std::to_string(nth) + ": " + std::string(testing::NameOf(call)) + " " +
                   file +
                   (fault.call           ? ", every one of its kind"
                    : fault.from_then_on ? ", from then on"
                                         : ", once"));
      const std::unique_ptr<Folder> files = Prepared(where, folder);
      const std::unique_ptr<FaultyFileSystem> faulty = files->Faulty();
      faulty->fault = fault;
      RecordingUser user;
      const std::optional<RuntimeError> error = RunConversion(*faulty, user, limits);
      ++runs;

      // The run reported an error with the number, the operation and the
      // system's reason: that of the failing call when it failed alone,
      // otherwise that of the earliest page that failed, which is no later
      // than the failing call's.
      ASSERT_GE(faulty->calls.size(), nth);
      EXPECT_EQ(faulty->calls[nth - 1], calls[nth - 1]);
      ASSERT_TRUE(error.has_value());
      EXPECT_EQ(error->number(), ErrorNumberForErrno(fault.error));
      if (!fault.from_then_on) {
        EXPECT_EQ(error->file(), NamedInErrors(file));
      }
      const std::optional<std::size_t> failing_page = PageIndexOf(folder, error->file());
      const std::optional<std::size_t> call_page = PageIndexOf(folder, file);
      if (failing_page && call_page) {
        EXPECT_LE(*failing_page, *call_page);
      }
      EXPECT_FALSE(error->operation().empty());
      EXPECT_EQ(error->reason(), std::strerror(fault.error));
      EXPECT_TRUE(user.messages.empty()) << "a failed run said " << user.messages[0];
      EXPECT_FALSE(user.end_status.has_value());

      // After the failing call the run only finishes what it had begun
      // before it: no page is read and no file made; a page deleted then
      // (or that it tried to delete) comes no later than the failing page.
      for (std::size_t after = nth; after < faulty->calls.size(); ++after) {
        const auto& [later, later_file] = faulty->calls[after];
        SCOPED_TRACE("then " + std::string(testing::NameOf(later)) + " " + later_file);
        EXPECT_TRUE(later == Call::kSync || later == Call::kRename || later == Call::kClose ||
                    later == Call::kSyncDirectory || later == Call::kStampOf ||
                    later == Call::kDeleteFile);
        if (later == Call::kDeleteFile && !IsTemporaryName(later_file)) {
          EXPECT_TRUE(failing_page && PageIndexOf(folder, later_file) <= failing_page);
        }
      }

      ExpectNothingLost(*files, *faulty, before, folder, texts);
      const Files now = faulty->Now();
      auto contents = [](const Files& files,
                         const std::string& name) -> std::optional<std::string> {
        auto it = files.find(name);
        if (it == files.end()) return std::nullopt;
        return it->second;
      };
      // The page the run stopped at, named itself or by its text file, and
      // every page after it are kept; every page before it is gone.
      for (const auto& [page, bytes] : folder.pages) {
        const std::optional<std::size_t> index = PageIndexOf(folder, page);
        if (!failing_page) continue;  // the folder's flush failed: see ExpectNothingLost
        if (index >= failing_page) {
          EXPECT_EQ(contents(now, page), bytes) << "the run stopped at " << page;
        } else {
          EXPECT_FALSE(contents(now, page)) << page << ", before the failing page, is kept";
        }
      }
      // A page that was not read to its end gives no text file.
      if (call == Call::kOpenForReading || call == Call::kRead ||
          (call == Call::kClose && IsPageName(file))) {
        EXPECT_EQ(contents(now, TextFileNameFor(file)), contents(before, TextFileNameFor(file)))
            << "text of a page not fully read";
      }
      // A run stopped by one failure removes its temporary file; one whose
      // every call fails from then on may leave it, as a power cut would.
      if (!fault.from_then_on) {
        for (const auto& [name, bytes] : now) {
          if (IsTemporaryName(name)) {
            EXPECT_EQ(contents(before, name), bytes) << name;
          }
        }
      }
    }
  }
  std::printf("%s, groups of %zu, %s: %zu runs, each with the power-cut check\n",
              where == Where::kDisk ? "on disk" : "in memory", group_size, folder.what, runs);
}

// Trouble that passes ends a run as a run without it does, with the same
// error or "Finished" and the same folder:
//   - where the program may hold only a few files open, a group ends when
//     no more can be opened and the run goes on in smaller groups (one file
//     open leaves room for one page to a group);
//   - a step that meets its file held by another program for a moment
//     waits until it is let go.
TEST_P(FaultSweep, TroubleThatPassesChangesNothing) {
  const auto& [where, group_size, folder] = GetParam();
  if (where == Where::kDisk && folder.case_folding) {
    GTEST_SKIP() << "a folder on disk here does not fold letter case";
  }
  struct Trouble {
    std::optional<std::size_t> open_files_limit;
    std::size_t holds_per_step = 0;
  };
  auto outcome = [&](const Trouble& trouble) {
    const std::unique_ptr<Folder> files = Prepared(where, folder);
    const std::unique_ptr<FaultyFileSystem> faulty = files->Faulty();
    faulty->open_files_limit = trouble.open_files_limit;
    faulty->holds_per_step = trouble.holds_per_step;
    RecordingUser user;
    const std::optional<RuntimeError> error = RunConversion(
        *faulty, user, GroupLimits{.pages = group_size}, Patience{.wait = [](auto) {}});
    // Each file by its size and a digest of its bytes, which a failure
    // prints in a line.
    std::map<std::string, std::pair<std::size_t, std::size_t>> folder_now;
    for (const auto& [name, bytes] : files->Now()) {
      folder_now[name] = {bytes.size(), std::hash<std::string>{}(bytes)};
    }
    return std::tuple(error ? std::string(error->what()) : "", user.messages, folder_now);
  };
  const auto untroubled = outcome({});
  for (const std::size_t limit : {1, 2, 3}) {
    EXPECT_EQ(outcome({.open_files_limit = limit}), untroubled) << limit << " files open";
  }
  for (const std::size_t holds : {1, 4}) {
    EXPECT_EQ(outcome({.open_files_limit = {}, .holds_per_step = holds}), untroubled)
        << holds << " holds a step";
  }
}

std::string SweepName(
    const ::testing::TestParamInfo<std::tuple<Where, std::size_t, SweepCase>>& info) {
  const auto& [where, group_size, folder] = info.param;
  return (where == Where::kDisk ? "OnDisk_" : "InMemory_") + std::string("GroupsOf") +
         std::to_string(group_size) + "_" + testing::CamelCaseName(folder.what);
}

INSTANTIATE_TEST_SUITE_P(Folders, FaultSweep,
                         ::testing::Combine(::testing::Values(Where::kMemory, Where::kDisk),
                                            ::testing::ValuesIn(kGroupSizes),
                                            ::testing::ValuesIn(kFolders)),
                         SweepName);

}  // namespace
}  // namespace corvane
