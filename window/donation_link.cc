#include "window/donation_link.h"

#include <string>

#include "platform/url_opener.h"
#include "window/maker.h"

namespace corvane {

void OpenDonationLink(FileSystem& files, ProgramStarter& programs) {
  const std::string shortcut(kDonationShortcut);
  std::unique_ptr<OutputFile> file = files.OpenForWriting(shortcut);
  file->Append(std::string(kDonationAddress) + "\r\n");
  file->Close();

  const ProgramCall opener =
      DesktopUrlOpener(JoinPath(files.CurrentDirectory(), kDonationShortcut), kDonationAddress);
  programs.StartProgram(opener.program, opener.arguments);
}

}  // namespace corvane
