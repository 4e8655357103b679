// A stand-in for the programs that open a user's files behind the user's
// back, for tools/try-windows-holds: virus scanners, indexers and sync
// clients, which open each new or changed file for a moment, and a program
// that keeps one file open.
//
//   corvane_file_holder watch FOLDER SHARE   opens each file in FOLDER, then
//       each file that appears or changes there, for 50 to 300 ms, up to four
//       files at once
//   corvane_file_holder hold FILE SHARE      keeps FILE open
//
// SHARE is what others may do with a file while it is held: none, read,
// readwrite, or all (read, write and delete). Files are opened for reading
// and never changed. Each mode prints one line once it watches or holds, and
// ends when its standard input reaches its end (or when it is killed); watch
// then prints a line on what it held.
//
// The file has four parts: share modes and output; the end of standard
// input; hold; watch (the workers that hold files, then the folder's
// changes).
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/windows/utf16.h"
#include "platform/windows/windows_api.h"
#include "platform/windows/windows_error.h"

namespace {

// --- Share modes and output ---------------------------------------------------

std::optional<DWORD> ShareMode(std::wstring_view name) {
  if (name == L"none") return 0;
  if (name == L"read") return FILE_SHARE_READ;
  if (name == L"readwrite") return FILE_SHARE_READ | FILE_SHARE_WRITE;
  if (name == L"all") return FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  return std::nullopt;
}

HANDLE OpenHeld(const std::wstring& path, DWORD share) {
  return ::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A line on standard output, flushed: a script waits for it.
void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

int Fail(DWORD error, const std::string& operation, const std::wstring& name) {
  std::fprintf(stderr, "corvane_file_holder: %s\n",
               corvane::WindowsError(error, operation, corvane::Utf8FromWide(name)).what());
  return 1;
}

// --- The end of standard input ------------------------------------------------

// An event that is set once standard input reaches its end, or cannot be
// read: a script stops this program by closing its input.
HANDLE StopWhenInputEnds() {
  const HANDLE stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread([stop] {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    char buffer[256];
    DWORD count = 0;
    while (::ReadFile(input, buffer, sizeof buffer, &count, nullptr) && count > 0) {
    }
    ::SetEvent(stop);
  }).detach();
  return stop;
}

// --- hold -------------------------------------------------------------------

int Hold(const std::wstring& file, std::wstring_view share_name, DWORD share, HANDLE stop) {
  const HANDLE held = OpenHeld(file, share);
  if (held == INVALID_HANDLE_VALUE) return Fail(::GetLastError(), "cannot open file", file);
  Say("holding " + corvane::Utf8FromWide(file) + " with share " +
      corvane::Utf8FromWide(share_name));
  ::WaitForSingleObject(stop, INFINITE);
  ::CloseHandle(held);
  return 0;
}

// --- watch: the workers -----------------------------------------------------

// The files to hold, and the workers that hold them. A file waits in the
// queue at most once; one that changes while it is held is held again
// afterwards, as a scanner looks again at a file that changed.
class Holders {
 public:
  static constexpr int kWorkers = 4;

  Holders(std::wstring folder, DWORD share, HANDLE stop)
      : folder_(std::move(folder)), share_(share), stop_(stop) {
    for (int i = 0; i < kWorkers; ++i) workers_.emplace_back([this] { Work(); });
  }

  void Offer(const std::wstring& name) {
    const std::lock_guard lock(mutex_);
    if (held_.contains(name)) {
      again_.insert(name);
    } else if (queued_.insert(name).second) {
      queue_.push_back(name);
      wake_.notify_one();
    }
  }

  // Waits for the holds under way (cut short once `stop` is set) and ends the
  // workers; returns what they did.
  std::string Stop() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    return "held files " + std::to_string(holds_) + " times, up to " +
           std::to_string(most_at_once_) + " at once; " + std::to_string(refused_) +
           " opens failed";
  }

 private:
  void Work() {
    for (;;) {
      std::wstring name;
      DWORD milliseconds = 0;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        name = std::move(queue_.front());
        queue_.pop_front();
        queued_.erase(name);
        held_.insert(name);
        milliseconds = length_(random_);
      }
      // Fails when the file is gone, is a folder, or is open in a way that
      // excludes this one: a scanner skips it.
      const HANDLE file = OpenHeld(folder_ + L"\\" + name, share_);
      const bool opened = file != INVALID_HANDLE_VALUE;
      if (opened) {
        {
          const std::lock_guard lock(mutex_);
          ++holds_;
          most_at_once_ = std::max(most_at_once_, ++at_once_);
        }
        ::WaitForSingleObject(stop_, milliseconds);
        ::CloseHandle(file);
      }
      const std::lock_guard lock(mutex_);
      if (opened) --at_once_;
      if (!opened) ++refused_;
      held_.erase(name);
      if (again_.erase(name) != 0 && queued_.insert(name).second) {
        queue_.push_back(name);
        wake_.notify_one();
      }
    }
  }

  const std::wstring folder_;
  const DWORD share_;
  const HANDLE stop_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::wstring> queue_;
  std::set<std::wstring> queued_, held_, again_;
  bool stopping_ = false;
  std::mt19937 random_{std::random_device{}()};
  std::uniform_int_distribution<DWORD> length_{50, 300};
  int holds_ = 0, refused_ = 0, at_once_ = 0, most_at_once_ = 0;
  std::vector<std::thread> workers_;  // last: they start on the members above
};

// --- watch: the folder's changes --------------------------------------------

void OfferEveryFile(const std::wstring& folder, Holders& holders) {
  WIN32_FIND_DATAW entry;
  const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) holders.Offer(entry.cFileName);
  } while (::FindNextFileW(search, &entry));
  ::FindClose(search);
}

// Offers each file that `changes` reports as new, renamed into the folder or
// changed.
void OfferChanged(const char* changes, Holders& holders) {
  for (;;) {
    const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(changes);
    if (change->Action == FILE_ACTION_ADDED || change->Action == FILE_ACTION_MODIFIED ||
        change->Action == FILE_ACTION_RENAMED_NEW_NAME) {
      holders.Offer(std::wstring(change->FileName, change->FileNameLength / sizeof(wchar_t)));
    }
    if (change->NextEntryOffset == 0) return;
    changes += change->NextEntryOffset;
  }
}

int Watch(const std::wstring& folder, std::wstring_view share_name, DWORD share, HANDLE stop) {
  const HANDLE directory = ::CreateFileW(
      folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
  if (directory == INVALID_HANDLE_VALUE) {
    return Fail(::GetLastError(), "cannot open folder", folder);
  }
  OVERLAPPED pending{};
  pending.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::vector<DWORD> buffer(16 * 1024);  // FILE_NOTIFY_INFORMATION is DWORD-aligned
  const auto ask = [&] {
    return ::ReadDirectoryChangesW(
        directory, buffer.data(), static_cast<DWORD>(buffer.size() * sizeof(DWORD)), FALSE,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE,
        nullptr, &pending, nullptr);
  };
  // Asked before the files are listed, so that no change after the listing
  // is missed.
  if (!ask()) return Fail(::GetLastError(), "cannot watch folder", folder);
  Holders holders(folder, share, stop);
  OfferEveryFile(folder, holders);
  Say("watching " + corvane::Utf8FromWide(folder) + " with share " +
      corvane::Utf8FromWide(share_name));
  int status = 0;
  const HANDLE events[] = {stop, pending.hEvent};
  while (::WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
    DWORD length = 0;
    const bool answered = ::GetOverlappedResult(directory, &pending, &length, FALSE);
    if (!answered && ::GetLastError() != ERROR_NOTIFY_ENUM_DIR) {
      status = Fail(::GetLastError(), "cannot watch folder", folder);
      break;
    }
    // More changes than the buffer holds, which are lost: every file is
    // looked at again.
    if (!answered || length == 0) {
      OfferEveryFile(folder, holders);
    } else {
      OfferChanged(reinterpret_cast<const char*>(buffer.data()), holders);
    }
    if (!ask()) {
      status = Fail(::GetLastError(), "cannot watch folder", folder);
      break;
    }
  }
  ::CancelIo(directory);
  DWORD ignored = 0;
  ::GetOverlappedResult(directory, &pending, &ignored, TRUE);
  Say(holders.Stop());
  ::CloseHandle(directory);
  return status;
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  const std::optional<DWORD> share = argc == 4 ? ShareMode(argv[3]) : std::nullopt;
  const std::wstring_view mode = argc == 4 ? argv[1] : L"";
  if (!share || (mode != L"watch" && mode != L"hold")) {
    std::fprintf(stderr,
                 "usage: corvane_file_holder watch FOLDER SHARE | hold FILE SHARE\n"
                 "  SHARE: none, read, readwrite or all\n");
    return 2;
  }
  const HANDLE stop = StopWhenInputEnds();
  return mode == L"watch" ? Watch(argv[2], argv[3], *share, stop)
                          : Hold(argv[2], argv[3], *share, stop);
}
