// The contract of platform/runtime.h, written once and run on every runtime:
// the system's own (POSIX, or Windows under wine) in a scratch folder, and
// the in-memory one that the other tests stand on. What is particular to one
// system (FIFOs and sockets, hidden and system attributes, devices, other
// users) is in that system's own suite.
//
// In this file: the flushes the system was asked for (Flush); the folders
// the suite runs in (NativeFolder, NativeFolderFlushingInTurn, MemFolder);
// then the contract: listing, reading, refusals, writing and renaming over
// an old file, stamps, creating new files, flushing a group of files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/native_runtime.h"
#include "tests/mem_runtime.h"
#include "tests/temp_folder.h"

#ifdef _WIN32
#include "platform/windows/system_calls.h"
#else
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/posix/system_calls.h"
#endif

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::MemRuntime;

// What a flush put on disk: a file's data, or a folder's entries.
enum class Flush { kFile, kFolder };

// The flushes the system was asked for, in order.
std::vector<Flush> flushes;

#ifdef _WIN32
// A named function, not a lambda: on 32-bit Windows the table's entry has
// the system's calling convention.
BOOL WINAPI RecordingFlushFileBuffers(HANDLE file) {
  flushes.push_back(Flush::kFile);
  return ::FlushFileBuffers(file);
}
#endif

#ifndef _WIN32
// How the POSIX runtime flushes a group of files: overlapping, or (where
// io_uring is refused) one by one.
void (*group_flush)(std::span<const int>, std::span<int>) = posix::FsyncTogether;
#endif

// The native runtime in a scratch folder that is the current folder.
class NativeFolder {
 public:
  NativeFolder() {
    flushes.clear();
#ifdef _WIN32
    windows::system_calls.flush_file_buffers = RecordingFlushFileBuffers;
#else
    group_flush = posix::FsyncTogether;
    posix::system_calls.fsync = [](int fd) {
      struct stat info {};
      ::fstat(fd, &info);
      flushes.push_back(S_ISDIR(info.st_mode) ? Flush::kFolder : Flush::kFile);
      return ::fsync(fd);
    };
    posix::system_calls.fsync_together = [](std::span<const int> fds, std::span<int> errors) {
      flushes.insert(flushes.end(), fds.size(), Flush::kFile);
      group_flush(fds, errors);
    };
#endif
  }
  ~NativeFolder() {
#ifdef _WIN32
    windows::system_calls = {};
#else
    posix::system_calls = {};
#endif
  }
  NativeFolder(const NativeFolder&) = delete;
  NativeFolder& operator=(const NativeFolder&) = delete;

  Runtime& runtime() { return runtime_; }
  void Make(const std::string& name, const std::string& bytes) { testing::WriteFile(name, bytes); }
  void MakeFolder(const std::string& name) { fs::create_directory(name); }
  // False where the system makes no symbolic links (wine answers success
  // without making one).
  bool MakeLink(const std::string& target, const std::string& name) {
    std::error_code error;
    fs::create_symlink(target, name, error);
    return !error && fs::is_symlink(fs::symlink_status(name));
  }
  void MakeHardLink(const std::string& existing, const std::string& name) {
    fs::create_hard_link(existing, name);
  }
  // A hidden file: its name, which on Linux is what hides it.
  std::string MakeHidden(const std::string& bytes) {
#ifdef _WIN32
    Make("hidden.html", bytes);
    ::SetFileAttributesW(L"hidden.html", FILE_ATTRIBUTE_HIDDEN);
    return "hidden.html";
#else
    Make(".hidden.html", bytes);
    return ".hidden.html";
#endif
  }
  // Sets the modification time, in nanoseconds since 1970.
  void SetTime(const std::string& name, std::int64_t ns) {
#ifdef _WIN32
    const HANDLE file = ::CreateFileW(fs::path(name).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::int64_t ticks = ns / 100 + 116'444'736'000'000'000;
    const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    EXPECT_TRUE(::SetFileTime(file, nullptr, nullptr, &time));
    ::CloseHandle(file);
#else
    const timespec times[2] = {{0, UTIME_OMIT}, {ns / 1'000'000'000, ns % 1'000'000'000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, name.c_str(), times, 0), 0);
#endif
  }
  // Puts `from` in the place of `to`, as another program would.
  void MoveOver(const std::string& from, const std::string& to) { fs::rename(from, to); }
  std::optional<std::string> Read(const std::string& name) {
    if (!fs::exists(fs::symlink_status(name))) return std::nullopt;
    return testing::ReadFile(name);
  }
  std::vector<Flush> TakeFlushes() { return std::exchange(flushes, {}); }

#ifdef _WIN32
  // The Windows runtime's rename flushes the file once more.
  static constexpr Flush kRenameMadeDurableBy = Flush::kFile;
#else
  static constexpr Flush kRenameMadeDurableBy = Flush::kFolder;
#endif

 private:
  testing::TempFolder temp_;
  NativeRuntime runtime_{"test"};
};

#ifndef _WIN32
// The same, with a group's files flushed one by one.
class NativeFolderFlushingInTurn : public NativeFolder {
 public:
  NativeFolderFlushingInTurn() { group_flush = posix::FsyncEach; }
};
#endif

class MemFolder {
 public:
  Runtime& runtime() { return memory_; }
  void Make(const std::string& name, const std::string& bytes) { memory_.Add(name, bytes); }
  void MakeFolder(const std::string& name) { memory_.Add(name, "", MemRuntime::Kind::kFolder); }
  bool MakeLink(const std::string&, const std::string& name) {
    memory_.Add(name, "", MemRuntime::Kind::kSymlink);
    return true;
  }
  void MakeHardLink(const std::string& existing, const std::string& name) {
    memory_.Link(existing, name);
  }
  std::string MakeHidden(const std::string& bytes) {
    memory_.Add(".hidden.html", bytes, MemRuntime::Kind::kHidden);
    return ".hidden.html";
  }
  void SetTime(const std::string& name, std::int64_t ns) { memory_.File(name).generation = ns; }
  void MoveOver(const std::string& from, const std::string& to) {
    memory_.names[to] = memory_.names.at(from);
    memory_.names.erase(from);
  }
  std::optional<std::string> Read(const std::string& name) { return memory_.Contents(name); }
  // Its flushes are its Sync and SyncDirectory calls.
  std::vector<Flush> TakeFlushes() {
    std::vector<Flush> taken;
    for (const auto& [call, file] : memory_.calls) {
      if (call == testing::Call::kSync) taken.push_back(Flush::kFile);
      if (call == testing::Call::kSyncDirectory) taken.push_back(Flush::kFolder);
    }
    memory_.calls.clear();
    return taken;
  }
  static constexpr Flush kRenameMadeDurableBy = Flush::kFolder;

 private:
  MemRuntime memory_;
};

template <typename Folder>
class RuntimeContract : public ::testing::Test {
 protected:
  Folder folder_;
  Runtime& runtime_ = folder_.runtime();
};

#ifdef _WIN32
using Runtimes = ::testing::Types<NativeFolder, MemFolder>;
#else
using Runtimes = ::testing::Types<NativeFolder, NativeFolderFlushingInTurn, MemFolder>;
#endif
class RuntimeNames {
 public:
  template <typename T>
  static std::string GetName(int) {
    if (std::is_same_v<T, MemFolder>) return "InMemory";
    return std::is_same_v<T, NativeFolder> ? "Native" : "NativeFlushingInTurn";
  }
};
TYPED_TEST_SUITE(RuntimeContract, Runtimes, RuntimeNames);

// The error number a call fails with (0 when it does not), and the file the
// error names.
std::pair<int, std::string> Failure(const std::function<void()>& action) {
  try {
    action();
    return {0, ""};
  } catch (const RuntimeError& error) {
    return {static_cast<int>(error.number()), error.file()};
  }
}

std::string AllByteValues() {
  std::string bytes;
  for (unsigned i = 0; i < 300000; ++i) bytes += static_cast<char>(i * 7919U % 256U);
  return bytes;
}

std::string ReadAll(InputFile& file) {
  std::string read;
  char buffer[4096];
  while (std::size_t count = file.Read(buffer, sizeof buffer)) read.append(buffer, count);
  return read;
}

TYPED_TEST(RuntimeContract, ListsOnlyOrdinaryFiles) {
  this->folder_.Make("page.html", "x");
  this->folder_.Make("notes.txt", "x");
  this->folder_.MakeHidden("x");
  this->folder_.MakeFolder("folder.html");
  this->folder_.MakeLink("page.html", "link.html");
  std::vector<std::string> names = this->runtime_.ListFiles();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"notes.txt", "page.html"}));
}

TYPED_TEST(RuntimeContract, ReadsEveryByteAndStampsTheFileItRead) {
  const std::string bytes = AllByteValues();
  this->folder_.Make("page.html", bytes);
  auto file = this->runtime_.OpenForReading("page.html");
  EXPECT_EQ(ReadAll(*file), bytes);
  EXPECT_EQ(file->Stamp(), this->runtime_.StampOf("page.html"));
  file->Close();
  // A hidden file is not listed, but may be read by name.
  const std::string hidden = this->folder_.MakeHidden("hidden");
  EXPECT_EQ(ReadAll(*this->runtime_.OpenForReading(hidden)), "hidden");
}

// Every refusal names the file; nothing is followed, created or emptied.
TYPED_TEST(RuntimeContract, RefusesWhatIsMissingOrNotARegularFile) {
  this->folder_.Make("target.dat", "keep");
  this->folder_.MakeFolder("folder.html");
  const bool links = this->folder_.MakeLink("target.dat", "link.html");
  const std::pair<int, std::string> kNotFound{53, "missing.html"};
  EXPECT_EQ(Failure([&] { this->runtime_.OpenForReading("missing.html"); }), kNotFound);
  EXPECT_EQ(Failure([&] { this->runtime_.StampOf("missing.html"); }), kNotFound);
  EXPECT_EQ(Failure([&] { this->runtime_.DeleteFile("missing.html"); }), kNotFound);
  EXPECT_FALSE(this->runtime_.CheckReplaceable("missing.html"));
  EXPECT_FALSE(this->folder_.Read("missing.html"));

  const std::pair<int, std::string> kFolder{75, "folder.html"};
  EXPECT_EQ(Failure([&] { this->runtime_.OpenForReading("folder.html"); }), kFolder);
  EXPECT_EQ(Failure([&] { this->runtime_.OpenForWriting("folder.html"); }).second, "folder.html");
  EXPECT_EQ(Failure([&] { this->runtime_.CheckReplaceable("folder.html"); }).second, "folder.html");
  if (links) {
    const std::pair<int, std::string> kLink{75, "link.html"};
    EXPECT_EQ(Failure([&] { this->runtime_.OpenForReading("link.html"); }), kLink);
    EXPECT_EQ(Failure([&] { this->runtime_.OpenForWriting("link.html"); }), kLink);
    EXPECT_EQ(Failure([&] { this->runtime_.CheckReplaceable("link.html"); }), kLink);
  }
  EXPECT_EQ(this->folder_.Read("target.dat"), "keep");
}

// A file written under another name, flushed and renamed over an old file:
// the old file is replaced whole, its other names keep its content, the new
// file keeps its identity, and each step is flushed to disk.
TYPED_TEST(RuntimeContract, WritesFlushesAndRenamesOverAnOldFile) {
  this->folder_.Make("story.txt", "an old and longer text");
  this->folder_.MakeHardLink("story.txt", "backup.txt");
  this->folder_.Make("part", "left over");
  const std::string text = AllByteValues() + "\r\n";
  this->folder_.TakeFlushes();

  auto file = this->runtime_.OpenForWriting("part");
  const FileStamp stamp = file->Stamp();
  file->Append(text.substr(0, 1000));
  file->Append(text.substr(1000));
  file->Sync();
  EXPECT_EQ(this->folder_.TakeFlushes(), std::vector<Flush>{Flush::kFile});
  const std::optional<FileStamp> old = this->runtime_.CheckReplaceable("story.txt");
  ASSERT_TRUE(old);
  EXPECT_TRUE(SameFile(*old, this->runtime_.StampOf("backup.txt")));
  file->RenameOver("story.txt");
  file->Close();
  this->runtime_.SyncDirectory();
  const std::vector<Flush> after_rename = this->folder_.TakeFlushes();
  EXPECT_NE(std::find(after_rename.begin(), after_rename.end(), TypeParam::kRenameMadeDurableBy),
            after_rename.end());

  EXPECT_EQ(this->folder_.Read("story.txt"), text);
  EXPECT_EQ(this->folder_.Read("backup.txt"), "an old and longer text");
  EXPECT_FALSE(this->folder_.Read("part"));
  EXPECT_TRUE(SameFile(this->runtime_.StampOf("story.txt"), stamp));
  EXPECT_FALSE(SameFile(this->runtime_.StampOf("backup.txt"), stamp));
}

// A stamp tells apart two versions of a file: another size, another time
// within the same second, another file put in its place with the same size
// and time.
TYPED_TEST(RuntimeContract, StampsTellVersionsApart) {
  constexpr std::int64_t kTime = 1'700'000'000'000'000'000;
  this->folder_.Make("page.html", "ab");
  this->folder_.Make("other.html", "cd");
  this->folder_.SetTime("page.html", kTime);
  this->folder_.SetTime("other.html", kTime);
  const FileStamp first = this->runtime_.StampOf("page.html");
  EXPECT_EQ(this->runtime_.StampOf("page.html"), first);
  EXPECT_NE(this->runtime_.StampOf("other.html"), first);

  this->folder_.SetTime("page.html", kTime + 1000);
  EXPECT_NE(this->runtime_.StampOf("page.html"), first);
  this->folder_.SetTime("page.html", kTime);
  EXPECT_EQ(this->runtime_.StampOf("page.html"), first);

  this->folder_.MoveOver("other.html", "page.html");
  EXPECT_NE(this->runtime_.StampOf("page.html"), first);

  this->runtime_.DeleteFile("page.html");
  EXPECT_FALSE(this->folder_.Read("page.html"));
  EXPECT_EQ(Failure([&] { this->runtime_.StampOf("page.html"); }).first, 53);
}

// A file is created only where its name is free: an existing file, even a
// hidden one, a folder and a link (even a dangling one) are refused and
// left as they are.
TYPED_TEST(RuntimeContract, CreatesANewFileOnlyWhereTheNameIsFree) {
  this->folder_.Make("story.txt", "keep");
  this->folder_.MakeFolder("folder.txt");
  const std::string hidden = this->folder_.MakeHidden("hidden");
  const bool links = this->folder_.MakeLink("nowhere", "dangling.txt");
  for (const std::string name : {"story.txt", "folder.txt", hidden.c_str()}) {
    EXPECT_EQ(Failure([&] { this->runtime_.CreateNewFile(name); }), std::pair(75, name));
  }
  if (links) {
    EXPECT_EQ(Failure([&] { this->runtime_.CreateNewFile("dangling.txt"); }),
              std::pair(75, std::string("dangling.txt")));
  }
  EXPECT_EQ(this->folder_.Read("story.txt"), "keep");
  EXPECT_EQ(this->folder_.Read(hidden), "hidden");

  auto file = this->runtime_.CreateNewFile("new.txt");
  file->Append("text");
  file->Close();
  EXPECT_EQ(this->folder_.Read("new.txt"), "text");
  const std::vector<std::string> listed = this->runtime_.ListFiles();
  EXPECT_NE(std::find(listed.begin(), listed.end(), "new.txt"), listed.end());
}

// A group of files flushed at once: each one's data is flushed (buffered
// bytes included), each answers for itself, and each keeps its identity
// through its rename.
TYPED_TEST(RuntimeContract, FlushesAGroupOfFilesEachOnItsOwnAccount) {
  const std::string large = AllByteValues();
  std::vector<std::unique_ptr<OutputFile>> files;
  std::vector<OutputFile*> group;
  for (int i = 0; i < 5; ++i) {
    files.push_back(this->runtime_.CreateNewFile("part" + std::to_string(i)));
    files.back()->Append("text " + std::to_string(i) + "\r\n");
    if (i == 2) files.back()->Append(large);
    group.push_back(files.back().get());
  }
  this->folder_.TakeFlushes();
  const std::vector<std::optional<RuntimeError>> results = this->runtime_.SyncFiles(group);
  ASSERT_EQ(results.size(), 5u);
  for (const std::optional<RuntimeError>& result : results) EXPECT_FALSE(result) << result->what();
  EXPECT_EQ(this->folder_.TakeFlushes(), std::vector<Flush>(5, Flush::kFile));
  EXPECT_TRUE(this->runtime_.SyncFiles({}).empty());

  for (int i = 0; i < 5; ++i) {
    const FileStamp stamp = files[i]->Stamp();
    files[i]->RenameOver("story" + std::to_string(i) + ".txt");
    files[i]->Close();
    EXPECT_TRUE(SameFile(this->runtime_.StampOf("story" + std::to_string(i) + ".txt"), stamp));
  }
  this->runtime_.SyncDirectory();
  EXPECT_EQ(this->folder_.Read("story2.txt"), "text 2\r\n" + large);
  EXPECT_EQ(this->folder_.Read("story4.txt"), "text 4\r\n");
}

}  // namespace
}  // namespace corvane
