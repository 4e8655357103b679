// The rules both window engines follow, without a toolkit: the choice of a
// face for a control's text, the tab order, when a text box has changed.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "gui/font_choice.h"
#include "gui/tab_order.h"
#include "gui/text_box_content.h"
#include "tests/case_name.h"

namespace corvane {
namespace {

// Faces as a machine has them: installed or not, too tall for the room or
// not, and the narrowest stretch at which the text fits its width (100:
// fits as it is; 0: never).
struct FakeFace {
  std::string name;
  bool too_tall = false;
  int fits_from = 100;
};

class FakeMeasure final : public FaceMeasure {
 public:
  explicit FakeMeasure(std::vector<FakeFace> faces) : faces_(std::move(faces)) {}
  bool Installed(std::string_view face) const override { return Find(face) != nullptr; }
  bool FitsWidth(std::string_view face, int stretch) const override {
    const FakeFace* found = Find(face);
    return found != nullptr && found->fits_from > 0 && stretch <= found->fits_from;
  }
  bool FitsHeight(std::string_view face) const override {
    const FakeFace* found = Find(face);
    return found != nullptr && !found->too_tall;
  }

 private:
  const FakeFace* Find(std::string_view face) const {
    for (const FakeFace& candidate : faces_) {
      if (candidate.name == face) return &candidate;
    }
    return nullptr;
  }
  std::vector<FakeFace> faces_;
};

struct ChoiceCase {
  const char* what;
  std::vector<FakeFace> faces;
  FaceChoice chosen;
  friend void PrintTo(const ChoiceCase& c, std::ostream* out) { *out << c.what; }
};

class FaceChoices : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(FaceChoices, FollowTheRule) {
  const FakeMeasure measure(GetParam().faces);
  const FaceChoice chosen = ChooseFace("MS Sans Serif", measure);
  EXPECT_EQ(chosen.face, GetParam().chosen.face);
  EXPECT_EQ(chosen.stretch, GetParam().chosen.stretch);
}

// Too wide even at 50%, but for this.
constexpr int kNever = 0;

INSTANTIATE_TEST_SUITE_P(
    Faces, FaceChoices,
    ::testing::Values(
        ChoiceCase{"the described face, even where it does not fit",
                   {{"MS Sans Serif", true, kNever}, {"Liberation Sans"}},
                   {"MS Sans Serif", 100}},
        ChoiceCase{
            "the metric twin first", {{"DejaVu Sans"}, {"Liberation Sans"}}, {"Liberation Sans"}},
        ChoiceCase{"DejaVu before Nimbus", {{"Nimbus Sans"}, {"DejaVu Sans"}}, {"DejaVu Sans"}},
        ChoiceCase{"a later face that fits as it is before narrowing an earlier one",
                   {{"DejaVu Sans", false, 90}, {"FreeSans"}},
                   {"FreeSans"}},
        ChoiceCase{"a face whose lines are too tall is passed over, never narrowed",
                   {{"DejaVu Sans", false, 85}, {"Nimbus Sans", true, 95}},
                   {"DejaVu Sans", 85}},
        ChoiceCase{"an earlier face too tall is passed over for a later one narrowed",
                   {{"Arial", true, 95}, {"DejaVu Sans", false, 85}},
                   {"DejaVu Sans", 85}},
        ChoiceCase{"narrowed as little as needed",
                   {{"Liberation Sans", false, 95}, {"DejaVu Sans", false, 60}},
                   {"Liberation Sans", 95}},
        ChoiceCase{
            "narrowed down to half its width", {{"DejaVu Sans", false, 50}}, {"DejaVu Sans", 50}},
        ChoiceCase{"the first low enough face that can be narrowed",
                   {{"Liberation Sans", false, kNever}, {"DejaVu Sans", false, 70}},
                   {"DejaVu Sans", 70}},
        ChoiceCase{"none fits: the first installed as it is",
                   {{"Nimbus Sans", true, 100}, {"DejaVu Sans", true, kNever}},
                   {"DejaVu Sans", 100}},
        ChoiceCase{"none installed: the toolkit's own", {{"Comic Sans"}}, {"", 100}}),
    testing::NameFromWhat<ChoiceCase>);

TEST(TabOrder, ByTabIndexThenAsDescribed) {
  FormDescription form;
  for (const auto& [name, index] : {std::pair{"c", 2}, {"a", 0}, {"d", 2}, {"b", 1}, {"e", 0}}) {
    ControlDescription control;
    control.name = name;
    control.tab_index = index;
    form.controls.push_back(control);
  }
  std::vector<std::string> names;
  for (const ControlDescription* control : InTabOrder(form)) names.push_back(control->name);
  EXPECT_EQ(names, (std::vector<std::string>{"a", "e", "b", "c", "d"}));
  EXPECT_FALSE(TakesFocus(ControlKind::kLabel));
  EXPECT_TRUE(TakesFocus(ControlKind::kPushButton));
  EXPECT_TRUE(TakesFocus(ControlKind::kTextBox));
}

TEST(TextBoxContent, ChangesOnlyWhenTheContentDiffers) {
  TextBoxContent<std::string> box("help");
  const struct {
    const char* content;
    bool changed;
  } steps[] = {{"help", false}, {"xhelp", true}, {"", true}, {"", false}, {"help", true}};
  for (const auto& step : steps) EXPECT_EQ(box.Changed(step.content), step.changed) << step.content;
  EXPECT_FALSE(TextBoxContent<std::string>::IsChange("", ""));
  EXPECT_TRUE(TextBoxContent<std::string>::IsChange("help", ""));
}

}  // namespace
}  // namespace corvane
