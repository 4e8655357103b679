// Real faults of the operating system, met by the console program (or the
// POSIX file system) in a real folder: permissions, links, a file-size limit,
// special files, a page that vanishes, and a very large page.
//
// Root passes every permission check, so when the tests run as root the
// permission cases run the program as the unprivileged user "nobody". A case
// that cannot run here is skipped with the reason.
//
// In this file: pages and users, and running the program as another user
// with limits (RunCli); runs that must stop, with the error and what they
// leave (kStopCases); special files, hard links and a vanishing page; the
// very large page.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "convert/folder_run.h"
#include "platform/posix/posix_file_system.h"
#include "tests/case_name.h"
#include "tests/file_system_wrapper.h"
#include "tests/recorded_runtime.h"
#include "tests/saved_pages.h"
#include "tests/temp_folder.h"
#include "tests/unix_socket.h"

namespace corvane {
namespace {

using testing::kRule;
using testing::Page;

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

// The text file of `Page(article)` named `name`, for articles without tags.
std::string TextOf(const std::string& name, const std::string& article) {
  return name + "\r\n\r\n " + article + " \r\n";
}

// Who the program runs as in the permission cases.
struct User {
  uid_t uid;
  gid_t gid;
  bool switched;  // another user than the test's own, so the child switches to it
  std::string name;
};

// The test's own user, or "nobody" when the tests run as root.
std::optional<User> UnprivilegedUser() {
  if (::geteuid() != 0) return User{::geteuid(), ::getegid(), false, "this test's user"};
  const passwd* nobody = ::getpwnam("nobody");
  if (nobody == nullptr) return std::nullopt;
  return User{nobody->pw_uid, nobody->pw_gid, true, "nobody"};
}

// Becomes `user` in a child process; false when it cannot.
bool BecomeUser(const User& user) {
  if (!user.switched) return true;
  return ::setgroups(0, nullptr) == 0 && ::setresgid(user.gid, user.gid, user.gid) == 0 &&
         ::setresuid(user.uid, user.uid, user.uid) == 0;
}

// Makes `path` belong to `user`, as the user's own pages and folder do.
void GiveTo(const User& user, const fs::path& path) {
  if (!user.switched) return;
  ASSERT_EQ(::lchown(path.c_str(), user.uid, user.gid), 0) << path;
}

// Whether `user` may access `path` in `mode` (R_OK, W_OK): the permission
// cases check that the file system enforces what they set up.
bool UserMay(const User& user, const fs::path& path, int mode) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!BecomeUser(user)) ::_exit(2);
    ::_exit(::access(path.c_str(), mode) == 0 ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct ChildSetup {
  std::optional<User> user;               // runs as this user
  std::optional<rlim_t> file_size_limit;  // RLIMIT_FSIZE, with SIGXFSZ ignored
  const char* output = nullptr;           // standard output goes there, not to a file
};

struct ChildResult {
  std::string setup_error;  // why the child could not start the program, if it could not
  int status = -1;          // exit status, or -1 when a signal ended it
  std::string out;
  std::string err;
  long max_rss_kib = 0;
};

// A copy of the console program that every user may run: the build folder
// may lie where "nobody" cannot reach.
class ProgramCopy {
 public:
  ProgramCopy() {
    fs::permissions(folder_.path(),
                    fs::perms::all & ~fs::perms::group_write & ~fs::perms::others_write);
    fs::copy_file(CORVANE_CLI_PATH, path_);
  }
  const fs::path& path() const { return path_; }

 private:
  TempFolder folder_;
  fs::path path_ = folder_.path() / "corvane2txt-cli";
};

// Runs the console program in `folder`, the way `setup` says.
ChildResult RunCli(const fs::path& folder, const ChildSetup& setup = {}) {
  const ProgramCopy program;
  TempFolder capture;
  const fs::path out = capture.path() / "out";
  const fs::path err = capture.path() / "err";
  int report[2];  // the child's setup failure; closed by a successful exec
  ChildResult result;
  if (::pipe2(report, O_CLOEXEC) != 0) {
    result.setup_error = "cannot make a pipe";
    return result;
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(report[0]);
    auto fail = [&](const char* step) {
      const std::string text = std::string(step) + ": " + std::strerror(errno);
      (void)!::write(report[1], text.data(), text.size());
      ::_exit(127);
    };
    const int out_fd =
        ::open(setup.output ? setup.output : out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out_fd < 0 || err_fd < 0 || ::dup2(out_fd, 1) < 0 || ::dup2(err_fd, 2) < 0) {
      fail("cannot catch the output");
    }
    if (setup.file_size_limit) {
      const rlimit limit{*setup.file_size_limit, *setup.file_size_limit};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) fail("cannot limit the file size");
      std::signal(SIGXFSZ, SIG_IGN);
    }
    if (setup.user && !BecomeUser(*setup.user)) fail("cannot become the user nobody");
    if (::chdir(folder.c_str()) != 0) fail("cannot enter the folder");
    ::alarm(300);  // a program that hangs (on a FIFO, say) is ended
    char* argv[] = {const_cast<char*>(program.path().c_str()), nullptr};
    ::execv(argv[0], argv);
    fail("cannot start the program");
  }
  ::close(report[1]);
  char buffer[256];
  for (ssize_t count; (count = ::read(report[0], buffer, sizeof buffer)) > 0;) {
    result.setup_error.append(buffer, static_cast<std::size_t>(count));
  }
  ::close(report[0]);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.max_rss_kib = usage.ru_maxrss;
  if (result.setup_error.empty()) {
    result.out = setup.output ? "" : ReadFile(out);
    result.err = ReadFile(err);
  }
  return result;
}

// The names in the current folder and in its subfolders, with their types
// and the bytes of regular files: what a run must leave alone.
std::map<std::string, std::string> Snapshot() {
  std::map<std::string, std::string> entries;
  std::error_code error;
  fs::recursive_directory_iterator it(".", error);
  if (error) return {{".", "unlistable folder"}};  // a folder that may not be listed, when not root
  for (const auto& entry : it) {
    const fs::path name = entry.path().lexically_relative(".");
    if (entry.is_symlink()) {
      entries[name] = "link to " + fs::read_symlink(entry.path()).string();
    } else if (entry.is_regular_file()) {
      try {
        entries[name] = "file " + ReadFile(entry.path());
      } catch (const std::runtime_error&) {
        entries[name] = "unreadable file";  // a page that may not be read, when not root
      }
    } else {
      entries[name] = "type " + std::to_string(static_cast<int>(entry.status().type()));
    }
  }
  return entries;
}

// ---------------------------------------------------------------------------
// Runs that must stop: the error the program reports, and what it leaves.

struct StopCase {
  const char* what;
  bool as_user;  // runs as the unprivileged user: a permission case
  // Builds the folder (the current directory). Returns "" or, when the case
  // cannot run here, the reason.
  std::function<std::string(const User&)> setup;
  // The line on standard error, without the program's name; "{folder}"
  // stands for the folder's path.
  std::string error;
  // The names that change, with their contents afterwards (kGone or the
  // bytes); every other entry must be as it was.
  std::map<std::string, std::string> changes;
  std::optional<rlim_t> file_size_limit = std::nullopt;
  const char* output = nullptr;
};

const std::string kGone = "(gone)";

// A page `name` with a short article, and a page after it that the run
// never reaches.
void WritePages(const User& user, const std::string& name) {
  WriteFile(name, Page("Article"));
  GiveTo(user, name);
  WriteFile("z.html", Page("Never reached"));
  GiveTo(user, "z.html");
}

// Runs as `user` may not do `mode` on `path`, or says why the case cannot run.
std::string Denied(const User& user, const fs::path& path, int mode) {
  if (UserMay(user, path, mode)) {
    return user.name + " may still access " + path.string() +
           ": this file system does not enforce permissions";
  }
  return "";
}

const std::string kLargeArticle(100'000, 'w');

const StopCase kStopCases[] = {
    {"text file is a link to dev full",
     false,
     [](const User& user) {
       WritePages(user, "a.html");
       fs::create_symlink("/dev/full", "a.txt");
       return std::string();
     },
     "run-time error 75: Path/File access error: cannot create file: a.txt (it is a symbolic "
     "link, which is never followed)",
     {}},
    {"text file is a dangling link",
     false,
     [](const User& user) {
       WritePages(user, "a.html");
       fs::create_symlink("elsewhere.txt", "a.txt");
       return std::string();
     },
     "run-time error 75: Path/File access error: cannot create file: a.txt (it is a symbolic "
     "link, which is never followed)",
     {}},
    {"text file is a FIFO",
     false,
     [](const User& user) {
       WritePages(user, "a.html");
       return ::mkfifo("a.txt", 0600) == 0 ? "" : std::string("cannot make a FIFO");
     },
     "run-time error 75: Path/File access error: cannot create file: a.txt (it is a FIFO, not a "
     "regular file)",
     {}},
    {"file size limit below the text",
     false,
     [](const User& user) {
       WriteFile("a.html", Page(kLargeArticle));
       GiveTo(user, "a.html");
       return std::string();
     },
     "run-time error 61: Disk full: cannot write file: a.txt (File too large)",
     {},
     10'000},
    {"file size limit below the text, with an older text file",
     false,
     [](const User& user) {
       WriteFile("a.html", Page(kLargeArticle));
       GiveTo(user, "a.html");
       WriteFile("a.txt", "an older text");
       return std::string();
     },
     "run-time error 61: Disk full: cannot write file: a.txt (File too large)",
     {},
     10'000},
    {"standard output is dev full",  // the pages are converted, but "Finished" is lost
     false,
     [](const User&) {
       WriteFile("a.html", Page("Article"));
       return std::string();
     },
     "cannot write to standard output: No space left on device",
     {{"a.html", kGone}, {"a.txt", TextOf("a.html", "Article")}},
     std::nullopt,
     "/dev/full"},
    {"page names differ only in case",
     false,
     [](const User& user) {
       WritePages(user, "story.HTML");
       WriteFile("story.html", Page("Second"));
       return std::string();
     },
     "run-time error 75: Path/File access error: cannot convert page: story.html (its text file "
     "story.txt already holds the text of story.HTML)",
     {{"story.HTML", kGone}, {"story.txt", TextOf("story.HTML", "Article")}}},
    {"read-only text file",
     true,
     [](const User& user) {
       WritePages(user, "a.html");
       WriteFile("a.txt", "an older text");
       GiveTo(user, "a.txt");
       fs::permissions("a.txt",
                       fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
       return Denied(user, "a.txt", W_OK);
     },
     "run-time error 70: Permission denied: cannot create file: a.txt (Permission denied)",
     {}},
    {"folder the user may not write in",
     true,
     [](const User& user) {
       WritePages(user, "a.html");
       GiveTo(user, ".");
       fs::permissions(".", fs::perms::all & ~fs::perms::owner_write & ~fs::perms::group_write &
                                ~fs::perms::others_write);
       return Denied(user, ".", W_OK);
     },
     "run-time error 70: Permission denied: cannot create file: a.txt (Permission denied)",
     {}},
    {"page that may not be read",
     true,
     [](const User& user) {
       WritePages(user, "a.html");
       GiveTo(user, ".");
       fs::permissions("a.html", fs::perms::owner_write);
       return Denied(user, "a.html", R_OK);
     },
     "run-time error 70: Permission denied: cannot open file for reading: a.html (Permission "
     "denied)",
     {}},
    {"folder the user may not write in, with an older text file",
     true,
     [](const User& user) {
       WritePages(user, "a.html");
       WriteFile("a.txt", "an older text");
       GiveTo(user, "a.txt");
       GiveTo(user, ".");
       fs::permissions(".", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
       return Denied(user, ".", W_OK);
     },
     "run-time error 70: Permission denied: cannot create file: a.txt (Permission denied)",
     {}},
    {"folder the user may not list",
     true,
     [](const User& user) {
       WritePages(user, "a.html");
       fs::permissions(".", fs::perms::owner_write | fs::perms::owner_exec | fs::perms::group_exec |
                                fs::perms::others_exec);
       return Denied(user, ".", R_OK);
     },
     "run-time error 70: Permission denied: cannot read folder: {folder} (Permission denied)",
     {}},
    {"page of another user in a sticky folder",
     true,
     [](const User& user) {
       if (!user.switched) {
         return std::string("needs a page of another user, which only root can set up");
       }
       // The folder and the pages stay root's.
       if (::chown(".", ::geteuid(), ::getegid()) != 0) return std::string("cannot own the folder");
       WriteFile("a.html", Page("Article"));
       WriteFile("z.html", Page("Never reached"));
       fs::permissions(".", fs::perms::all | fs::perms::sticky_bit);
       return std::string();
     },
     "run-time error 70: Permission denied: cannot delete file: a.html (Operation not permitted)",
     // z.html was converted in the same group: its complete text file was
     // in place before a.html could not be deleted.
     {{"a.txt", TextOf("a.html", "Article")}, {"z.txt", TextOf("z.html", "Never reached")}}},
};

void PrintTo(const StopCase& c, std::ostream* out) { *out << c.what; }

class StoppingRun : public ::testing::TestWithParam<StopCase> {};

TEST_P(StoppingRun, ReportsTheCauseAndKeepsThePage) {
  const StopCase& c = GetParam();
  TempFolder folder;
  const std::optional<User> user =
      c.as_user ? UnprivilegedUser() : User{::geteuid(), ::getegid(), false, "this test's user"};
  if (!user) GTEST_SKIP() << "there is no user \"nobody\" to run the permission cases as";
  GiveTo(*user, ".");
  if (const std::string why = c.setup(*user); !why.empty()) GTEST_SKIP() << why;
  std::map<std::string, std::string> expected = Snapshot();

  const ChildResult result = RunCli(folder.path(), {.user = c.as_user ? user : std::nullopt,
                                                    .file_size_limit = c.file_size_limit,
                                                    .output = c.output});
  if (!result.setup_error.empty()) GTEST_SKIP() << result.setup_error;

  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  std::string error = c.error;
  if (auto at = error.find("{folder}"); at != std::string::npos) {
    error.replace(at, 8, fs::canonical(folder.path()).string());
  }
  EXPECT_EQ(result.err, "corvane2txt-cli: " + error + "\n");
  std::map<std::string, std::string> after = Snapshot();
  for (const auto& [name, contents] : c.changes) {
    if (contents == kGone) {
      expected.erase(name);
    } else {
      expected[name] = "file " + contents;
    }
  }
  EXPECT_EQ(after, expected);
}

INSTANTIATE_TEST_SUITE_P(Faults, StoppingRun, ::testing::ValuesIn(kStopCases),
                         testing::NameFromWhat<StopCase>);

// ---------------------------------------------------------------------------

TEST(RealFolder, SpecialFilesNamedLikePagesAreNeverOpenedFollowedOrDeleted) {
  TempFolder folder;
  WriteFile("page.html", Page("Article"));
  WriteFile("target.dat", Page("Behind a link"));
  fs::create_symlink("target.dat", "link.html");
  fs::create_symlink("missing.dat", "dangling.html");
  fs::create_directory("folder.html");
  WriteFile("folder.html/inner.html", Page("Inside"));
  ASSERT_EQ(::mkfifo("fifo.html", 0600), 0);
  ASSERT_TRUE(testing::LeaveUnixSocket("socket.html"));
  std::map<std::string, std::string> expected = Snapshot();

  // Every file opened in the folder shows up here by name.
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, ".", IN_OPEN), 0);
  const ChildResult result = RunCli(folder.path());
  ASSERT_EQ(result.setup_error, "");
  std::set<std::string> opened;
  alignas(inotify_event) char events[64 * 1024];
  for (ssize_t size; (size = ::read(watch, events, sizeof events)) > 0;) {
    for (char* p = events; p < events + size;) {
      const auto* event = reinterpret_cast<const inotify_event*>(p);
      if (event->len > 0) opened.insert(event->name);
      p += sizeof(inotify_event) + event->len;
    }
  }
  ::close(watch);

  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "Finished\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(opened, (std::set<std::string>{"page.html", ".page.txt.corvane2txt-part"}));
  expected.erase("page.html");
  expected["page.txt"] = "file " + TextOf("page.html", "Article");
  EXPECT_EQ(Snapshot(), expected);
}

// a.txt, b.txt and backup.txt are three names of one file (hard links), as
// a backup tool may leave them: each page gets its own text file, and the
// name that is no page's text file keeps the old content.
TEST(RealFolder, TextFilesThatAreNamesOfOneFileEachGetTheirOwnText) {
  TempFolder folder;
  WriteFile("a.html", Page("First"));
  WriteFile("b.html", Page("Second"));
  WriteFile("a.txt", "an older text");
  fs::create_hard_link("a.txt", "b.txt");
  fs::create_hard_link("a.txt", "backup.txt");

  const ChildResult result = RunCli(folder.path());
  ASSERT_EQ(result.setup_error, "");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(Snapshot(),
            (std::map<std::string, std::string>{{"a.txt", "file " + TextOf("a.html", "First")},
                                                {"b.txt", "file " + TextOf("b.html", "Second")},
                                                {"backup.txt", "file an older text"}}));
  EXPECT_EQ(fs::hard_link_count("backup.txt"), 1U);
}

// A page whose name is as long as a folder takes: its temporary file's
// name is shortened, its text file keeps the page's name.
TEST(RealFolder, APageWithTheLongestNameIsConverted) {
  TempFolder folder;
  const std::string stem(250, 'n');
  WriteFile(stem + ".html", Page("Long"));
  const ChildResult result = RunCli(folder.path());
  ASSERT_EQ(result.setup_error, "");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(Snapshot(), (std::map<std::string, std::string>{
                            {stem + ".txt", "file " + TextOf(stem + ".html", "Long")}}));
}

// The folder lists a page that another program removes before its turn
// comes: it is passed over, and the others are converted.
class VanishingPageFiles : public testing::FileSystemWrapper {
 public:
  VanishingPageFiles() : FileSystemWrapper(real_) {}
  std::vector<std::string> ListFiles() override {
    std::vector<std::string> names = FileSystemWrapper::ListFiles();
    fs::remove("b.html");
    return names;
  }

 private:
  PosixFileSystem real_;
};

TEST(RealFolder, APageThatVanishesAfterTheListingIsPassedOver) {
  TempFolder folder;
  WriteFile("a.html", Page("A"));
  WriteFile("b.html", Page("B"));
  WriteFile("c.html", Page("C"));
  VanishingPageFiles files;
  testing::RecordingUser user;
  ConvertFolder(files, user);
  EXPECT_EQ(user.messages, std::vector<std::string>{"Finished"});
  EXPECT_EQ(Snapshot(),
            (std::map<std::string, std::string>{{"a.txt", "file " + TextOf("a.html", "A")},
                                                {"c.txt", "file " + TextOf("c.html", "C")}}));
}

// ---------------------------------------------------------------------------
// A page of more than 40 MB with NUL bytes, bytes above 127, lone LFs, very
// long lines, tags and links: converted exactly, in memory proportional to
// its size.

// Writes the page and, beside it, the text it must give, computed while the
// page is made rather than by the program's own rules; returns the page's
// size. Neither is ever whole in memory, so that the memory the program
// uses can be measured.
std::uint64_t WriteLargePage(const fs::path& page_path, const fs::path& text_path) {
  std::ofstream page(page_path, std::ios::binary);
  std::ofstream text(text_path, std::ios::binary);
  std::string page_buffer;
  std::string text_buffer;
  std::uint64_t page_size = 0;
  auto flush = [&] {
    page.write(page_buffer.data(), static_cast<std::streamsize>(page_buffer.size()));
    text.write(text_buffer.data(), static_cast<std::streamsize>(text_buffer.size()));
    page_size += page_buffer.size();
    page_buffer.clear();
    text_buffer.clear();
  };
  auto both = [&](std::string_view bytes) {
    page_buffer += bytes;
    text_buffer += bytes;
  };

  std::mt19937_64 random(2024);
  page_buffer = "<html><head><title>Large</title></head>\r\n" + kRule + "\r\n";
  text_buffer = "large.html\r\n\r\n ";
  while (page_size + page_buffer.size() < 42'000'000) {
    const std::uint64_t kind = random() % 100;
    if (kind < 2) {  // an empty line gives only its joining space
      page_buffer += random() % 2 ? "\r\n" : "\r";
      text_buffer += ' ';
      continue;
    }
    // A line starts with a letter, so that no line after a lone CR starts
    // with LF (which would make it a CR LF).
    const std::size_t length = kind < 4 ? 1'000'000 + random() % 5'000'000 : random() % 300;
    both("L");
    for (std::size_t i = 0; i < length; ++i) {
      const std::uint64_t piece = random() % 1000;
      if (piece < 3) {
        page_buffer += "<a href=\"/x\xE2\x80\x99\x01\">";  // a tag: gone from the text
      } else if (piece < 5) {
        page_buffer += "Continue reading";
      } else if (piece < 7) {
        both(std::string(1 + random() % 17, '-') + "x");  // shorter than a rule
      } else {
        // Any byte but those the extraction acts on.
        char byte = static_cast<char>(random() & 0xFF);
        if (byte == '\r') byte = '\n';
        if (byte == '<' || byte == '>') byte = '\0';
        if (byte == '-') byte = static_cast<char>(0xFF);
        if (byte == 'C') byte = static_cast<char>(0x80);
        page_buffer += byte;
        text_buffer += byte;
      }
      if (page_buffer.size() > (1 << 20)) flush();
    }
    page_buffer += random() % 4 ? "\r\n" : "\r";
    text_buffer += ' ';
  }
  page_buffer += kRule + "\r\n<footer>Corvane News</footer>\r\n";
  text_buffer += "\r\n";
  flush();
  return page_size;
}

// The offset of the first difference of two files, or -1 when they are equal.
std::int64_t FirstDifference(const fs::path& a, const fs::path& b) {
  std::ifstream in_a(a, std::ios::binary);
  std::ifstream in_b(b, std::ios::binary);
  std::vector<char> buffer_a(1 << 20);
  std::vector<char> buffer_b(1 << 20);
  for (std::int64_t offset = 0;;) {
    in_a.read(buffer_a.data(), static_cast<std::streamsize>(buffer_a.size()));
    in_b.read(buffer_b.data(), static_cast<std::streamsize>(buffer_b.size()));
    const auto count_a = in_a.gcount();
    const auto count_b = in_b.gcount();
    const auto common = std::min(count_a, count_b);
    const auto mismatch =
        std::mismatch(buffer_a.begin(), buffer_a.begin() + common, buffer_b.begin());
    if (mismatch.first != buffer_a.begin() + common) {
      return offset + (mismatch.first - buffer_a.begin());
    }
    if (count_a != count_b) return offset + common;
    if (count_a == 0) return -1;
    offset += count_a;
  }
}

TEST(RealFolder, ConvertsAPageOfMoreThan40MbExactlyInMemoryProportionalToIt) {
  TempFolder expected_folder;
  TempFolder folder;
  const fs::path expected = expected_folder.path() / "large.txt";
  const std::uint64_t size = WriteLargePage("large.html", expected);
  ASSERT_GE(size, 40'000'000U);

  const ChildResult result = RunCli(folder.path());
  ASSERT_EQ(result.setup_error, "");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_FALSE(fs::exists("large.html"));
  EXPECT_EQ(fs::file_size("large.txt"), fs::file_size(expected));
  EXPECT_EQ(FirstDifference("large.txt", expected), -1);

  // The page, its joined text and the text file's content each take about
  // the page's size; a generous bound, far below what holding the page
  // line by line, or once per line, would take.
  const std::uint64_t max_rss = static_cast<std::uint64_t>(result.max_rss_kib) * 1024;
  RecordProperty("max_rss_bytes", std::to_string(max_rss));
#ifndef __SANITIZE_ADDRESS__
  // Under AddressSanitizer every allocation carries shadow memory and a
  // quarantine: the bound is for the program as it ships.
  EXPECT_LT(max_rss, 6 * size + (32 << 20)) << "page of " << size << " bytes";
#endif
}

}  // namespace
}  // namespace corvane
