// The files of the current folder on Windows.
//
// Files are reached with the Win32 calls themselves (CreateFileW, ReadFile,
// WriteFile, ...), relative to the current directory, so that every failure
// is seen with its system error code. Names cross the boundary as UTF-16:
// the program holds them in UTF-8 and converts them on each call, while the
// bytes inside the files pass unchanged.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/sync_each_in_turn.h"

namespace corvane {

class WindowsFileSystem final : public FileSystem {
 public:
  std::vector<std::string> ListFiles() override;
  std::unique_ptr<InputFile> OpenForReading(const std::string& name) override;
  std::unique_ptr<OutputFile> OpenForWriting(const std::string& name) override;
  std::unique_ptr<OutputFile> CreateNewFile(const std::string& name) override;
  // One file after the other: FlushFileBuffers has no form that overlaps
  // on the Windows versions this program supports.
  std::vector<std::optional<RuntimeError>> SyncFiles(std::span<OutputFile* const> files) override {
    return SyncEachInTurn(files);
  }
  std::optional<FileStamp> CheckReplaceable(const std::string& name) override;
  FileStamp StampOf(const std::string& name) override;
  void SyncDirectory() override;
  void DeleteFile(const std::string& name) override;
  std::string CurrentDirectory() override;
};

}  // namespace corvane
