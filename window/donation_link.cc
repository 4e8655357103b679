#include "window/donation_link.h"

#include <string>

#include "window/maker.h"

namespace corvane {

void OpenDonationLink(Runtime& runtime) {
  const std::string shortcut(kDonationShortcut);
  std::unique_ptr<OutputFile> file = runtime.OpenForWriting(shortcut);
  file->Append(std::string(kDonationAddress) + "\r\n");
  file->Close();

  // A desktop opener does not read a shortcut that holds nothing but the
  // address line, so it is given the address itself.
  runtime.StartProgram(std::string(kUrlOpener), {std::string(kDonationAddress)});
}

}  // namespace corvane
