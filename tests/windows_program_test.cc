// The programs' files as Windows shows them: their version records and
// their icon.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/windows/windows_api.h"
#include "tests/case_name.h"

namespace corvane {
namespace {

struct ProgramCase {
  const char* what;
  const char* path;
  const wchar_t* file_name;
};

void PrintTo(const ProgramCase& c, std::ostream* out) { *out << c.what; }

class WindowsProgram : public ::testing::TestWithParam<ProgramCase> {
 protected:
  const std::wstring program_ = std::filesystem::path(GetParam().path).wstring();
};

std::wstring QueryString(const std::vector<char>& record, const wchar_t* path) {
  void* value = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(record.data(), path, &value, &length) || length == 0) return L"";
  return std::wstring(static_cast<const wchar_t*>(value));
}

TEST_P(WindowsProgram, CarriesItsVersionRecord) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(program_.c_str(), &ignored);
  ASSERT_GT(size, 0U) << ::GetLastError();
  std::vector<char> record(size);
  ASSERT_TRUE(::GetFileVersionInfoW(program_.c_str(), 0, size, record.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000U);  // 1.0
  EXPECT_EQ(fixed->dwFileVersionLS, 0U);           // .0.0
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000U);
  EXPECT_EQ(fixed->dwProductVersionLS, 0U);

  WORD* translation = nullptr;
  ASSERT_TRUE(::VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
  ASSERT_GE(length, 4U);
  EXPECT_EQ(translation[0], 1033);  // U.S. English
  EXPECT_EQ(translation[1], 1200);  // Unicode

  EXPECT_EQ(QueryString(record, L"\\StringFileInfo\\040904B0\\FileVersion"), L"1.00");
  EXPECT_EQ(QueryString(record, L"\\StringFileInfo\\040904B0\\ProductVersion"), L"1.00");
  EXPECT_EQ(QueryString(record, L"\\StringFileInfo\\040904B0\\OriginalFilename"),
            GetParam().file_name);
}

// The resource types RT_GROUP_ICON and RT_ICON, spelled for the UTF-16
// calls.
const wchar_t* const kGroupIcon = MAKEINTRESOURCEW(14);
const wchar_t* const kIcon = MAKEINTRESOURCEW(3);

#pragma pack(push, 2)
struct IconGroupEntry {
  BYTE width;
  BYTE height;
  BYTE colours;
  BYTE reserved;
  WORD planes;
  WORD bits;
  DWORD bytes;
  WORD id;
};
struct IconGroup {
  WORD reserved;
  WORD type;
  WORD count;
  IconGroupEntry entries[1];
};
#pragma pack(pop)

TEST_P(WindowsProgram, CarriesItsIconInThreeImages) {
  const HMODULE module = ::LoadLibraryExW(
      program_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr) << ::GetLastError();
  const HRSRC group_resource = ::FindResourceW(module, MAKEINTRESOURCEW(1), kGroupIcon);
  ASSERT_NE(group_resource, nullptr);
  const auto* group =
      static_cast<const IconGroup*>(::LockResource(::LoadResource(module, group_resource)));
  ASSERT_NE(group, nullptr);

  // Width, height and bits per pixel of every image, read from the image
  // itself.
  std::multiset<std::tuple<int, int, int>> images;
  for (WORD i = 0; i < group->count; ++i) {
    const IconGroupEntry& entry = group->entries[i];
    const HRSRC image_resource = ::FindResourceW(module, MAKEINTRESOURCEW(entry.id), kIcon);
    ASSERT_NE(image_resource, nullptr) << entry.id;
    const auto* header = static_cast<const BITMAPINFOHEADER*>(
        ::LockResource(::LoadResource(module, image_resource)));
    ASSERT_NE(header, nullptr);
    ASSERT_EQ(header->biSize, sizeof(BITMAPINFOHEADER));  // a bitmap, not a PNG
    // The height counts the image and its transparency mask.
    images.emplace(header->biWidth, header->biHeight / 2, header->biBitCount);
    EXPECT_EQ(entry.width, header->biWidth);
    EXPECT_EQ(entry.colours, header->biBitCount == 1 ? 2 : 16);
  }
  ::FreeLibrary(module);
  // 32 by 32 in 2 colours, 32 by 32 in 16 colours, 16 by 16 in 16 colours.
  EXPECT_EQ(images,
            (std::multiset<std::tuple<int, int, int>>{{32, 32, 1}, {32, 32, 4}, {16, 16, 4}}));
}

const ProgramCase kPrograms[] = {
    {"console", CORVANE_CLI_PATH, L"corvane2txt-cli.exe"},
    {"launcher", CORVANE_LAUNCHER_PATH, L"corvane2txt-launcher.exe"},
#ifdef CORVANE_WINDOW_PATH
    {"window", CORVANE_WINDOW_PATH, L"corvane2txt.exe"},
#endif
};

INSTANTIATE_TEST_SUITE_P(Programs, WindowsProgram, ::testing::ValuesIn(kPrograms),
                         testing::NameFromWhat<ProgramCase>);

}  // namespace
}  // namespace corvane
