// corvane2txt-cli on the system's own files.
#include "app/cli.h"
#include "platform/native_runtime.h"

int main(int argc, char* argv[]) {
  corvane::NativeFileSystem files;
  return corvane::RunConsoleProgram(argc, argv, files);
}
