// What only Windows has in starting the window program: one name for every
// spelling of a folder, the top folders of drives and the folders the shell
// knows as the user's, and the box that asks the second question.
// clang-format off
#include "platform/windows/windows_api.h"
// clang-format on
#include <gtest/gtest.h>
#include <knownfolders.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/windows/launcher_windows.h"
#include "platform/launch.h"
#include "platform/windows/known_folders.h"
#include "tests/case_name.h"
#include "tests/temp_folder.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool NeedsQuestion(const std::string& folder) {
  const std::string resolved = ResolveFolder(folder);
  return ConfirmationQuestion(resolved, WindowsGuardedFolders(resolved)).has_value();
}

// The guard compares resolved names: every spelling of a folder must give
// the same one, or "c:\users\ann" would slip past "C:\Users\Ann".
TEST(ResolveFolderOnWindows, GivesOneNameForEverySpellingOfAFolder) {
  TempFolder temp;
  fs::create_directories("Saved Pages/inner");
  const std::string resolved = ResolveFolder("Saved Pages");
  EXPECT_TRUE(fs::equivalent(resolved, temp.path() / "Saved Pages")) << resolved;
  EXPECT_TRUE(resolved.ends_with("\\Saved Pages")) << resolved;
  ASSERT_GT(resolved.size(), 3U);
  EXPECT_EQ(resolved.substr(1, 2), ":\\");

  std::vector<std::string> spellings = {"saved pages", "SAVED PAGES\\", "Saved Pages/.",
                                        "Saved Pages\\inner\\..", AsciiLower(resolved)};
  wchar_t short_name[MAX_PATH];
  const DWORD length =
      ::GetShortPathNameW(fs::path(resolved).wstring().c_str(), short_name, MAX_PATH);
  if (length > 0 && length < MAX_PATH) spellings.push_back(fs::path(short_name).string());
  for (const std::string& spelling : spellings) {
    EXPECT_EQ(ResolveFolder(spelling), resolved) << spelling;
  }
}

struct RootCase {
  const char* what;
  const char* folder;
  bool root;
};

void PrintTo(const RootCase& c, std::ostream* out) { *out << c.what; }

class DriveRoot : public ::testing::TestWithParam<RootCase> {};

TEST_P(DriveRoot, IsTheTopFolderOfADriveOrAShare) {
  EXPECT_EQ(IsDriveRoot(GetParam().folder), GetParam().root);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DriveRoot,
    ::testing::Values(RootCase{"drive", "C:\\", true}, RootCase{"lower case drive", "z:\\", true},
                      RootCase{"folder on a drive", "C:\\pages", false},
                      RootCase{"drive without backslash", "C:", false},
                      RootCase{"share", "\\\\server\\share", true},
                      RootCase{"share with backslash", "\\\\server\\share\\", true},
                      RootCase{"folder on a share", "\\\\server\\share\\pages", false},
                      RootCase{"server alone", "\\\\server", false},
                      RootCase{"server with backslash", "\\\\server\\", false}),
    testing::NameFromWhat<RootCase>);

TEST(WindowsGuardedFolders, AskAboutTheTopOfADriveAndTheUsersOwnFolders) {
  TempFolder temp;
  fs::create_directory("pages");
  EXPECT_TRUE(NeedsQuestion(temp.path().root_path().string()));
  const std::string root = ResolveFolder(temp.path().root_path().string());
  EXPECT_NE(ConfirmationQuestion(root, WindowsGuardedFolders(root))->find("top folder of a drive"),
            std::string::npos);

  for (const GUID* id :
       {&FOLDERID_Profile, &FOLDERID_Documents, &FOLDERID_Downloads, &FOLDERID_Desktop}) {
    const std::string known = KnownFolder(*id);
    ASSERT_FALSE(known.empty());
    EXPECT_TRUE(NeedsQuestion(known)) << known;
    EXPECT_TRUE(NeedsQuestion(AsciiLower(known) + "\\")) << known;
  }
  EXPECT_FALSE(NeedsQuestion("pages"));
}

// Each guarded folder must be a folder of its own for the test above to see
// one of them dropped: a wine prefix makes the Desktop, Documents and
// Downloads one folder unless it is told otherwise. The scripts' own prefix
// (tools/wine.sh, which sets CORVANE_WINEPREFIX) gives them folders of their
// own; in any other, such as the user's, the test above is weaker, and this
// one says so and is skipped.
TEST(WindowsGuardedFolders, TheUsersFoldersAreDistinct) {
  std::set<std::string> folders;
  for (const GUID* id :
       {&FOLDERID_Profile, &FOLDERID_Documents, &FOLDERID_Downloads, &FOLDERID_Desktop}) {
    folders.insert(AsciiLower(KnownFolder(*id)));
  }
  if (folders.size() < 4U && std::getenv("CORVANE_WINEPREFIX") == nullptr) {
    GTEST_SKIP() << "the profile, Documents, Downloads and Desktop share folders here: "
                    "not the prefix of tools/wine.sh";
  }
  EXPECT_EQ(folders.size(), 4U) << "the profile, Documents, Downloads and Desktop share folders";
}

// The launcher's decision: a guarded folder is taken after a yes to the
// second question and refused after a no; any other folder is taken
// without a question, and a folder that cannot be opened is refused after
// an error.
TEST(ApproveFolder, StartsInAGuardedFolderOnlyAfterYes) {
  TempFolder temp;
  fs::create_directory("pages");
  std::vector<std::string> questions;
  std::vector<std::string> errors;
  auto answering = [&questions](bool yes) {
    return [&questions, yes](const std::string& question) {
      questions.push_back(question);
      return yes;
    };
  };
  auto show_error = [&errors](std::string_view cause) { errors.emplace_back(cause); };

  std::vector<std::string> guarded = {ResolveFolder(temp.path().root_path().string())};
  for (const GUID* id :
       {&FOLDERID_Profile, &FOLDERID_Documents, &FOLDERID_Downloads, &FOLDERID_Desktop}) {
    guarded.push_back(KnownFolder(*id));
  }
  for (const std::string& folder : guarded) {
    questions.clear();
    EXPECT_EQ(ApproveFolder(folder, answering(false), show_error), std::nullopt) << folder;
    EXPECT_EQ(questions.size(), 1U) << folder;
    EXPECT_EQ(ApproveFolder(AsciiLower(folder), answering(true), show_error), folder) << folder;
    EXPECT_EQ(questions.size(), 2U) << folder;
  }

  questions.clear();
  EXPECT_EQ(ApproveFolder("pages", answering(false), show_error), ResolveFolder("pages"));
  EXPECT_TRUE(questions.empty());
  EXPECT_TRUE(errors.empty());

  EXPECT_EQ(ApproveFolder("missing", answering(true), show_error), std::nullopt);
  EXPECT_TRUE(questions.empty());
  ASSERT_EQ(errors.size(), 1U);
  EXPECT_NE(errors[0].find("missing"), std::string::npos) << errors[0];
}

TEST(QuestionBox, OffersYesAndNoWithNoAsTheDefault) {
  const unsigned style = QuestionBoxStyle();
  EXPECT_EQ(style & MB_TYPEMASK, static_cast<unsigned>(MB_YESNO));
  EXPECT_EQ(style & MB_DEFMASK, static_cast<unsigned>(MB_DEFBUTTON2));
  EXPECT_EQ(style & MB_ICONMASK, static_cast<unsigned>(MB_ICONQUESTION));
}

}  // namespace
}  // namespace corvane
