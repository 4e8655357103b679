// When a text box raises a Change: only when its content differs from what
// it held when the last Change was raised, or from what filled it. Both
// window engines keep one of these per text box.
#pragma once

#include <utility>

namespace corvane {

// `Text` is the toolkit's string type (QString, std::wstring), so that the
// comparison needs no conversion on every keystroke.
template <typename Text>
class TextBoxContent {
 public:
  // Filling the box is no change: only what differs from `filled` is.
  explicit TextBoxContent(Text filled) : known_(std::move(filled)) {}

  // True when the box's content is now `content` and that differs from
  // what was known, which it becomes. Selecting, moving the caret and
  // copying report the content unchanged.
  bool Changed(Text content) {
    if (content == known_) return false;
    known_ = std::move(content);
    return true;
  }

  // Whether setting `wanted` into a box holding `current` changes it at
  // all: setting the content a box already has raises nothing.
  static bool IsChange(const Text& current, const Text& wanted) { return current != wanted; }

 private:
  Text known_;
};

}  // namespace corvane
