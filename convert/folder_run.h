// The conversion of every saved page in the current folder.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "platform/user.h"

namespace corvane {

// True for the names of saved pages: names ending in ".html" in any letter
// case. (Hidden files never reach this test: the file system does not list
// them.)
bool IsPageName(std::string_view name);

// The text file's name for a page: the page's name without its last four
// characters, followed by "txt" (story.html gives story.txt, A.HTML A.txt).
std::string TextFileNameFor(std::string_view page_name);

// The temporary file in which the text file `text_file` is written before
// it is renamed into place: ".story.txt.corvane2txt-part" for story.txt.
// The name is fixed, so a leftover from a power cut is replaced when the page
// is converted again; a name starting with a dot is hidden on Linux. Where
// that would be longer than a folder takes (255 bytes), the text file's
// name is cut and a digest of the whole of it put behind.
std::string TemporaryNameFor(std::string_view text_file);

// The pages among the ordinary files of the current folder, in byte order
// of their names.
std::vector<std::string> FindPages(FileSystem& files);

// How many pages are made durable together: their temporary files held
// open, flushed at once, and their text not yet flushed.
//
// Measured with 1,000 pages of 10 KB on a 2-core virtual machine (ext4 on a
// virtual disk), three rounds, each program's best of 5 runs: groups of 1
// took 569, 1,037 and 652 ms; of 8, 440, 799 and 486 ms; of 16, 487, 518
// and 489 ms; of 64, 505, 466 and 483 ms; of 256, 628, 373 and 527 ms.
// From 16 pages on the groups gain about alike, and 64 did well in every
// round while keeping the open files far below the usual limit of 1,024.
// The bytes keep a group of large pages from holding much unflushed text
// (100 pages of 200 KB still fit into two groups).
struct GroupLimits {
  std::size_t pages = 64;
  std::uint64_t bytes = 32 * 1024 * 1024;
};

// How long a step waits for a file that another program has open.
//
// Virus scanners, search indexers and sync clients open the files of a
// folder for a moment, often for 50 to 300 ms, right after they are saved,
// changed or deleted, so that a run meets them at every step. A step that
// fails because the file is held (`RuntimeError::held`) is tried again
// after growing waits, 10 ms, 20 ms and so on up to 100 ms between tries:
// a short hold costs a short wait, and a long one is not polled hundreds of
// times. It gives up once the waits add up to 5 s, well beyond such holds:
// a file held for good stops the run soon, and the window, whose thread
// runs the conversion, is frozen no longer than that.
struct Patience {
  std::chrono::milliseconds first_wait{10};
  std::chrono::milliseconds longest_wait{100};
  std::chrono::milliseconds bound{5000};
  // Spends one wait: the thread sleeps. (Tests count the waits instead.)
  std::function<void(std::chrono::milliseconds)> wait = [](std::chrono::milliseconds time) {
    std::this_thread::sleep_for(time);
  };
};

// Converts every page of the current folder: reads it, writes its text
// beside it as a .txt file, flushed to disk, and only then deletes the page.
// Afterwards shows `user` "Finished" and ends the program with status 0.
//
// A text file is written whole or not at all: into its temporary file,
// which is flushed to disk and then renamed over the text file's name, and
// the folder is flushed after the rename. A page is deleted only after that,
// and only while it is the very file that was read. A text file is never
// written twice in one run: a name that reaches a text file already written
// (by hard link, or by letter case where the system folds it) stops the run.
//
// The pages are taken in groups (`limits`): the texts of a group are
// written into their temporary files one page after the other, then
// flushed together, renamed in page order, made durable by one flush of
// the folder, and then the group's pages are checked and deleted. Each
// temporary file is created new; one that turns out to be another file of
// the same group (two names the system folds together) stops the run.
//
// A page that is gone by the time it is opened (another program removed
// it after the folder was listed, or Windows is deleting it) is passed
// over: nothing is written for it. A step that meets its file held by
// another program waits for it (`patience`); any other failure, and a
// hold that outlasts the wait, stops the run with RuntimeError, after the
// pages before the failing one in its group are finished; when several
// fail, the error is that of the earliest page. Every page before it is
// gone with its complete text file beside it, and that page and all pages
// after it are still there, unchanged; none of them has a temporary file
// left. (A page whose text file was already renamed into place when its
// group failed, at the folder's flush or at its own check, keeps that
// complete text file beside it.) The caller reports the error and ends
// the program.
void ConvertFolder(FileSystem& files, User& user, const GroupLimits& limits = {},
                   const Patience& patience = {});

}  // namespace corvane
