// A fresh temporary folder that a test works in: it is the current
// directory for the test's lifetime and is removed afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace corvane::testing {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

// Whole-file helpers for the tests' own use of the real file system.
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

// Waits up to ten seconds for `path` to appear, as a file that a program
// the test started writes; whether it did.
bool Appears(const std::filesystem::path& path);

}  // namespace corvane::testing
