// The files of a folder on Windows, in the order of this file:
//
//   1. Handles and stamps: an owned HANDLE, and the stamp (identity, size,
//      last write) read through an open handle.
//   2. Files that another program has open: telling such a hold from
//      other failures (HeldByAnother, StepError).
//   3. Opening: a regular file and nothing else (OpenRegularFile), and
//      closing with its error seen (CloseChecked).
//   4. The files: reading (WindowsInputFile) and writing (WindowsOutputFile).
//   5. The services: listing, opening, creating new files, flushing a
//      group of files, stamps, the folder's flush, deleting, the current
//      folder (WindowsFileSystem).
#include "platform/windows/windows_file_system.h"

// clang-format off
#include "platform/windows/windows_api.h"
// clang-format on

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/windows/ordinary_file.h"
#include "platform/windows/system_calls.h"
#include "platform/windows/utf16.h"
#include "platform/windows/windows_error.h"

namespace corvane {

namespace windows {
constinit SystemCalls system_calls;
}  // namespace windows

namespace {

// The most that one ReadFile or WriteFile call is asked to move.
constexpr std::size_t kMaxTransfer = 1 << 30;

// 100-nanosecond ticks between 1601-01-01, where file times count from, and
// 1970-01-01.
constexpr std::int64_t kFileTimeToUnixEpoch = 116'444'736'000'000'000;

class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~Handle() { Reset(); }
  Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
    }
    return *this;
  }

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
  void Reset() {
    if (valid()) ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

std::uint64_t Join(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

FileStamp StampFromInformation(const BY_HANDLE_FILE_INFORMATION& info) {
  const auto ticks = static_cast<std::int64_t>(
      Join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime));
  return FileStamp{
      .device = info.dwVolumeSerialNumber,
      .inode = Join(info.nFileIndexHigh, info.nFileIndexLow),
      .size = Join(info.nFileSizeHigh, info.nFileSizeLow),
      .modified_ns = (ticks - kFileTimeToUnixEpoch) * 100,
  };
}

FileStamp StampOfHandle(HANDLE handle, const std::string& operation, const std::string& name) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle, &info)) {
    throw WindowsError(::GetLastError(), operation, name);
  }
  return StampFromInformation(info);
}

// Windows lets a program that opens a file keep others from reading,
// writing or deleting it meanwhile, and virus scanners, indexers and sync
// clients open every file just saved or changed for a moment. A step that
// meets such a hold fails with a sharing or lock violation, or with access
// denied where the hold is one that no sharing can pass (a file that is
// being deleted, a rename over a file that is open): its error is made by
// RuntimeError::Held, so that the caller may try again.

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The file is named but is being deleted: the name goes once the last
// program that has it open lets go.
constexpr LONG kStatusDeletePending = static_cast<LONG>(0xC0000056);

// The system's own status behind the last error of this thread, which tells
// apart what its error code folds together ("access denied" for a file
// being deleted). Zero where it is not known.
LONG LastStatus() {
  using Function = LONG(WINAPI*)();
  static const auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetLastNtStatus")));
  return function != nullptr ? function() : 0;
}

// Whether a step that wanted `access` to the file `wide` and failed with
// `error` was stopped by another program that has the file open. Access
// denied counts only where nothing else explains it: the name is no folder
// and has no read-only mark, and the same access is granted when others
// are allowed everything; that is, the user does not lack the right.
bool HeldByAnother(DWORD error, const std::wstring& wide, DWORD access) {
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return true;
  if (error != ERROR_ACCESS_DENIED) return false;
  if (LastStatus() == kStatusDeletePending) return true;
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  // Not even the attributes: a file that is being deleted has its name
  // still, and nothing else.
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastStatus() == kStatusDeletePending;
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) return false;
  const HANDLE probe = ::CreateFileW(wide.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_SHARING_VIOLATION;
  ::CloseHandle(probe);
  return true;
}

// The error of a step on `name` that failed with `error`: held, or the
// system's own.
RuntimeError StepError(DWORD error, const std::wstring& wide, DWORD access,
                       const std::string& operation, const std::string& name) {
  if (HeldByAnother(error, wide, access)) {
    return RuntimeError::Held(ErrorNumberForWindowsError(error), operation, name);
  }
  return WindowsError(error, operation, name);
}

// How a file is opened: the access wanted, what others may do meanwhile,
// whether it is created, and whether a read-only mark refuses it (the file
// is to be written or replaced).
struct OpenMode {
  DWORD access;
  DWORD share;
  DWORD disposition;
  bool refuse_read_only = (access & GENERIC_WRITE) != 0;
};

// Opens `name` as a regular file and nothing else: a folder, a device and a
// link (symbolic link or junction) are refused with 75, so that a page is
// never read through a link and a text file never lands elsewhere or in a
// device. `stamp`, when given, receives the file's stamp as it is opened.
Handle OpenRegularFile(const std::string& name, OpenMode mode, const std::string& operation,
                       FileStamp* stamp = nullptr) {
  static const std::string kNotRegular = "not a regular file";
  // A read-only file may not be written, and the user gave it that mark:
  // the reason says so rather than the system's "access denied".
  const auto read_only = [&] {
    return RuntimeError(ErrorNumber::kPermissionDenied, operation, name, "it is read-only");
  };
  const std::wstring wide = WideName(name, operation);
  Handle file(::CreateFileW(wide.c_str(), mode.access, mode.share, nullptr, mode.disposition,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.valid()) {
    const DWORD error = ::GetLastError();
    // A file being deleted is as good as gone to whoever looks for one; to
    // whoever makes one of that name it holds the name until it goes.
    if (error == ERROR_ACCESS_DENIED && LastStatus() == kStatusDeletePending &&
        mode.disposition == OPEN_EXISTING) {
      throw RuntimeError(ErrorNumber::kFileNotFound, operation, name, "it is being deleted");
    }
    // A folder cannot be opened as a file and says "access denied"; it is
    // not a matter of permissions.
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES) {
      if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw RuntimeError(ErrorNumber::kPathFileAccessError, operation, name, kNotRegular);
      }
      if (mode.refuse_read_only && (attributes & FILE_ATTRIBUTE_READONLY) != 0) throw read_only();
    }
    throw StepError(error, wide, mode.access, operation, name);
  }
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) {  // NUL, CON, COM1, a pipe, ...
    throw RuntimeError(ErrorNumber::kPathFileAccessError, operation, name, kNotRegular);
  }
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag)) {
    throw WindowsError(::GetLastError(), operation, name);
  }
  // Hidden and system files are not listed, but may be opened by name.
  if (!IsOrdinaryFile(tag.FileAttributes & ~(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
                      tag.ReparseTag)) {
    throw RuntimeError(ErrorNumber::kPathFileAccessError, operation, name, kNotRegular);
  }
  // Windows refuses to write a read-only file, but wine run by root lets
  // the owner write it: the refusal is made here too.
  if (mode.refuse_read_only && (tag.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
    throw read_only();
  }
  if (stamp != nullptr) *stamp = StampOfHandle(file.get(), operation, name);
  if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    // A file kept by a cloud service or the like: opened once more as a
    // whole, so that the system supplies its contents.
    file.Reset();
    file = Handle(::CreateFileW(wide.c_str(), mode.access, mode.share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) throw StepError(::GetLastError(), wide, mode.access, operation, name);
  }
  return file;
}

// Closes `file`; a failure is thrown as a RuntimeError naming `name`.
void CloseChecked(Handle& file, const std::string& name) {
  if (!::CloseHandle(file.release())) {
    throw WindowsError(::GetLastError(), "cannot close file", name);
  }
}

class WindowsInputFile final : public InputFile {
 public:
  WindowsInputFile(Handle file, std::string name, FileStamp stamp)
      : file_(std::move(file)), name_(std::move(name)), stamp_(stamp) {}

  std::size_t Read(char* buffer, std::size_t size) override {
    DWORD count = 0;
    if (!::ReadFile(file_.get(), buffer, static_cast<DWORD>(std::min(size, kMaxTransfer)), &count,
                    nullptr)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_HANDLE_EOF) return 0;
      // A part of the file locked by another program (LockFileEx).
      if (error == ERROR_LOCK_VIOLATION) {
        throw RuntimeError::Held(ErrorNumberForWindowsError(error), "cannot read file", name_);
      }
      throw WindowsError(error, "cannot read file", name_);
    }
    return count;
  }

  FileStamp Stamp() const override { return stamp_; }

  void Close() override { CloseChecked(file_, name_); }

 private:
  Handle file_;
  std::string name_;
  FileStamp stamp_;
};

// The flags of a rename by FileRenameInfoEx: replace an existing file, and
// do it as POSIX does, whoever has that file open with delete sharing.
// (Older SDK headers name neither the class nor the flags.)
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD kRenameReplaceIfExists = 0x1;
constexpr DWORD kRenamePosixSemantics = 0x2;

// Whether a rename by FileRenameInfoEx failed with `error` because the
// system or the file system does not offer it (Windows before 10, FAT, a
// share, wine): the classic rename is then tried.
bool RenameExRefused(DWORD error) {
  return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
         error == ERROR_INVALID_FUNCTION || error == ERROR_CALL_NOT_IMPLEMENTED;
}

// Writes go straight to the system: the program writes each text file in
// four pieces, so a buffer of its own would save next to nothing.
class WindowsOutputFile final : public OutputFile {
 public:
  WindowsOutputFile(Handle file, std::string name, FileStamp stamp)
      : file_(std::move(file)), name_(std::move(name)), stamp_(stamp) {}

  void Append(std::string_view data) override {
    while (!data.empty()) {
      DWORD count = 0;
      if (!windows::system_calls.write_file(file_.get(), data.data(),
                                            static_cast<DWORD>(std::min(data.size(), kMaxTransfer)),
                                            &count, nullptr)) {
        throw WindowsError(::GetLastError(), "cannot write file", name_);
      }
      data.remove_prefix(count);
    }
  }

  void Sync() override {
    if (!windows::system_calls.flush_file_buffers(file_.get())) {
      throw WindowsError(::GetLastError(), "cannot flush file to disk", name_);
    }
  }

  FileStamp Stamp() const override { return stamp_; }

  // The rename goes through the open handle (which holds DELETE access), so
  // it is this very file that takes the new name, whatever happened to its
  // old name meanwhile; ReplaceIfExists makes it one step. A bare name
  // keeps it in its folder.
  //
  // The rename is made durable by flushing the file once more. On NTFS a
  // rename is a change to the file's own record, logged in the journal, and
  // FlushFileBuffers commits the journal up to the file's last change, the
  // rename included. On FAT the file's directory entry carries its name and
  // is written out by the same call. (MoveFileEx's MOVEFILE_WRITE_THROUGH
  // would not do: it covers only a move done as a copy and a delete.)
  //
  // An old file of that name that another program has open is replaced
  // where the system can: with POSIX semantics (NTFS on Windows 10 and
  // later), the other program keeps the old file, nameless, and allowed
  // deletion. Where that call is refused, the classic rename replaces no
  // file that is open, and the error says the file is held.
  void RenameOver(const std::string& target) override {
    static const std::string kOperation = "cannot replace file";
    const std::wstring wide = WideName(target, kOperation);
    std::vector<std::byte> buffer(sizeof(FILE_RENAME_INFO) + wide.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    const auto rename = [&](FILE_INFO_BY_HANDLE_CLASS kind) {
      return windows::system_calls.set_file_information_by_handle(
                 file_.get(), kind, info, static_cast<DWORD>(buffer.size())) != FALSE;
    };
    // The same field: a flag word in the newer call, a BOOLEAN in the
    // classic one.
    DWORD flags = kRenameReplaceIfExists | kRenamePosixSemantics;
    std::memcpy(info, &flags, sizeof flags);
    if (!rename(kFileRenameInfoEx)) {
      DWORD error = ::GetLastError();
      if (RenameExRefused(error)) {
        flags = 0;
        std::memcpy(info, &flags, sizeof flags);
        info->ReplaceIfExists = TRUE;
        error = rename(FileRenameInfo) ? ERROR_SUCCESS : ::GetLastError();
      }
      if (error != ERROR_SUCCESS) throw StepError(error, wide, DELETE, kOperation, target);
    }
    name_ = target;
    if (!windows::system_calls.flush_file_buffers(file_.get())) {
      throw WindowsError(::GetLastError(), "cannot flush file to disk", name_);
    }
  }

  void Close() override { CloseChecked(file_, name_); }

 private:
  Handle file_;
  std::string name_;
  FileStamp stamp_;
};

}  // namespace

std::vector<std::string> WindowsFileSystem::ListFiles() {
  static const std::string kOperation = "cannot read folder";
  WIN32_FIND_DATAW entry;
  const HANDLE search = ::FindFirstFileW(L"*", &entry);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return {};  // an empty drive root
    throw WindowsError(error, kOperation, ".");
  }
  std::vector<std::string> names;
  do {
    // For a reparse point the search gives its tag in dwReserved0.
    if (IsOrdinaryFile(entry.dwFileAttributes, entry.dwReserved0)) {
      names.push_back(Utf8FromWide(entry.cFileName));
    }
  } while (::FindNextFileW(search, &entry));
  const DWORD error = ::GetLastError();
  ::FindClose(search);
  if (error != ERROR_NO_MORE_FILES) throw WindowsError(error, kOperation, ".");
  return names;
}

std::unique_ptr<InputFile> WindowsFileSystem::OpenForReading(const std::string& name) {
  static const std::string kOperation = "cannot open file for reading";
  // Others may read the page meanwhile, but not change it.
  FileStamp stamp;
  Handle file =
      OpenRegularFile(name, {GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING}, kOperation, &stamp);
  // Windows deletes no read-only file, and clearing the mark would change
  // the page (and its stamp) behind the user's back: such a page is refused
  // before its text is written, so that no run writes it again and again.
  FILE_BASIC_INFO basic{};
  if (!::GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic)) {
    throw WindowsError(::GetLastError(), kOperation, name);
  }
  if ((basic.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
    throw RuntimeError(ErrorNumber::kPermissionDenied, kOperation, name,
                       "it is read-only, and Windows does not delete a read-only file");
  }
  return std::make_unique<WindowsInputFile>(std::move(file), name, stamp);
}

std::unique_ptr<OutputFile> WindowsFileSystem::OpenForWriting(const std::string& name) {
  static const std::string kOperation = "cannot create file";
  // OPEN_ALWAYS and then emptying, rather than CREATE_ALWAYS: the file is
  // emptied only once it is known to be a regular file, and an existing
  // hidden file of that name is replaced like any other. DELETE access lets
  // the file be renamed through this handle (RenameOver).
  FileStamp stamp;
  Handle file = OpenRegularFile(name, {GENERIC_WRITE | DELETE, 0, OPEN_ALWAYS}, kOperation, &stamp);
  if (!::SetEndOfFile(file.get())) throw WindowsError(::GetLastError(), kOperation, name);
  // A hidden or system mark would stay with the file through a rename and
  // hide the text file: the file starts out with ordinary attributes.
  FILE_BASIC_INFO basic{};
  if (!::GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic)) {
    throw WindowsError(::GetLastError(), kOperation, name);
  }
  constexpr DWORD kMarks = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if ((basic.FileAttributes & kMarks) != 0) {
    FILE_BASIC_INFO cleared{};  // zero times: leave them as they are
    cleared.FileAttributes = basic.FileAttributes & ~kMarks;
    if (cleared.FileAttributes == 0) cleared.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!::SetFileInformationByHandle(file.get(), FileBasicInfo, &cleared, sizeof cleared)) {
      throw WindowsError(::GetLastError(), kOperation, name);
    }
  }
  return std::make_unique<WindowsOutputFile>(std::move(file), name, stamp);
}

std::unique_ptr<OutputFile> WindowsFileSystem::CreateNewFile(const std::string& name) {
  // CREATE_NEW fails for any existing name, a link or a hidden file
  // included; the new file has ordinary attributes. DELETE access lets the
  // file be renamed through this handle (RenameOver).
  FileStamp stamp;
  Handle file =
      OpenRegularFile(name, {GENERIC_WRITE | DELETE, 0, CREATE_NEW}, "cannot create file", &stamp);
  return std::make_unique<WindowsOutputFile>(std::move(file), name, stamp);
}

std::optional<FileStamp> WindowsFileSystem::CheckReplaceable(const std::string& name) {
  // The same refusals as `OpenForWriting` (a link, a device, a read-only
  // file) with the same errors, from an open that asks only for the
  // attributes and keeps nobody out: another program that has the file
  // open is met, and waited for, by the rename that replaces it.
  FileStamp stamp;
  try {
    OpenRegularFile(name, {FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, true},
                    "cannot create file", &stamp);
  } catch (const RuntimeError& error) {
    if (error.number() == ErrorNumber::kFileNotFound) return std::nullopt;
    throw;
  }
  return stamp;
}

FileStamp WindowsFileSystem::StampOf(const std::string& name) {
  static const std::string kOperation = "cannot look up file";
  const std::wstring wide = WideName(name, kOperation);
  // Attributes only, whoever else has the file open; the link itself, not
  // what it points to; FILE_FLAG_BACKUP_SEMANTICS lets a folder be looked
  // up as well.
  Handle file(::CreateFileW(
      wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) throw WindowsError(::GetLastError(), kOperation, name);
  return StampOfHandle(file.get(), kOperation, name);
}

void WindowsFileSystem::SyncDirectory() {
  // Nothing to do. On NTFS a folder's entries are metadata, which the file
  // system journals: FlushFileBuffers on the file commits the journal up to
  // the file's creation, entry included. On FAT the entry holds the file's
  // size and is written out with the file by the same call. A folder handle
  // cannot be flushed without write access to the folder, which the
  // program does not otherwise need.
}

void WindowsFileSystem::DeleteFile(const std::string& name) {
  static const std::string kOperation = "cannot delete file";
  const std::wstring wide = WideName(name, kOperation);
  if (!windows::system_calls.delete_file(wide.c_str())) {
    throw StepError(::GetLastError(), wide, DELETE, kOperation, name);
  }
}

std::string WindowsFileSystem::CurrentDirectory() {
  const std::wstring path = GrowingBuffer(
      [](wchar_t* buffer, DWORD size) { return ::GetCurrentDirectoryW(size, buffer); });
  if (path.empty()) throw WindowsError(::GetLastError(), "cannot find the current folder", ".");
  return Utf8FromWide(path);
}

}  // namespace corvane
