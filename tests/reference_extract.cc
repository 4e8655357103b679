#include "tests/reference_extract.h"

namespace corvane::testing {

namespace {

const std::string kLink = "Continue reading";
const std::string kRule = "------------------";

// Scans from the start; each occurrence found is removed and the scan goes
// on behind it in the text as it was before the pass.
void RemovalPass(std::string& text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, kLink.size(), kLink) == 0) {
      i += kLink.size();
    } else {
      out += text[i++];
    }
  }
  text = out;
}

}  // namespace

std::vector<std::string> ReferenceLines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::string line;
  bool open = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r') {
      lines.push_back(line);
      line.clear();
      open = false;
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      line += bytes[i];
      open = true;
    }
  }
  if (open) lines.push_back(line);
  return lines;
}

std::optional<std::string> ReferenceExtract(std::string_view page_name,
                                            const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += ' ';
    RemovalPass(text);
  }
  RemovalPass(text);

  // 1-based: a rule at position p drops the first p characters.
  std::size_t p = text.find(kRule);
  if (p != std::string::npos) text.erase(0, p + 1);
  while (!text.empty() && text[0] == '-') text.erase(0, 1);
  std::size_t q = text.find(kRule);
  if (q == std::string::npos) return std::nullopt;
  text.erase(q);

  for (;;) {
    std::size_t lt = text.find('<');
    std::size_t gt = text.find('>');
    if (lt == std::string::npos || gt == std::string::npos) break;
    if (lt < gt) {
      text.erase(lt, gt - lt + 1);
    } else {
      text.erase(gt, 1);
    }
  }
  return std::string(page_name) + "\r\n\r\n" + text;
}

}  // namespace corvane::testing
