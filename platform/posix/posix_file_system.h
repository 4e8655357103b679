// The files of the current folder on Linux and other POSIX systems.
//
// Files are reached with the system calls themselves (open, read, write,
// fsync, unlinkat, ...), relative to the current directory, so that every
// failure is seen with its errno.
#pragma once

#include <string>

#include "platform/errno_error.h"
#include "platform/file_system.h"

namespace corvane {

class PosixFileSystem final : public FileSystem {
 public:
  std::vector<std::string> ListFiles() override;
  std::unique_ptr<InputFile> OpenForReading(const std::string& name) override;
  std::unique_ptr<OutputFile> OpenForWriting(const std::string& name) override;
  std::unique_ptr<OutputFile> CreateNewFile(const std::string& name) override;
  // The files' flushes overlap (see fsync_together.h); each file is taken
  // for this file system's own, as the contract has it.
  std::vector<std::optional<RuntimeError>> SyncFiles(std::span<OutputFile* const> files) override;
  std::optional<FileStamp> CheckReplaceable(const std::string& name) override;
  FileStamp StampOf(const std::string& name) override;
  void SyncDirectory() override;
  void DeleteFile(const std::string& name) override;
  std::string CurrentDirectory() override;
};

}  // namespace corvane
