// corvane_io_floor [--no-flush]: the least that converting a folder has to
// do, as the yardstick for corvane2txt-cli. For every page (*.html) of the
// current folder, in name order: read it in chunks of 256 KiB, write the
// same bytes as its .txt file, flush the file and the folder to disk, delete
// the page. No extraction, no checks beyond the system calls' own.
//
// --no-flush leaves out both flushes: the I/O without waiting for the disk,
// which tells how much of the floor is that waiting.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what, const std::string& name) {
  std::fprintf(stderr, "corvane_io_floor: %s %s: %s\n", what, name.c_str(), std::strerror(errno));
  std::exit(1);
}

bool IsPage(std::string_view name) {
  constexpr std::string_view kExtension = ".html";
  return name.size() > kExtension.size() && name[0] != '.' &&
         name.substr(name.size() - kExtension.size()) == kExtension;
}

std::vector<std::string> Pages() {
  DIR* dir = ::opendir(".");
  if (dir == nullptr) Fail("cannot read folder", ".");
  std::vector<std::string> pages;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_type == DT_REG && IsPage(entry->d_name)) pages.emplace_back(entry->d_name);
  }
  ::closedir(dir);
  std::sort(pages.begin(), pages.end());
  return pages;
}

}  // namespace

int main(int argc, char** argv) {
  const bool flush = !(argc == 2 && std::string_view(argv[1]) == "--no-flush");
  if (argc > 2 || (argc == 2 && flush)) {
    std::fprintf(stderr, "usage: corvane_io_floor [--no-flush]\n");
    return 2;
  }
  const int folder = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) Fail("cannot open folder", ".");
  std::vector<char> chunk(256 * 1024);
  std::string bytes;
  for (const std::string& page : Pages()) {
    const int in = ::open(page.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) Fail("cannot open", page);
    bytes.clear();
    for (;;) {
      const ssize_t count = ::read(in, chunk.data(), chunk.size());
      if (count < 0) Fail("cannot read", page);
      if (count == 0) break;
      bytes.append(chunk.data(), static_cast<std::size_t>(count));
    }
    ::close(in);

    const std::string text = page.substr(0, page.size() - 4) + "txt";
    const int out = ::open(text.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) Fail("cannot create", text);
    for (std::size_t done = 0; done < bytes.size();) {
      const ssize_t count = ::write(out, bytes.data() + done, bytes.size() - done);
      if (count < 0) Fail("cannot write", text);
      done += static_cast<std::size_t>(count);
    }
    if (flush && ::fsync(out) != 0) Fail("cannot flush", text);
    if (::close(out) != 0) Fail("cannot close", text);
    if (flush && ::fsync(folder) != 0) Fail("cannot flush folder", ".");
    if (::unlink(page.c_str()) != 0) Fail("cannot delete", page);
  }
  std::puts("Finished");
  return 0;
}
