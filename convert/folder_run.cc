// The folder run, in the order of this file:
//
//   1. Reading a page into the extractor (ReadPage), and errors that name
//      the text file the user knows (OnTextFile, AlreadyWritten).
//   2. One run over the folder's pages, group after group (FolderRun):
//      a page's text into its new temporary file (Prepare,
//      CreateTemporaryFile), giving pages up (Discard), and making a
//      group's texts durable before its pages go (Finish).
//   3. The names: pages, text files, temporary files (IsPageName,
//      TextFileNameFor, TemporaryNameFor, FindPages), and the run as the
//      programs call it (ConvertFolder).
#include "convert/folder_run.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "convert/extract.h"
#include "convert/line_splitter.h"
#include "platform/ascii_case.h"

namespace corvane {

namespace {

constexpr std::string_view kPageExtension = ".html";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kTemporarySuffix = ".corvane2txt-part";
// The longest name a folder takes: 255 bytes on Linux, 255 UTF-16 units
// on Windows, which are never more than the UTF-8 bytes.
constexpr std::size_t kLongestName = 255;
constexpr std::size_t kReadChunk = 256 * 1024;

// Reads the whole page through `extractor` and returns the stamp it had
// when it was opened, or nullopt when there is no such page any more. The
// page is closed on return. A failing read or close throws: a page that was
// not read to its end gives no text.
std::optional<FileStamp> ReadPage(FileSystem& files, const std::string& page,
                                  ArticleExtractor& extractor, std::vector<char>& buffer) {
  std::unique_ptr<InputFile> file;
  try {
    file = files.OpenForReading(page);
  } catch (const RuntimeError& error) {
    if (error.number() == ErrorNumber::kFileNotFound) return std::nullopt;
    throw;
  }
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

// The error `error` about the temporary file of `text_file`, naming the
// text file instead: the one the user knows.
RuntimeError OnTextFile(const RuntimeError& error, const std::string& text_file) {
  return error.About(text_file);
}

// Runs `step` on the temporary file of `text_file`; an error it raises
// names the text file.
template <typename Step>
void OnTextFile(const std::string& text_file, Step step) {
  try {
    step();
  } catch (const RuntimeError& error) {
    throw OnTextFile(error, text_file);
  }
}

RuntimeError AlreadyWritten(const std::string& page, const std::string& text_file,
                            const std::string& earlier_page) {
  return RuntimeError(ErrorNumber::kPathFileAccessError, "cannot convert page", page,
                      "its text file " + text_file + " already holds the text of " + earlier_page);
}

// A page whose text is in its temporary file, waiting for its group's flush.
struct PendingPage {
  std::size_t index;  // in page order
  std::string page;
  std::string text_file;
  std::string temporary;
  FileStamp read_stamp;  // the page as it was read
  std::unique_ptr<OutputFile> file;
  std::uint64_t text_bytes = 0;  // written into the file
};

// The failure of the earliest page that failed, in page order.
struct Failure {
  std::size_t index;
  RuntimeError error;
};

// One run over the pages of the current folder (see ConvertFolder).
class FolderRun {
 public:
  FolderRun(FileSystem& files, const GroupLimits& limits, const Patience& patience)
      : files_(files), limits_(limits), patience_(patience), buffer_(kReadChunk) {}

  void Run() {
    const std::vector<std::string> pages = FindPages(files_);
    for (std::size_t next = 0; next < pages.size();) {
      std::vector<PendingPage> group;
      std::uint64_t bytes = 0;
      while (next < pages.size() && group.size() < limits_.pages && bytes < limits_.bytes) {
        try {
          std::optional<PendingPage> pending = Prepare(next, pages[next], group);
          if (!pending) {  // gone meanwhile
            ++next;
            continue;
          }
          group.push_back(std::move(*pending));
        } catch (const RuntimeError& error) {
          // The system lets the program hold no more files open beside the
          // group's temporary files: the group ends here and the page
          // begins the next one. Only a limit that leaves no room for a
          // single page stops the run.
          if (error.number() == ErrorNumber::kTooManyFiles && !group.empty()) break;
          Fail(next, error);
          break;
        }
        bytes += group.back().text_bytes;
        ++next;
      }
      Finish(group);
      if (failure_) throw failure_->error;
    }
  }

 private:
  // Runs `step` and returns what it returns. A step that meets its file
  // held by another program is run again after a wait, until the waits add
  // up to the bound (see Patience); then, and on any other failure, its
  // error stands. `step` must change nothing when it fails.
  template <typename Step>
  auto Patiently(Step step) -> decltype(step()) {
    std::chrono::milliseconds waited{0};
    std::chrono::milliseconds wait = patience_.first_wait;
    for (;;) {
      try {
        return step();
      } catch (const RuntimeError& error) {
        if (!error.held() || waited >= patience_.bound) throw;
      }
      patience_.wait(wait);
      waited += wait;
      wait = std::min(wait + patience_.first_wait, patience_.longest_wait);
    }
  }

  // Reads the page `page` and writes its text into its temporary file; the
  // file stays open for the group's flush. `group` holds the pages of this
  // group before it. Returns nullopt, having written nothing, for a page
  // that is gone. Throws RuntimeError, having removed the temporary file
  // (if it can).
  std::optional<PendingPage> Prepare(std::size_t index, const std::string& page,
                                     const std::vector<PendingPage>& group) {
    const std::string text_file = TextFileNameFor(page);
    // The name alone tells it before anything is read.
    if (auto earlier = written_names_.find(text_file); earlier != written_names_.end()) {
      throw AlreadyWritten(page, text_file, earlier->second);
    }
    // A link, a special file or a read-only file of that name stops the run
    // here, before the page is read; so does a name that reaches a text file
    // of this run.
    if (const std::optional<FileStamp> existing =
            Patiently([&] { return files_.CheckReplaceable(text_file); })) {
      for (const auto& [stamp, earlier_page] : written_files_) {
        if (SameFile(stamp, *existing)) throw AlreadyWritten(page, text_file, earlier_page);
      }
    }
    try {
      PendingPage pending{index, page, text_file, TemporaryNameFor(text_file), {}, {}, 0};
      const std::optional<FileStamp> read =
          Patiently([&] { return ReadPage(files_, page, extractor_, buffer_); });
      if (!read) return std::nullopt;
      pending.read_stamp = *read;
      const std::string_view article = extractor_.FinishArticle(page);
      pending.file = CreateTemporaryFile(pending, group);
      try {
        OnTextFile(text_file, [&] {
          pending.file->Append(page);
          pending.file->Append(kHeadingBreak);
          pending.file->Append(article);
          pending.file->Append(kLineEnd);
        });
      } catch (...) {
        Discard(pending);
        throw;
      }
      pending.text_bytes = page.size() + kHeadingBreak.size() + article.size() + kLineEnd.size();
      written_names_.emplace(text_file, page);
      return pending;
    } catch (const std::bad_alloc&) {
      throw RuntimeError(ErrorNumber::kOutOfMemory, "cannot hold the page in memory", page);
    }
  }

  // Creates the temporary file of `pending`, where none of that name may
  // exist. One of this group's own temporary files found under its name
  // (two pages whose names the system folds together) stops the run: the
  // two pages' texts would share the file. Any other file of that name is
  // a leftover of an earlier run cut short, and is replaced.
  std::unique_ptr<OutputFile> CreateTemporaryFile(const PendingPage& pending,
                                                  const std::vector<PendingPage>& group) {
    // Looked up, not opened: Windows opens no file that this program holds
    // open for writing, as it does the group's temporary files.
    std::optional<FileStamp> leftover;
    OnTextFile(pending.text_file, [&] {
      try {
        leftover = files_.StampOf(pending.temporary);
      } catch (const RuntimeError& error) {
        if (error.number() != ErrorNumber::kFileNotFound) throw;
      }
    });
    if (leftover) {
      for (const PendingPage& earlier : group) {
        if (SameFile(earlier.file->Stamp(), *leftover)) {
          throw AlreadyWritten(pending.page, pending.text_file, earlier.page);
        }
      }
      // The same refusals as for a text file (a link, a folder, a read-only
      // file), then the leftover goes.
      OnTextFile(pending.text_file, [&] {
        Patiently([&] { return files_.CheckReplaceable(pending.temporary); });
        Patiently([&] { files_.DeleteFile(pending.temporary); });
      });
    }
    std::unique_ptr<OutputFile> file;
    OnTextFile(pending.text_file,
               [&] { file = Patiently([&] { return files_.CreateNewFile(pending.temporary); }); });
    return file;
  }

  // Closes the temporary file of `pending` and removes it, if it can: the
  // error that stopped its page matters more, and a leftover is replaced
  // when the page is converted again.
  void Discard(PendingPage& pending) {
    pending.file.reset();  // Windows deletes no file that is open
    try {
      files_.DeleteFile(pending.temporary);
    } catch (const RuntimeError&) {
    }
  }

  // Gives up the pages of `group` from `first` on, which keep their pages
  // and whose temporary files go.
  void DiscardFrom(std::vector<PendingPage>& group, std::size_t first) {
    for (std::size_t i = first; i < group.size(); ++i) Discard(group[i]);
    group.resize(first);
  }

  void Fail(std::size_t index, const RuntimeError& error) {
    if (!failure_ || index < failure_->index) failure_.emplace(index, error);
  }

  // Makes the texts of `group` durable and then deletes their pages, in
  // steps that each serve the whole group: the temporary files flushed
  // together, renamed over the text files in page order, the folder
  // flushed once, each page checked and deleted. A page whose step fails
  // stops the group there: the pages before it are finished, it and those
  // after it are kept.
  void Finish(std::vector<PendingPage>& group) {
    std::vector<OutputFile*> files;
    for (const PendingPage& pending : group) files.push_back(pending.file.get());
    const std::vector<std::optional<RuntimeError>> flushed = files_.SyncFiles(files);
    for (std::size_t i = 0; i < group.size(); ++i) {
      if (flushed[i]) {
        Fail(group[i].index, OnTextFile(*flushed[i], group[i].text_file));
        DiscardFrom(group, i);
        break;
      }
    }
    for (std::size_t i = 0; i < group.size(); ++i) {
      try {
        OnTextFile(group[i].text_file,
                   [&] { Patiently([&] { group[i].file->RenameOver(group[i].text_file); }); });
      } catch (const RuntimeError& error) {
        Fail(group[i].index, error);
        DiscardFrom(group, i);
        break;
      }
    }
    // From here on each text file is in place: a page that fails keeps its
    // text file beside it.
    for (std::size_t i = 0; i < group.size(); ++i) {
      written_files_.emplace_back(group[i].file->Stamp(), group[i].page);
      try {
        group[i].file->Close();
      } catch (const RuntimeError& error) {
        Fail(group[i].index, error);
        group.resize(i);
        break;
      }
    }
    if (group.empty()) return;
    try {
      files_.SyncDirectory();
    } catch (const RuntimeError& error) {
      Fail(group.front().index, error);
      return;
    }
    for (const PendingPage& pending : group) {
      try {
        // Like a copy that removes its source, delete only the version of
        // the page that was read: one written to meanwhile stays. (Looked
        // at again after each wait: a holder may be one that changes it.)
        Patiently([&] {
          if (files_.StampOf(pending.page) != pending.read_stamp) {
            throw RuntimeError(ErrorNumber::kPathFileAccessError, "cannot delete page",
                               pending.page, "it changed after it was read, so it was kept");
          }
          files_.DeleteFile(pending.page);
        });
      } catch (const RuntimeError& error) {
        Fail(pending.index, error);
        return;
      }
    }
  }

  FileSystem& files_;
  GroupLimits limits_;
  Patience patience_;
  ArticleExtractor extractor_;
  std::vector<char> buffer_;
  // The text files of this run, by name and by identity, with their pages:
  // a text file is never replaced by the text of another page of the same
  // run. Two pages whose names differ only in letter case map to the same
  // text file name; hard links, and names that the system folds together
  // (letter case on Windows and on some shares), reach one text file by two
  // names.
  std::map<std::string, std::string> written_names_;
  std::vector<std::pair<FileStamp, std::string>> written_files_;
  std::optional<Failure> failure_;
};

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
  name.reserve(kLongestName);
  name += '.';
  if (1 + text_file.size() + kTemporarySuffix.size() <= kLongestName) {
    name += text_file;
  } else {
    // Too long with the suffix: the start of the name, cut where no UTF-8
    // sequence is split, and a digest of the whole name that keeps it
    // apart from others and the same from run to run.
    constexpr std::size_t kDigits = 16;
    std::size_t keep = kLongestName - 1 - 1 - kDigits - kTemporarySuffix.size();
    while (keep > 0 && (static_cast<unsigned char>(text_file[keep]) & 0xC0) == 0x80) --keep;
    std::uint64_t digest = 0xcbf29ce484222325;  // FNV-1a
    for (const char c : text_file)
      digest = (digest ^ static_cast<unsigned char>(c)) * 0x100000001b3;
    name += text_file.substr(0, keep);
    name += '~';
    for (int shift = 60; shift >= 0; shift -= 4)
      name += "0123456789abcdef"[(digest >> shift) & 0xF];
  }
  name += kTemporarySuffix;
  return name;
}

std::vector<std::string> FindPages(FileSystem& files) {
  std::vector<std::string> pages = files.ListFiles();
  std::erase_if(pages, [](const std::string& name) { return !IsPageName(name); });
  std::sort(pages.begin(), pages.end());
  return pages;
}

void ConvertFolder(FileSystem& files, User& user, const GroupLimits& limits,
                   const Patience& patience) {
  FolderRun(files, limits, patience).Run();
  user.ShowMessage("Finished");
  user.EndProgram(0);
}

}  // namespace corvane
