// The files of the current folder: what the conversion and the donation
// link need of the disk, and nothing more.
//
// Names are bare names in the current folder. Failures are thrown as
// RuntimeError (runtime_error.h).
//
// Where the system lets a program keep others from a file it has open
// (Windows), the file steps (opening, `CheckReplaceable`, creating,
// `OutputFile::RenameOver`, `DeleteFile`) fail with an error made by
// `RuntimeError::Held` when that is what stopped them; such a step has
// changed nothing and may be tried again. Nothing here waits by itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime_error.h"

namespace corvane {

// What identifies one version of a file: a page is deleted only while its
// stamp is the one it had when it was read.
struct FileStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modified_ns = 0;

  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// Whether two stamps are of one file, whatever its names: the same device
// and file number (inode, or file ID on Windows). Hard links, and names that
// the system folds to one, reach the same file.
inline bool SameFile(const FileStamp& a, const FileStamp& b) {
  return a.device == b.device && a.inode == b.inode;
}

// A file opened for reading from its start to its end.
class InputFile {
 public:
  // Releases the file if `Close` was not called, ignoring errors.
  virtual ~InputFile() = default;

  // Reads up to `size` bytes into `buffer` and returns how many it read;
  // 0 means the end of the file. Throws RuntimeError (57 or the number the
  // system's code maps to) when the read fails.
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;

  // The file's stamp as it was when it was opened.
  virtual FileStamp Stamp() const = 0;

  // Releases the file. Throws RuntimeError when the system reports a
  // failure on closing.
  virtual void Close() = 0;
};

// A file opened for writing; it started out empty.
class OutputFile {
 public:
  // Closes the file if `Close` was not called, ignoring errors: a caller who
  // cares whether the data arrived calls `Sync` and `Close`.
  virtual ~OutputFile() = default;

  // Appends the bytes unchanged. May keep them in a buffer; a failure to
  // write may therefore show up here, in `Sync` or in `Close`. Throws
  // RuntimeError (61 disk full, 70, 57, ...).
  virtual void Append(std::string_view data) = 0;

  // Writes out what is buffered and has the system put the file's data on
  // the storage device (fsync). Throws RuntimeError on any failure.
  virtual void Sync() = 0;

  // The file's device and file number, taken when it was opened; they stay
  // the same through `RenameOver`. (Size and time are not kept up.)
  virtual FileStamp Stamp() const = 0;

  // Gives the file the name `target` in the same folder, in one step that
  // replaces whatever `target` named: a reader of `target` finds either the
  // old file or this one, whole, never a mix, and other names of the old
  // file keep its content. A link named `target` is replaced, not followed.
  // The file stays open. Call `Sync` first: only data already on the
  // storage device is safe to show under the new name. The new name is on
  // the storage device once `FileSystem::SyncDirectory` returns (on Windows,
  // already when this returns). Throws RuntimeError; `target` is then
  // unchanged.
  virtual void RenameOver(const std::string& target) = 0;

  // Writes out what is buffered and releases the file. Throws RuntimeError
  // when the system reports a failure on closing.
  virtual void Close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The names of the ordinary files in the current directory, bare and in
  // no particular order: regular files that are neither hidden nor system
  // files. Folders, symbolic links (even to regular files), FIFOs, sockets
  // and devices are never listed. Throws RuntimeError when the directory
  // cannot be read.
  virtual std::vector<std::string> ListFiles() = 0;

  // Opens the regular file `name` of the current directory for reading.
  // Never follows a symbolic link and never blocks on a FIFO: anything but a
  // regular file fails with 75. Throws RuntimeError: 53 when it does not
  // exist (a file that Windows is deleting, once the last program that has
  // it open lets go, counts as gone), 70 when access is denied. On Windows
  // a read-only file fails with 70 too: the program reads a file in order
  // to delete it afterwards, which Windows refuses for a read-only file,
  // and the mark is the user's.
  virtual std::unique_ptr<InputFile> OpenForReading(const std::string& name) = 0;

  // Creates `name` in the current directory, or empties the existing file of
  // that name, and opens it for writing. Never writes through a symbolic
  // link or into anything but a regular file; the file has ordinary
  // attributes afterwards (not hidden, not a system file). Throws
  // RuntimeError: 70 when access is denied or the file is read-only, 75
  // when the name is a link, a folder or a device, ...
  virtual std::unique_ptr<OutputFile> OpenForWriting(const std::string& name) = 0;

  // Creates the file `name` in the current directory and opens it for
  // writing, or fails when anything of that name exists already, be it a
  // file, a link (even a dangling one) or a folder: two callers that create
  // the same name never share the file. The file has ordinary attributes.
  // Throws RuntimeError: 75 when the name exists, 70 when access is
  // denied, ...
  virtual std::unique_ptr<OutputFile> CreateNewFile(const std::string& name) = 0;

  // Puts the data of each of `files` on the storage device, as
  // `OutputFile::Sync` on each in turn would; the flushes may overlap, so
  // that the file system can commit them together. Returns, for each file
  // in the order given, nullopt once its data is on the device, or the
  // RuntimeError its flush failed with; a failure of one file says nothing
  // about the others. Returns when every flush has ended.
  //
  // Each of `files` is one that this file system opened (`OpenForWriting`,
  // `CreateNewFile`) and that is still open. A file system that overlaps
  // the flushes does so through what its files are underneath (on POSIX,
  // their descriptors), which `OutputFile` does not show; it takes each of
  // `files` for one of its own without asking. A file system over another
  // that wraps the files it hands out therefore hands the files underneath
  // down, never its own.
  virtual std::vector<std::optional<RuntimeError>> SyncFiles(
      std::span<OutputFile* const> files) = 0;

  // Whether `name` could be opened for writing, asked without changing
  // anything: nullopt when there is no such file, the stamp of the file it
  // reaches when that is a regular file that `OpenForWriting` would accept.
  // Throws RuntimeError with the error `OpenForWriting` would raise
  // (operation "cannot create file") for a link, a folder, a device, a
  // read-only file, denied access, ... Asked without keeping others from
  // the file: another program that has it open is no reason to fail.
  virtual std::optional<FileStamp> CheckReplaceable(const std::string& name) = 0;

  // The stamp of `name` as it is now, without following a symbolic link.
  // Throws RuntimeError (53 when it does not exist).
  virtual FileStamp StampOf(const std::string& name) = 0;

  // Puts the current directory's entries on the storage device (fsync of
  // the folder), so that a file just written is found after a crash.
  // Throws RuntimeError on failure.
  virtual void SyncDirectory() = 0;

  // Removes `name` from the current directory. Throws RuntimeError: 53 when
  // it does not exist, 70 when it may not be removed.
  virtual void DeleteFile(const std::string& name) = 0;

  // The absolute path of the current directory, without a trailing
  // separator (except for the root itself). Throws RuntimeError on failure.
  virtual std::string CurrentDirectory() = 0;
};

}  // namespace corvane
