// The fonts of the Win32 engine: the classic dialog font, and a face the
// machine has where the described one is missing, chosen by the rule both
// engines follow (gui/font_choice.h) on GDI's measurements.
#pragma once

#include <memory>
#include <string_view>
#include <type_traits>
#include <vector>

#include "gui/form_description.h"
#include "platform/windows/windows_api.h"

namespace corvane {

struct FontDeleter {
  void operator()(HFONT font) const { ::DeleteObject(font); }
};
using OwnedFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// The font of forms and controls that set none: the classic 8 point dialog
// font that such forms are laid out for, in the face of DEFAULT_GUI_FONT.
FontDescription DialogFont();

// The font for `font` at `dpi` in which every line of `text` fits into
// `room` pixels: the described face when the machine has it, otherwise the
// face ChooseFace picks, narrowed if it says so. Size and weight are always
// as described. Throws when the font cannot be created.
OwnedFont ResolveFont(const FontDescription& font, std::wstring_view text, SIZE room, int dpi);

// The lines of a caption or of a text box's content, without their line
// ends; a line end after the last line starts no further line.
std::vector<std::wstring_view> LinesOf(std::wstring_view text);

}  // namespace corvane
