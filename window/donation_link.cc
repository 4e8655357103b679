#include "window/donation_link.h"

#include <string>

#include "platform/url_opener.h"
#include "window/maker.h"

namespace corvane {

void OpenDonationLink(Runtime& runtime) {
  const std::string shortcut(kDonationShortcut);
  std::unique_ptr<OutputFile> file = runtime.OpenForWriting(shortcut);
  file->Append(std::string(kDonationAddress) + "\r\n");
  file->Close();

  const ProgramCall opener =
      DesktopUrlOpener(JoinPath(runtime.CurrentDirectory(), kDonationShortcut), kDonationAddress);
  runtime.StartProgram(opener.program, opener.arguments);
}

}  // namespace corvane
