#include "convert/folder_run.h"

#include <algorithm>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "convert/extract.h"
#include "convert/line_splitter.h"

namespace corvane {

namespace {

constexpr std::string_view kPageExtension = ".html";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kTemporarySuffix = ".corvane2txt-part";
constexpr std::size_t kReadChunk = 256 * 1024;

// Reads the whole page through `extractor` and returns the stamp it had
// when it was opened. The page is closed on return. A failing read or close
// throws: a page that was not read to its end gives no text.
FileStamp ReadPage(Runtime& runtime, const std::string& page, ArticleExtractor& extractor,
                   std::vector<char>& buffer) {
  std::unique_ptr<InputFile> file = runtime.OpenForReading(page);
  LineSplitter splitter;
  extractor.Clear();
  extractor.Reserve(file->Stamp().size);
  while (std::size_t count = file->Read(buffer.data(), buffer.size())) {
    splitter.Feed(std::string_view(buffer.data(), count), extractor);
  }
  splitter.Finish(extractor);
  file->Close();
  return file->Stamp();
}

// Runs `step` on the temporary file of `text_file`; an error it raises
// names the text file, the one the user knows.
template <typename Step>
void OnTextFile(const std::string& text_file, Step step) {
  try {
    step();
  } catch (const RuntimeError& error) {
    throw RuntimeError(error.number(), error.operation(), text_file, error.reason());
  }
}

// Writes the text of `page`, its name as the heading and then `article`, as
// the text file `name`, whole or not at all: into the temporary file first,
// which is put on disk and only then renamed over `name`, and the folder
// entry is put on disk after it. Returns the text file's stamp. If a step
// fails, an existing text file is left as it was and the temporary file is
// removed (if it can be).
FileStamp WriteTextFile(Runtime& runtime, const std::string& name, std::string_view page,
                        std::string_view article) {
  const std::string temporary = TemporaryNameFor(name);
  std::unique_ptr<OutputFile> file;
  OnTextFile(name, [&] { file = runtime.OpenForWriting(temporary); });
  bool renamed = false;
  try {
    OnTextFile(name, [&] {
      file->Append(page);
      file->Append(kHeadingBreak);
      file->Append(article);
      file->Append(kLineEnd);
      file->Sync();
      file->RenameOver(name);
    });
    renamed = true;
    file->Close();
    runtime.SyncDirectory();
  } catch (...) {
    if (!renamed) {
      file.reset();  // Windows deletes no file that is open
      try {
        runtime.DeleteFile(temporary);
      } catch (const RuntimeError&) {
        // The error that stopped the run matters more; a leftover is
        // replaced when the page is converted again.
      }
    }
    throw;
  }
  return file->Stamp();
}

}  // namespace

bool IsPageName(std::string_view name) {
  return name.size() >= kPageExtension.size() &&
         EqualsIgnoringAsciiCase(name.substr(name.size() - kPageExtension.size()), kPageExtension);
}

std::string TextFileNameFor(std::string_view page_name) {
  return std::string(page_name.substr(0, page_name.size() - 4)) + "txt";
}

std::string TemporaryNameFor(std::string_view text_file) {
  std::string name;
  name.reserve(1 + text_file.size() + kTemporarySuffix.size());
  name += '.';
  name += text_file;
  name += kTemporarySuffix;
  return name;
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
  // The text files written by this run, by name and by identity, with their
  // pages: a text file is never replaced by the text of another page of the
  // same run. Two pages whose names differ only in letter case map to the
  // same text file name; hard links, and names that the system folds
  // together (letter case on Windows and on some shares), reach one text
  // file by two names.
  std::map<std::string, std::string> written_names;
  std::vector<std::pair<FileStamp, std::string>> written_files;
  auto already_written = [&](const std::string& page, const std::string& text_file,
                             const std::string& earlier_page) {
    return RuntimeError(
        ErrorNumber::kPathFileAccessError, "cannot convert page", page,
        "its text file " + text_file + " already holds the text of " + earlier_page);
  };

  for (const std::string& page : FindPages(runtime)) {
    const std::string text_file = TextFileNameFor(page);
    // The name alone tells it before anything is read.
    if (auto earlier = written_names.find(text_file); earlier != written_names.end()) {
      throw already_written(page, text_file, earlier->second);
    }
    // A link, a special file or a read-only file of that name stops the run
    // here, before the page is read; so does a name that reaches a text file
    // of this run.
    if (const std::optional<FileStamp> existing = runtime.CheckReplaceable(text_file)) {
      for (const auto& [stamp, earlier_page] : written_files) {
        if (SameFile(stamp, *existing)) throw already_written(page, text_file, earlier_page);
      }
    }
    try {
      const FileStamp stamp = ReadPage(runtime, page, extractor, buffer);
      const std::string_view article = extractor.FinishArticle(page);
      written_files.emplace_back(WriteTextFile(runtime, text_file, page, article), page);
      written_names.emplace(text_file, page);
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
