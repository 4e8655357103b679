#include "convert/folder_run.h"

#include <algorithm>
#include <map>
#include <memory>
#include <new>

#include "convert/extract.h"
#include "convert/line_splitter.h"

namespace corvane {

namespace {

constexpr std::string_view kPageExtension = ".html";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kReadChunk = 256 * 1024;

// Reads the whole page through `extractor` and returns the stamp it had
// when it was opened. The page is closed on return. A failing read or close
// throws: a page that was not read to its end gives no text.
FileStamp ReadPage(Runtime& runtime, const std::string& page, ArticleExtractor& extractor,
                   std::vector<char>& buffer) {
  std::unique_ptr<InputFile> file = runtime.OpenForReading(page);
  LineSplitter splitter;
  extractor.Clear();
  while (std::size_t count = file->Read(buffer.data(), buffer.size())) {
    splitter.Feed(std::string_view(buffer.data(), count), extractor);
  }
  splitter.Finish(extractor);
  file->Close();
  return file->Stamp();
}

// Writes the text file and puts it and its folder entry on disk; every step
// is checked, so the page is deleted only when its text survives a crash.
void WriteTextFile(Runtime& runtime, const std::string& name, std::string_view text) {
  std::unique_ptr<OutputFile> file = runtime.OpenForWriting(name);
  file->Append(text);
  file->Append(kLineEnd);
  file->Sync();
  file->Close();
  runtime.SyncDirectory();
}

}  // namespace

bool IsPageName(std::string_view name) {
  return name.size() >= kPageExtension.size() &&
         EqualsIgnoringAsciiCase(name.substr(name.size() - kPageExtension.size()), kPageExtension);
}

std::string TextFileNameFor(std::string_view page_name) {
  return std::string(page_name.substr(0, page_name.size() - 4)) + "txt";
}

std::vector<std::string> FindPages(Runtime& runtime) {
  std::vector<std::string> pages = runtime.ListFiles();
  std::erase_if(pages, [](const std::string& name) { return !IsPageName(name); });
  std::sort(pages.begin(), pages.end());
  return pages;
}

void ConvertFolder(Runtime& runtime) {
  ArticleExtractor extractor;
  std::vector<char> buffer(kReadChunk);
  // The text files written by this run, with their pages: two pages whose
  // names differ only in letter case map to the same text file.
  std::map<std::string, std::string> written;

  for (const std::string& page : FindPages(runtime)) {
    const std::string text_file = TextFileNameFor(page);
    if (auto earlier = written.find(text_file); earlier != written.end()) {
      throw RuntimeError(
          ErrorNumber::kPathFileAccessError, "cannot convert page", page,
          "its text file " + text_file + " already holds the text of " + earlier->second);
    }
    try {
      const FileStamp stamp = ReadPage(runtime, page, extractor, buffer);
      const std::string text = extractor.Finish(page);
      WriteTextFile(runtime, text_file, text);
      written.emplace(text_file, page);
      // Like a copy that removes its source, delete only the version of the
      // page that was read: one written to meanwhile stays.
      if (runtime.StampOf(page) != stamp) {
        throw RuntimeError(ErrorNumber::kPathFileAccessError, "cannot delete page", page,
                           "it changed after it was read, so it was kept");
      }
    } catch (const std::bad_alloc&) {
      throw RuntimeError(ErrorNumber::kOutOfMemory, "cannot hold the page in memory", page);
    }
    runtime.DeleteFile(page);
  }
  runtime.ShowMessage("Finished");
  runtime.EndProgram(0);
}

}  // namespace corvane
