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

// The pages among the ordinary files of the current folder, in byte order
// of their names.
std::vector<std::string> FindPages(Runtime& runtime);

// Converts every page of the current folder: reads it, writes its text
// beside it as a .txt file, flushed to disk, and only then deletes the page.
// Afterwards shows "Finished" and ends the program with status 0.
//
// Any failure throws RuntimeError at once, before the page concerned is
// deleted: every page converted before it is gone with its complete text
// file beside it, and that page and all pages after it are still there,
// unchanged. The caller reports the error and ends the program.
void ConvertFolder(Runtime& runtime);

}  // namespace corvane
