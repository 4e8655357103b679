// The conversion of every saved page in the current folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime.h"

namespace corvane {

// True for the names of saved pages: names ending in ".html" in any letter
// case. (Hidden files never reach this test: the runtime does not list them.)
bool IsPageName(std::string_view name);

// The text file's name for a page: the page's name without its last four
// characters, followed by "txt" (story.html gives story.txt, A.HTML A.txt).
std::string TextFileNameFor(std::string_view page_name);

// The temporary file in which the text file `text_file` is written before
// it is renamed into place: ".story.txt.corvane2txt-part" for story.txt.
// The name is fixed, so a leftover from a power cut is replaced when the page
// is converted again; a name starting with a dot is hidden on Linux.
std::string TemporaryNameFor(std::string_view text_file);

// The pages among the ordinary files of the current folder, in byte order
// of their names.
std::vector<std::string> FindPages(Runtime& runtime);

// Converts every page of the current folder: reads it, writes its text
// beside it as a .txt file, flushed to disk, and only then deletes the page.
// Afterwards shows "Finished" and ends the program with status 0.
//
// A text file is written whole or not at all: into its temporary file,
// which is flushed to disk and then renamed over the text file's name, and
// the folder is flushed after the rename. A page is deleted only after that,
// and only while it is the very file that was read. A text file is never
// written twice in one run: a name that reaches a text file already written
// (by hard link, or by letter case where the system folds it) stops the run.
//
// Any failure throws RuntimeError at once, before the page concerned is
// deleted: every page converted before it is gone with its complete text
// file beside it, and that page and all pages after it are still there,
// unchanged. The caller reports the error and ends the program.
void ConvertFolder(Runtime& runtime);

}  // namespace corvane
