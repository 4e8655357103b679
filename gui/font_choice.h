// The face a control's text is shown in when the described face is missing,
// chosen by the same rule on every window engine. The engine measures; this
// decides.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace corvane {

// Plain sans-serif faces to stand in for the classic dialog faces, best
// match first: the classic face's TrueType twin and metric twins of Arial,
// whose widths are close to the classic face's, then DejaVu Sans, which
// fontconfig brings everywhere, then other common faces. Nimbus Sans (which
// comes with Ghostscript) has lines a quarter taller than the others, too
// tall for a box laid out for the classic face; it is taken only where it
// fits.
inline constexpr std::array<std::string_view, 8> kSansSerifFaces = {
    "Microsoft Sans Serif", "Liberation Sans", "Arimo",       "Arial", "Helvetica",
    "DejaVu Sans",          "FreeSans",        "Nimbus Sans",
};

// The narrowest a face is made, in percent of its natural width, and the
// step towards it.
inline constexpr int kNarrowestStretch = 50;
inline constexpr int kStretchStep = 5;

// What the engine tells the choice about a face, at the described size and
// weight, for the text of one control and the room it has.
class FaceMeasure {
 public:
  virtual ~FaceMeasure() = default;
  virtual bool Installed(std::string_view face) const = 0;
  // Whether every line of the text fits the room's width in `face` at
  // `stretch` percent of its natural width.
  virtual bool FitsWidth(std::string_view face, int stretch) const = 0;
  // Whether the lines, one below the other, fit the room's height in
  // `face`; narrowing leaves this as it is.
  virtual bool FitsHeight(std::string_view face) const = 0;
};

struct FaceChoice {
  // Empty when none of the faces is installed: the toolkit's own
  // sans-serif face.
  std::string face;
  int stretch = 100;  // percent of the face's natural width
  friend bool operator==(const FaceChoice&, const FaceChoice&) = default;
};

// The described face when it is installed; otherwise the first installed
// face of kSansSerifFaces in which the text fits; otherwise the first whose
// lines are low enough, narrowed as little as needed for the text to fit (a
// face whose lines are too tall is never narrowed: that only ends in a much
// narrower face of its family); otherwise the first installed one as it is.
// Size and weight stay as described in every case.
FaceChoice ChooseFace(std::string_view described, const FaceMeasure& measure);

}  // namespace corvane
