#include "tests/temp_folder.h"

#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

namespace corvane::testing {

namespace {

std::filesystem::path MakeUniqueFolder() {
#ifdef _WIN32
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("corvane-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(path)) return path;
  }
  throw std::runtime_error("cannot create a temporary folder");
#else
  std::string pattern = (std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
#endif
}

}  // namespace

TempFolder::TempFolder() : path_(MakeUniqueFolder()), previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
  // Give back any permissions a test took away, so everything can go (on
  // Windows a read-only file cannot be deleted).
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_symlink(ignored)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  // In one copy of the stream's buffer: a character at a time took most of
  // an unoptimised build's time for the tests on disk.
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return std::move(bytes).str();
}

bool Appears(const std::filesystem::path& path) {
  for (int i = 0; i < 1000 && !std::filesystem::exists(path); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::filesystem::exists(path);
}

}  // namespace corvane::testing
