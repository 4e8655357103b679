#include "gui/win32/font_fallback.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "gui/font_choice.h"
#include "gui/win32/creation_calls.h"
#include "platform/windows/utf16.h"
#include "platform/windows/windows_error.h"

namespace corvane {

namespace {

int CALLBACK NoteFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool HasFamily(HDC dc, std::wstring_view face) {
  LOGFONTW query{};
  if (face.empty() || face.size() >= LF_FACESIZE) return false;
  face.copy(query.lfFaceName, face.size());
  query.lfCharSet = DEFAULT_CHARSET;
  bool found = false;
  ::EnumFontFamiliesExW(dc, &query, NoteFamily, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

LOGFONTW LogFontFor(std::wstring_view face, const FontDescription& font, int dpi) {
  LOGFONTW result{};
  // The character height for the point size, rounded as MulDiv rounds.
  result.lfHeight = -::MulDiv(static_cast<int>(std::lround(font.point_size * 100)), dpi, 7200);
  result.lfWeight = std::clamp(font.weight, 1, 1000);
  result.lfItalic = font.italic;
  result.lfUnderline = font.underline;
  result.lfStrikeOut = font.strike_out;
  result.lfCharSet = DEFAULT_CHARSET;
  result.lfOutPrecision = OUT_DEFAULT_PRECIS;
  result.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  result.lfQuality = DEFAULT_QUALITY;
  result.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  face.substr(0, LF_FACESIZE - 1).copy(result.lfFaceName, LF_FACESIZE - 1);
  return result;
}

// Selects a font into a device context for as long as it lives.
class SelectedFont {
 public:
  SelectedFont(HDC dc, const LOGFONTW& font)
      : dc_(dc), font_(::CreateFontIndirectW(&font)), previous_(::SelectObject(dc, font_)) {}
  ~SelectedFont() {
    ::SelectObject(dc_, previous_);
    ::DeleteObject(font_);
  }
  SelectedFont(const SelectedFont&) = delete;
  SelectedFont& operator=(const SelectedFont&) = delete;

 private:
  HDC dc_;
  HFONT font_;
  HGDIOBJ previous_;
};

TEXTMETRICW MetricsOf(HDC dc, const LOGFONTW& font) {
  const SelectedFont selected(dc, font);
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  return metrics;
}

// `font` at `stretch` percent of its natural width: GDI narrows a face by
// its average character width.
LOGFONTW Stretched(HDC dc, LOGFONTW font, int stretch) {
  if (stretch != 100) {
    font.lfWidth = std::max(1, ::MulDiv(MetricsOf(dc, font).tmAveCharWidth, stretch, 100));
  }
  return font;
}

// Measures the faces for one control's text on the screen.
class GdiFaceMeasure final : public FaceMeasure {
 public:
  GdiFaceMeasure(HDC dc, const FontDescription& font, std::wstring_view text, SIZE room, int dpi)
      : dc_(dc), font_(font), lines_(LinesOf(text)), room_(room), dpi_(dpi) {}

  bool Installed(std::string_view face) const override { return HasFamily(dc_, WideText(face)); }

  // Blanks at the end of a line do not count: they may run past the edge.
  bool FitsWidth(std::string_view face, int stretch) const override {
    const SelectedFont selected(dc_, Stretched(dc_, LogFont(face), stretch));
    for (std::wstring_view line : lines_) {
      while (!line.empty() && line.back() == L' ') line.remove_suffix(1);
      SIZE size{};
      if (!line.empty() &&
          (!::GetTextExtentPoint32W(dc_, line.data(), static_cast<int>(line.size()), &size) ||
           size.cx > room_.cx)) {
        return false;
      }
    }
    return true;
  }

  bool FitsHeight(std::string_view face) const override {
    return static_cast<LONG>(lines_.size()) * MetricsOf(dc_, LogFont(face)).tmHeight <= room_.cy;
  }

  LOGFONTW LogFont(std::string_view face) const { return LogFontFor(WideText(face), font_, dpi_); }

 private:
  HDC dc_;
  const FontDescription& font_;
  std::vector<std::wstring_view> lines_;
  SIZE room_;
  int dpi_;
};

// Releases the screen's device context.
class ScreenDc {
 public:
  ScreenDc() : dc_(::GetDC(nullptr)) {}
  ~ScreenDc() { ::ReleaseDC(nullptr, dc_); }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace

// SPI_GETNONCLIENTMETRICS's lfMessageFont is Segoe UI 9 pt from Windows
// Vista on, taller and wider than the face the form's twips were measured
// with, so the help text's lines would wrap. DEFAULT_GUI_FONT is the classic
// one ("MS Shell Dlg", which Windows maps to Microsoft Sans Serif, at 8 pt),
// but sized for the system's resolution only: its face is taken at 8 pt at
// the form's.
FontDescription DialogFont() {
  LOGFONTW stock{};
  if (::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof stock, &stock) == 0 ||
      stock.lfFaceName[0] == L'\0') {
    return FontDescription{.face = "MS Shell Dlg", .point_size = 8, .weight = FW_NORMAL};
  }
  return FontDescription{
      .face = Utf8FromWide(stock.lfFaceName), .point_size = 8, .weight = FW_NORMAL};
}

OwnedFont ResolveFont(const FontDescription& font, std::wstring_view text, SIZE room, int dpi) {
  LOGFONTW resolved{};
  {
    const ScreenDc screen;
    const GdiFaceMeasure measure(screen.get(), font, text, room, dpi);
    const FaceChoice choice = ChooseFace(font.face, measure);
    // Without an installed face of the list, the font mapper's choice for a
    // sans-serif face (FF_SWISS) of that size and weight.
    resolved = Stretched(screen.get(), measure.LogFont(choice.face), choice.stretch);
  }
  OwnedFont created(win32::creation_calls.create_font(&resolved));
  if (created == nullptr) {
    throw WindowsError(::GetLastError(), "cannot create font", font.face);
  }
  return created;
}

std::vector<std::wstring_view> LinesOf(std::wstring_view text) {
  std::vector<std::wstring_view> lines;
  for (;;) {
    const std::size_t end = text.find(L'\n');
    std::wstring_view line = text.substr(0, end);
    if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::wstring_view::npos) break;
    text.remove_prefix(end + 1);
  }
  if (lines.size() > 1 && lines.back().empty()) lines.pop_back();
  return lines;
}

}  // namespace corvane
