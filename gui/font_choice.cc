#include "gui/font_choice.h"

#include <vector>

namespace corvane {

FaceChoice ChooseFace(std::string_view described, const FaceMeasure& measure) {
  if (measure.Installed(described)) return FaceChoice{std::string(described)};
  std::vector<std::string_view> installed;
  for (std::string_view face : kSansSerifFaces) {
    if (measure.Installed(face)) installed.push_back(face);
  }
  for (std::string_view face : installed) {
    if (measure.FitsWidth(face, 100) && measure.FitsHeight(face)) {
      return FaceChoice{std::string(face)};
    }
  }
  for (std::string_view face : installed) {
    if (!measure.FitsHeight(face)) continue;
    for (int stretch = 100 - kStretchStep; stretch >= kNarrowestStretch; stretch -= kStretchStep) {
      if (measure.FitsWidth(face, stretch)) return FaceChoice{std::string(face), stretch};
    }
  }
  if (installed.empty()) return FaceChoice{};
  return FaceChoice{std::string(installed.front())};
}

}  // namespace corvane
