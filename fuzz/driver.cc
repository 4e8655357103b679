// The fuzz targets' main where libFuzzer is not at hand (a compiler other
// than clang): runs LLVMFuzzerTestOneInput on every file of the corpus
// folders given, then on random variations of them (bytes changed, inserted
// or deleted, pieces of other inputs and of the page's own words spliced
// in) until the time is up. A failed comparison or a sanitizer report ends
// the program; the input is in the file named on the last line it printed.
//
//   corvane_extract_fuzz [-max_total_time=SECONDS] [-max_len=BYTES] FOLDER...
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

const std::string_view kWords[] = {
    "Continue reading",       "------------------", "<", ">", "\r\n", "\r", "\n", "-",
    std::string_view("\0", 1)};

void Run(const std::string& input) {
  // Kept until the next input, so that a crash leaves it behind.
  std::ofstream("fuzz-input", std::ios::binary | std::ios::trunc) << input;
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

std::string Mutated(std::string input, const std::vector<std::string>& corpus,
                    std::mt19937_64& random, std::size_t max_len) {
  const int steps = 1 + random() % 8;
  for (int step = 0; step < steps; ++step) {
    const std::size_t at = input.empty() ? 0 : random() % (input.size() + 1);
    switch (random() % 5) {
      case 0:
        if (!input.empty()) input[at % input.size()] = static_cast<char>(random());
        break;
      case 1:
        input.insert(at, 1, static_cast<char>(random()));
        break;
      case 2:
        input.erase(at, random() % 32);
        break;
      case 3:
        input.insert(at, kWords[random() % std::size(kWords)]);
        break;
      default: {
        const std::string& other = corpus[random() % corpus.size()];
        const std::size_t from = other.empty() ? 0 : random() % other.size();
        input.insert(at, other.substr(from, random() % 256));
      }
    }
  }
  if (input.size() > max_len) input.resize(max_len);
  return input;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 60;
  std::size_t max_len = 4096;
  std::vector<std::string> corpus;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with("-max_total_time=")) {
      seconds = std::stod(std::string(arg.substr(16)));
    } else if (arg.starts_with("-max_len=")) {
      max_len = std::stoul(std::string(arg.substr(9)));
    } else if (arg.starts_with("-")) {
      std::fprintf(stderr, "driver: option %s ignored\n", argv[i]);
    } else {
      for (const fs::directory_entry& entry : fs::directory_iterator(arg)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream file(entry.path(), std::ios::binary);
        corpus.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
      }
    }
  }
  if (corpus.empty()) corpus.emplace_back();
  std::fprintf(stderr,
               "driver: %zu corpus inputs, then variations for %g s; input in ./fuzz-input\n",
               corpus.size(), seconds);
  for (const std::string& input : corpus) Run(input);

  std::mt19937_64 random(std::random_device{}());
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  std::size_t runs = corpus.size();
  while (std::chrono::steady_clock::now() < end) {
    Run(Mutated(corpus[random() % corpus.size()], corpus, random, max_len));
    ++runs;
  }
  std::fprintf(stderr, "driver: %zu inputs, no failure\n", runs);
  fs::remove("fuzz-input");
  return 0;
}
