// Splits the bytes of a page into lines as they are read.
//
// A line ends at CR LF or at a CR alone; the line end is not part of the
// line. An LF that does not follow a CR is an ordinary character, so a file
// with LF-only line ends is one long line. The last line needs no line end,
// and a final line end is not followed by an empty line. Zero bytes give no
// lines.
#pragma once

#include <cstddef>
#include <string_view>

namespace corvane {

// The splitter hands each line to a sink in pieces, without copying it:
//   sink.Text(std::string_view)  more characters of the current line;
//   sink.LineEnd()               the current line is complete.
// A line that spans several chunks arrives as several `Text` calls; an
// empty line is a `LineEnd` alone.
class LineSplitter {
 public:
  // Feeds the next `chunk` of the file.
  template <typename Sink>
  void Feed(std::string_view chunk, Sink& sink);

  // Ends the file: completes the last line if it had no line end, and
  // readies the splitter for the next file.
  template <typename Sink>
  void Finish(Sink& sink);

 private:
  bool in_line_ = false;   // characters of an unfinished line have been passed on
  bool after_cr_ = false;  // the last chunk ended with a CR: an LF may follow
};

template <typename Sink>
void LineSplitter::Feed(std::string_view chunk, Sink& sink) {
  std::size_t begin = 0;
  if (after_cr_ && !chunk.empty()) {
    after_cr_ = false;
    if (chunk.front() == '\n') begin = 1;  // a CR LF split between two chunks
  }
  while (begin < chunk.size()) {
    const std::size_t cr = chunk.find('\r', begin);
    if (cr == std::string_view::npos) {
      sink.Text(chunk.substr(begin));
      in_line_ = true;
      return;
    }
    if (cr > begin) sink.Text(chunk.substr(begin, cr - begin));
    sink.LineEnd();
    in_line_ = false;
    begin = cr + 1;
    if (begin == chunk.size()) {
      after_cr_ = true;
    } else if (chunk[begin] == '\n') {
      ++begin;
    }
  }
}

template <typename Sink>
void LineSplitter::Finish(Sink& sink) {
  if (in_line_) sink.LineEnd();
  in_line_ = false;
  after_cr_ = false;
}

}  // namespace corvane
