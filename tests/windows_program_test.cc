// The programs' files as Windows shows them: their version records and
// their icons.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "platform/windows/windows_api.h"
#include "tests/case_name.h"

namespace corvane {
namespace {

struct ProgramCase {
  const char* what;
  const char* path;
  const wchar_t* file_name;
  // Its icon's images, as "WxH Nbpp", " PNG" after one kept as PNG.
  std::vector<std::string> icon;
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

// What the image `data` of `bytes` bytes is, read from the image itself.
std::string ImageOf(const BYTE* data, DWORD bytes) {
  static constexpr BYTE kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (bytes >= 26 && std::equal(std::begin(kPng), std::end(kPng), data)) {
    // The header chunk: width and height big-endian, bit depth and colour
    // type (6: red, green, blue and alpha).
    const auto big_endian = [data](int at) {
      return data[at] << 24 | data[at + 1] << 16 | data[at + 2] << 8 | data[at + 3];
    };
    const int bits = data[25] == 6 ? 4 * data[24] : data[24];
    return std::to_string(big_endian(16)) + "x" + std::to_string(big_endian(20)) + " " +
           std::to_string(bits) + "bpp PNG";
  }
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(data);
  if (bytes < sizeof(BITMAPINFOHEADER) || header->biSize != sizeof(BITMAPINFOHEADER)) return "?";
  // The height counts the image and its transparency mask.
  return std::to_string(header->biWidth) + "x" + std::to_string(header->biHeight / 2) + " " +
         std::to_string(header->biBitCount) + "bpp";
}

TEST_P(WindowsProgram, CarriesItsIcon) {
  const HMODULE module = ::LoadLibraryExW(
      program_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr) << ::GetLastError();
  const HRSRC group_resource = ::FindResourceW(module, MAKEINTRESOURCEW(1), kGroupIcon);
  ASSERT_NE(group_resource, nullptr);
  const auto* group =
      static_cast<const IconGroup*>(::LockResource(::LoadResource(module, group_resource)));
  ASSERT_NE(group, nullptr);

  std::vector<std::string> images;
  for (WORD i = 0; i < group->count; ++i) {
    const IconGroupEntry& entry = group->entries[i];
    const HRSRC image_resource = ::FindResourceW(module, MAKEINTRESOURCEW(entry.id), kIcon);
    ASSERT_NE(image_resource, nullptr) << entry.id;
    const auto* image =
        static_cast<const BYTE*>(::LockResource(::LoadResource(module, image_resource)));
    ASSERT_NE(image, nullptr);
    images.push_back(ImageOf(image, ::SizeofResource(module, image_resource)));
    // The group describes each image as it is (0 for 256 pixels).
    EXPECT_TRUE(
        images.back().starts_with(std::to_string(entry.width == 0 ? 256 : entry.width) + "x"))
        << images.back();
    EXPECT_EQ(entry.colours, entry.bits == 1 ? 2 : entry.bits == 4 ? 16 : 0) << images.back();
  }
  ::FreeLibrary(module);
  EXPECT_EQ(images, GetParam().icon);
}

// The window program keeps its classic images; the others carry the full
// set, up to the 256 pixels of Explorer's large icons and high-resolution
// screens.
const std::vector<std::string> kClassicIcon = {"32x32 1bpp", "32x32 4bpp", "16x16 4bpp"};
const std::vector<std::string> kFullIcon = {"16x16 32bpp", "32x32 32bpp", "48x48 32bpp",
                                            "256x256 32bpp PNG"};

const ProgramCase kPrograms[] = {
    {"console", CORVANE_CLI_PATH, L"corvane2txt-cli.exe", kFullIcon},
    {"launcher", CORVANE_LAUNCHER_PATH, L"corvane2txt-launcher.exe", kFullIcon},
#ifdef CORVANE_WINDOW_PATH
    {"window", CORVANE_WINDOW_PATH, L"corvane2txt.exe", kClassicIcon},
#endif
};

INSTANTIATE_TEST_SUITE_P(Programs, WindowsProgram, ::testing::ValuesIn(kPrograms),
                         testing::NameFromWhat<ProgramCase>);

}  // namespace
}  // namespace corvane
