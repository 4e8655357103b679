// corvane2txt-cli over a file system whose listing throws what no file
// system throws: an exception that is not the program's own error.
#include <stdexcept>

#include "app/cli.h"
#include "platform/native_runtime.h"
#include "tests/file_system_wrapper.h"

namespace {

class FailingFiles final : public corvane::testing::FileSystemWrapper {
 public:
  FailingFiles() : FileSystemWrapper(real_) {}
  std::vector<std::string> ListFiles() override { throw std::logic_error("a planted failure"); }

 private:
  corvane::NativeFileSystem real_;
};

}  // namespace

int main(int argc, char* argv[]) {
  FailingFiles files;
  return corvane::RunConsoleProgram(argc, argv, files);
}
