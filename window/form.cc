#include "window/form.h"

#include <string_view>

#include "window/maker.h"

namespace corvane {

namespace {

struct HelpLine {
  int leading_blanks;
  std::string_view text;
  int trailing_blanks;
};

std::string BuildHelpText() {
  const std::string address_line = std::string(kMakerDomain) + "/Corvane2txt";
  const HelpLine lines[] = {
      {3, "Put this App in a folder with the pages you downloaded", 1},
      {0, "from Corvane. Click GO and the files will be converted to", 1},
      {0, "text files.", 86},
      {3, "Copy them to your telephone and read them with a", 1},
      {0, "reader app.", 71},
      {3, "The one we use is Cool Reader.", 17},
      {3, "This makes it easier to read on a small screen.", 0},
      {3, "(Do not run in Documents or Download folder)", 0},
      {1, "", 0},
      {3, "If you find this app useful, please consider a $1", 1},
      {0, "donation.", 0},
      {9, address_line, 0},
  };
  std::string text;
  for (const HelpLine& line : lines) {
    text.append(line.leading_blanks, ' ');
    text += line.text;
    text.append(line.trailing_blanks, ' ');
    text += "\r\n";
  }
  return text;
}

FormDescription BuildForm1() {
  const FontDescription title_font{.face = "MS Sans Serif", .point_size = 13.8, .weight = 700};
  return FormDescription{
      .name = "Form1",
      .title = "Form1",
      .accessible_description =
          "Converts the Corvane news pages saved as .html files in this folder into .txt files, "
          "deleting each page once its text file is written.",
      .client_width = 4776,
      .client_height = 4632,
      .font = std::nullopt,  // the platform's default dialog font
      .controls =
          {
              {.name = "Label1",
               .kind = ControlKind::kLabel,
               .tab_index = 0,
               .left = 120,
               .top = 0,
               .width = 4572,
               .height = 372,
               .text = "Convert Corvane html files to txt",
               .font = title_font,
               .heading = true},
              {.name = "GO",
               .kind = ControlKind::kPushButton,
               .tab_index = 1,
               .left = 1920,
               .top = 600,
               .width = 1092,
               .height = 372,
               .text = "GO"},
              {.name = "Donate",
               .kind = ControlKind::kPushButton,
               .tab_index = 2,
               .left = 360,
               .top = 3840,
               .width = 4212,
               .height = 492,
               .text = "If you find this app useful, please consider a $1 donation and Click Here.",
               .visible = false},
              {.name = "Label4",
               .kind = ControlKind::kLabel,
               .tab_index = 3,
               .left = 1320,
               .top = 4200,
               .width = 2292,
               .height = 252,
               .text = std::string(kCopyrightNotice)},
              {.name = "TextBox",
               .kind = ControlKind::kTextBox,
               .tab_index = 4,
               .left = 360,
               .top = 1200,
               .width = 4092,
               .height = 2412,
               .text = HelpText(),
               // Without a name of its own, screen readers announce it as
               // mere text (Qt) or by the label before it in the window's
               // order, the copyright line (Windows).
               .accessible_name = "Help"},
          },
  };
}

}  // namespace

const std::string& HelpText() {
  static const std::string text = BuildHelpText();
  return text;
}

const FormDescription& Form1() {
  static const FormDescription form = BuildForm1();
  return form;
}

}  // namespace corvane
