#include "platform/launch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace corvane {

namespace {

constexpr const char* kOpenFolder = "cannot open the folder";
constexpr const char* kStartProgram = "cannot start the program";

std::string Reason(int error) { return std::strerror(error); }

}  // namespace

std::string ResolveFolder(const std::string& folder) {
  if (folder.empty()) throw LaunchError(kOpenFolder, folder, Reason(ENOENT));
  const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(folder.c_str(), nullptr),
                                                             &std::free);
  if (resolved == nullptr) throw LaunchError(kOpenFolder, folder, Reason(errno));
  struct stat info = {};
  if (::stat(resolved.get(), &info) != 0) throw LaunchError(kOpenFolder, folder, Reason(errno));
  if (!S_ISDIR(info.st_mode)) throw LaunchError(kOpenFolder, folder, "it is not a folder");
  if (::access(resolved.get(), X_OK) != 0) throw LaunchError(kOpenFolder, folder, Reason(errno));
  return resolved.get();
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return {};
  try {
    return ResolveFolder(home);
  } catch (const LaunchError&) {
    return {};
  }
}

std::string ProgramFolder() {
  std::string path(PATH_MAX, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
  if (length < 0) throw LaunchError("cannot find the folder of", "/proc/self/exe", Reason(errno));
  path.resize(static_cast<std::size_t>(length));
  const std::size_t slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

void CheckProgram(const std::string& program) {
  struct stat info = {};
  if (::stat(program.c_str(), &info) != 0) throw LaunchError(kStartProgram, program, Reason(errno));
  if (!S_ISREG(info.st_mode)) throw LaunchError(kStartProgram, program, "it is not a program file");
  if (::access(program.c_str(), X_OK) != 0)
    throw LaunchError(kStartProgram, program, Reason(errno));
}

void RunProgramIn(const std::string& program, const std::string& folder) {
  if (::chdir(folder.c_str()) != 0) throw LaunchError(kOpenFolder, folder, Reason(errno));
  ::setenv("PWD", folder.c_str(), 1);
  char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
  ::execv(program.c_str(), argv);
  throw LaunchError(kStartProgram, program, Reason(errno));
}

}  // namespace corvane
