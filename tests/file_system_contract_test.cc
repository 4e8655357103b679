// The contract of platform/file_system.h, written once and run on every
// file system: the system's own (POSIX, or Windows under wine) in a scratch
// folder, and the in-memory one that the other tests stand on. What is
// particular to one system (FIFOs and sockets, hidden and system
// attributes, devices, other users) is in that system's own suite.
//
// In this file: the folders the suite runs in (NativeFolder, with a
// group's flushes through io_uring, and NativeFolderWithoutRing, where the
// ring is refused; on Windows NativeFolderWithoutPosixRename, where the
// newer rename is refused; MemFolder), each with what a power cut would keep and
// with write and flush failures for one file; then the contract: listing,
// reading, refusals, writing and renaming over an old file, stamps,
// creating new files, flushing a group of files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/errno_error.h"
#include "platform/native_runtime.h"
#include "tests/disk_record.h"
#include "tests/faulty_file_system.h"
#include "tests/mem_file_system.h"
#include "tests/temp_folder.h"

#ifdef _WIN32
#include "platform/windows/windows_api.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::Call;
using testing::Disk;
using testing::MemFileSystem;

// The system's own file system in a scratch folder that is the current
// folder, its every write and flush on the record (tests/disk_record.h),
// which hands the flush ring's completions over one at a time.
class NativeFolder {
 public:
  NativeFolder() = default;
  NativeFolder(const NativeFolder&) = delete;
  NativeFolder& operator=(const NativeFolder&) = delete;

  FileSystem& file_system() { return file_system_; }
  void Make(const std::string& name, const std::string& bytes) {
    testing::WriteFile(name, bytes);
    record_.Settle();
  }
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
    record_.Settle();
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
  // The folder after a power cut now, by the record of the system calls.
  Disk PowerCut(bool changes_arrived) { return record_.PowerCut(changes_arrived); }
  // Every write to `name` fails with "disk full" from now on; every flush
  // of it with an I/O error.
#ifdef _WIN32
  void FailWrites(const std::string& name) { record_.FailWrites(name, ERROR_DISK_FULL); }
  void FailFlushes(const std::string& name) { record_.FailFlushes(name, ERROR_IO_DEVICE); }
#else
  void FailWrites(const std::string& name) { record_.FailWrites(name, ENOSPC); }
  void FailFlushes(const std::string& name) { record_.FailFlushes(name, EIO); }
#endif

 protected:
  testing::TempFolder temp_;
  NativeFileSystem file_system_;
  testing::DiskRecord record_;  // in the scratch folder, and gone before it
};

#ifdef _WIN32
// The same where the rename with POSIX semantics is refused: the classic
// rename replaces the old file.
class NativeFolderWithoutPosixRename : public NativeFolder {
 public:
  NativeFolderWithoutPosixRename() { record_.refuse_posix_rename = true; }
};
#else
// The same where io_uring is refused: a group's files are flushed one by
// one.
class NativeFolderWithoutRing : public NativeFolder {
 public:
  NativeFolderWithoutRing() { record_.refuse_ring = true; }
};
#endif

// The in-memory file system, with the fault wrapper's account of what a
// power cut would keep over it, and its failures.
class MemFolder {
 public:
  MemFolder() {
    faulty_.before_call = [this](Call call, const std::string& file) {
      for (const auto& [failing, name, error] : failures_) {
        if (call == failing && file == name) throw SystemError(error, OperationOf(call), file);
      }
    };
  }
  FileSystem& file_system() { return faulty_; }
  void Make(const std::string& name, const std::string& bytes) { memory_.Add(name, bytes); }
  void MakeFolder(const std::string& name) { memory_.Add(name, "", MemFileSystem::Kind::kFolder); }
  bool MakeLink(const std::string&, const std::string& name) {
    memory_.Add(name, "", MemFileSystem::Kind::kSymlink);
    return true;
  }
  void MakeHardLink(const std::string& existing, const std::string& name) {
    memory_.Link(existing, name);
  }
  std::string MakeHidden(const std::string& bytes) {
    memory_.Add(".hidden.html", bytes, MemFileSystem::Kind::kHidden);
    return ".hidden.html";
  }
  void SetTime(const std::string& name, std::int64_t ns) { memory_.File(name).generation = ns; }
  void MoveOver(const std::string& from, const std::string& to) {
    memory_.names[to] = memory_.names.at(from);
    memory_.names.erase(from);
  }
  std::optional<std::string> Read(const std::string& name) { return memory_.Contents(name); }
  Disk PowerCut(bool changes_arrived) { return faulty_.PowerCut(changes_arrived); }
  void FailWrites(const std::string& name) { failures_.emplace_back(Call::kAppend, name, ENOSPC); }
  void FailFlushes(const std::string& name) { failures_.emplace_back(Call::kSync, name, EIO); }

 private:
  MemFileSystem memory_;
  testing::FaultyFileSystem faulty_{memory_, [this] { return memory_.Now(); }};
  std::vector<std::tuple<Call, std::string, int>> failures_;
};

template <typename Folder>
class FileSystemContract : public ::testing::Test {
 protected:
  Folder folder_;
  FileSystem& file_system_ = folder_.file_system();
};

#ifdef _WIN32
using NativeFolderWithout = NativeFolderWithoutPosixRename;
#else
using NativeFolderWithout = NativeFolderWithoutRing;
#endif
using Folders = ::testing::Types<NativeFolder, NativeFolderWithout, MemFolder>;
class FolderNames {
 public:
  template <typename T>
  static std::string GetName(int) {
    if (std::is_same_v<T, MemFolder>) return "InMemory";
    if (std::is_same_v<T, NativeFolder>) return "Native";
#ifdef _WIN32
    return "NativeWithoutPosixRename";
#else
    return "NativeWithoutRing";
#endif
  }
};
TYPED_TEST_SUITE(FileSystemContract, Folders, FolderNames);

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

// The bytes a power cut keeps under `name`, or nullopt where it keeps no
// such name or does not know the bytes.
std::optional<std::string> Kept(const Disk& disk, const std::string& name) {
  auto it = disk.find(name);
  return it == disk.end() ? std::nullopt : it->second;
}

// The name of the `i`th file of a group of `size`.
std::string PartName(int size, int i) {
  return "part" + std::to_string(size) + "_" + std::to_string(i);
}

std::string ReadAll(InputFile& file) {
  std::string read;
  char buffer[4096];
  while (std::size_t count = file.Read(buffer, sizeof buffer)) read.append(buffer, count);
  return read;
}

TYPED_TEST(FileSystemContract, ListsOnlyOrdinaryFiles) {
  this->folder_.Make("page.html", "x");
  this->folder_.Make("notes.txt", "x");
  this->folder_.MakeHidden("x");
  this->folder_.MakeFolder("folder.html");
  this->folder_.MakeLink("page.html", "link.html");
  std::vector<std::string> names = this->file_system_.ListFiles();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"notes.txt", "page.html"}));
}

TYPED_TEST(FileSystemContract, ReadsEveryByteAndStampsTheFileItRead) {
  const std::string bytes = AllByteValues();
  this->folder_.Make("page.html", bytes);
  auto file = this->file_system_.OpenForReading("page.html");
  EXPECT_EQ(ReadAll(*file), bytes);
  EXPECT_EQ(file->Stamp(), this->file_system_.StampOf("page.html"));
  file->Close();
  // A hidden file is not listed, but may be read by name.
  const std::string hidden = this->folder_.MakeHidden("hidden");
  EXPECT_EQ(ReadAll(*this->file_system_.OpenForReading(hidden)), "hidden");
}

// Every refusal names the file; nothing is followed, created or emptied.
TYPED_TEST(FileSystemContract, RefusesWhatIsMissingOrNotARegularFile) {
  this->folder_.Make("target.dat", "keep");
  this->folder_.MakeFolder("folder.html");
  const bool links = this->folder_.MakeLink("target.dat", "link.html");
  const std::pair<int, std::string> kNotFound{53, "missing.html"};
  EXPECT_EQ(Failure([&] { this->file_system_.OpenForReading("missing.html"); }), kNotFound);
  EXPECT_EQ(Failure([&] { this->file_system_.StampOf("missing.html"); }), kNotFound);
  EXPECT_EQ(Failure([&] { this->file_system_.DeleteFile("missing.html"); }), kNotFound);
  EXPECT_FALSE(this->file_system_.CheckReplaceable("missing.html"));
  EXPECT_FALSE(this->folder_.Read("missing.html"));

  const std::pair<int, std::string> kFolder{75, "folder.html"};
  EXPECT_EQ(Failure([&] { this->file_system_.OpenForReading("folder.html"); }), kFolder);
  EXPECT_EQ(Failure([&] { this->file_system_.OpenForWriting("folder.html"); }).second,
            "folder.html");
  EXPECT_EQ(Failure([&] { this->file_system_.CheckReplaceable("folder.html"); }).second,
            "folder.html");
  if (links) {
    const std::pair<int, std::string> kLink{75, "link.html"};
    EXPECT_EQ(Failure([&] { this->file_system_.OpenForReading("link.html"); }), kLink);
    EXPECT_EQ(Failure([&] { this->file_system_.OpenForWriting("link.html"); }), kLink);
    EXPECT_EQ(Failure([&] { this->file_system_.CheckReplaceable("link.html"); }), kLink);
  }
  EXPECT_EQ(this->folder_.Read("target.dat"), "keep");
}

// A file written under another name, flushed and renamed over an old file:
// the old file is replaced whole, its other names keep its content, the new
// file keeps its identity; its text is on disk once it is flushed, and
// under its new name once the folder is.
TYPED_TEST(FileSystemContract, WritesFlushesAndRenamesOverAnOldFile) {
  this->folder_.Make("story.txt", "an old and longer text");
  this->folder_.MakeHardLink("story.txt", "backup.txt");
  this->folder_.Make("part", "left over");
  const std::string text = AllByteValues() + "\r\n";

  auto file = this->file_system_.OpenForWriting("part");
  const FileStamp stamp = file->Stamp();
  file->Append(text.substr(0, 1000));
  file->Append(text.substr(1000));
  file->Sync();
  EXPECT_EQ(Kept(this->folder_.PowerCut(true), "part"), text);
  const std::optional<FileStamp> old = this->file_system_.CheckReplaceable("story.txt");
  ASSERT_TRUE(old);
  EXPECT_TRUE(SameFile(*old, this->file_system_.StampOf("backup.txt")));
  file->RenameOver("story.txt");
  file->Close();
  this->file_system_.SyncDirectory();
  const Disk after_power_cut = this->folder_.PowerCut(false);
  EXPECT_EQ(Kept(after_power_cut, "story.txt"), text);
  EXPECT_EQ(Kept(after_power_cut, "backup.txt"), "an old and longer text");
  EXPECT_FALSE(after_power_cut.contains("part"));

  EXPECT_EQ(this->folder_.Read("story.txt"), text);
  EXPECT_EQ(this->folder_.Read("backup.txt"), "an old and longer text");
  EXPECT_FALSE(this->folder_.Read("part"));
  EXPECT_TRUE(SameFile(this->file_system_.StampOf("story.txt"), stamp));
  EXPECT_FALSE(SameFile(this->file_system_.StampOf("backup.txt"), stamp));
}

// A stamp tells apart two versions of a file: another size, another time
// within the same second, another file put in its place with the same size
// and time.
TYPED_TEST(FileSystemContract, StampsTellVersionsApart) {
  constexpr std::int64_t kTime = 1'700'000'000'000'000'000;
  this->folder_.Make("page.html", "ab");
  this->folder_.Make("other.html", "cd");
  this->folder_.SetTime("page.html", kTime);
  this->folder_.SetTime("other.html", kTime);
  const FileStamp first = this->file_system_.StampOf("page.html");
  EXPECT_EQ(this->file_system_.StampOf("page.html"), first);
  EXPECT_NE(this->file_system_.StampOf("other.html"), first);

  this->folder_.SetTime("page.html", kTime + 1000);
  EXPECT_NE(this->file_system_.StampOf("page.html"), first);
  this->folder_.SetTime("page.html", kTime);
  EXPECT_EQ(this->file_system_.StampOf("page.html"), first);

  this->folder_.MoveOver("other.html", "page.html");
  EXPECT_NE(this->file_system_.StampOf("page.html"), first);

  this->file_system_.DeleteFile("page.html");
  EXPECT_FALSE(this->folder_.Read("page.html"));
  EXPECT_EQ(Failure([&] { this->file_system_.StampOf("page.html"); }).first, 53);
}

// A file is created only where its name is free: an existing file, even a
// hidden one, a folder and a link (even a dangling one) are refused and
// left as they are.
TYPED_TEST(FileSystemContract, CreatesANewFileOnlyWhereTheNameIsFree) {
  this->folder_.Make("story.txt", "keep");
  this->folder_.MakeFolder("folder.txt");
  const std::string hidden = this->folder_.MakeHidden("hidden");
  const bool links = this->folder_.MakeLink("nowhere", "dangling.txt");
  for (const std::string name : {"story.txt", "folder.txt", hidden.c_str()}) {
    EXPECT_EQ(Failure([&] { this->file_system_.CreateNewFile(name); }), std::pair(75, name));
  }
  if (links) {
    EXPECT_EQ(Failure([&] { this->file_system_.CreateNewFile("dangling.txt"); }),
              std::pair(75, std::string("dangling.txt")));
  }
  EXPECT_EQ(this->folder_.Read("story.txt"), "keep");
  EXPECT_EQ(this->folder_.Read(hidden), "hidden");

  auto file = this->file_system_.CreateNewFile("new.txt");
  file->Append("text");
  file->Close();
  EXPECT_EQ(this->folder_.Read("new.txt"), "text");
  const std::vector<std::string> listed = this->file_system_.ListFiles();
  EXPECT_NE(std::find(listed.begin(), listed.end(), "new.txt"), listed.end());
}

// A group of files flushed at once, of one file or of several: when the
// call returns, each one's data is on disk, the bytes it still held in a
// buffer included; each answers for itself, and keeps its identity through
// its rename.
TYPED_TEST(FileSystemContract, FlushesAGroupOfFilesEachOnItsOwnAccount) {
  const std::string large = AllByteValues();
  EXPECT_TRUE(this->file_system_.SyncFiles({}).empty());
  for (const int size : {1, 5}) {
    SCOPED_TRACE("a group of " + std::to_string(size));
    std::vector<std::unique_ptr<OutputFile>> files;
    std::vector<OutputFile*> group;
    std::vector<std::string> texts;
    for (int i = 0; i < size; ++i) {
      files.push_back(this->file_system_.CreateNewFile(PartName(size, i)));
      texts.push_back("text " + std::to_string(i) + "\r\n");
      files.back()->Append(texts.back());
      if (i == 2) {
        files.back()->Append(large);
        texts.back() += large;
      }
      group.push_back(files.back().get());
    }
    const std::vector<std::optional<RuntimeError>> results = this->file_system_.SyncFiles(group);
    ASSERT_EQ(results.size(), group.size());
    const Disk after_power_cut = this->folder_.PowerCut(true);
    for (int i = 0; i < size; ++i) {
      EXPECT_FALSE(results[i]) << results[i]->what();
      EXPECT_EQ(Kept(after_power_cut, PartName(size, i)), texts[i]) << PartName(size, i);
    }

    for (int i = 0; i < size; ++i) {
      const FileStamp stamp = files[i]->Stamp();
      files[i]->RenameOver(PartName(size, i) + ".txt");
      files[i]->Close();
      EXPECT_TRUE(SameFile(this->file_system_.StampOf(PartName(size, i) + ".txt"), stamp));
    }
    this->file_system_.SyncDirectory();
    for (int i = 0; i < size; ++i) {
      EXPECT_EQ(this->folder_.Read(PartName(size, i) + ".txt"), texts[i]);
      EXPECT_EQ(Kept(this->folder_.PowerCut(false), PartName(size, i) + ".txt"), texts[i]);
    }
  }
}

// In one group, one file's write fails (the disk is full) and another's
// flush (an I/O error): each is reported for its own file with its own
// number, and the file between them is flushed all the same. A write may
// fail at once or only when the bytes buffered go out for the flush.
TYPED_TEST(FileSystemContract, AFailedWriteOrFlushAnswersForItsFileAlone) {
  std::vector<std::unique_ptr<OutputFile>> files;
  std::vector<OutputFile*> group;
  for (int i = 0; i < 3; ++i) {
    files.push_back(this->file_system_.CreateNewFile(PartName(3, i)));
    group.push_back(files.back().get());
  }
  this->folder_.FailWrites(PartName(3, 0));
  this->folder_.FailFlushes(PartName(3, 2));
  std::optional<RuntimeError> write_error;
  for (int i = 0; i < 3; ++i) {
    try {
      files[i]->Append("text " + std::to_string(i) + "\r\n");
    } catch (const RuntimeError& error) {
      write_error = error;
    }
  }
  const std::vector<std::optional<RuntimeError>> results = this->file_system_.SyncFiles(group);
  ASSERT_EQ(results.size(), 3u);
  using Said = std::tuple<int, std::string, std::string>;  // number, operation, file
  auto said = [](const std::optional<RuntimeError>& error) {
    if (!error) return Said{0, "", ""};
    return Said{static_cast<int>(error->number()), error->operation(), error->file()};
  };
  EXPECT_EQ(said(write_error ? write_error : results[0]),
            Said(61, "cannot write file", PartName(3, 0)));
  EXPECT_EQ(said(results[1]), Said(0, "", ""));
  EXPECT_EQ(said(results[2]), Said(57, "cannot flush file to disk", PartName(3, 2)));
  EXPECT_EQ(Kept(this->folder_.PowerCut(true), PartName(3, 1)), "text 1\r\n");
}

}  // namespace
}  // namespace corvane
