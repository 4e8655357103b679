// The joined text of one page while its lines arrive.
//
// Every line is appended with one space behind it, and after every line one
// removal pass takes out each "Continue reading" of the whole text. Those
// passes are what the result depends on, so they must be kept exactly: a
// removal can bring a new "Continue reading" together ("ContinContinue
// readingue reading"), which only the next pass removes.
//
// Done literally, every pass rescans the whole text and every removal moves
// the rest of it, which is quadratic in the page's size. This class gives
// the same text in linear time:
//
//  * "Continue reading" cannot overlap itself (no proper prefix of it is
//    also a suffix), so a pass removes every occurrence in the text. After a
//    pass, a new occurrence can only straddle a place where that pass
//    removed something (a junction) or reach into the line appended since.
//  * One that reaches into the new line and has dead characters inside it
//    straddles a junction too. Its one blank is the end of the line before,
//    so it holds nothing of older lines but the end of the line before that,
//    dead; and that line end, like anything in the line before, can only
//    have been removed by the last pass, which completed the line.
//  * A pass therefore looks only at the 15 characters on either side of the
//    junctions of the previous pass, and searches the bytes of the new line
//    together with the live characters, up to 15, right before it.
//  * Removed characters are not moved out of the buffer but marked dead, in
//    a bitmap; a maximal run of dead characters is at least 16 long and
//    records its own bounds in its first and last 8 bytes, so a walk over
//    live characters steps across a run in one move. `Finish` compacts the
//    live characters once, at the end.
//
// The common case, a line with no "Continue reading" near it, costs one
// search of the line's bytes and nothing else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

inline constexpr std::string_view kContinueReading = "Continue reading";

class JoinedText {
 public:
  // Appends `line` and one space, then runs one removal pass.
  void AppendLine(std::string_view line) {
    AppendText(line);
    EndLine();
  }

  // The same in pieces: `AppendText` adds characters to the current line,
  // `EndLine` adds the space and runs the pass.
  void AppendText(std::string_view text) { buffer_.append(text); }
  void EndLine() {
    buffer_.push_back(' ');
    RemovalPass();
  }

  // Runs the final removal pass and returns the text: the live characters,
  // in order. The text stays valid until `Clear`; nothing may be appended
  // before that.
  std::string_view Finish();

  // Forgets everything appended so far, keeping the memory for the next
  // page.
  void Clear();

 private:
  // An occurrence found by a pass: the buffer positions of its characters.
  struct Occurrence {
    std::size_t positions[kContinueReading.size()];
  };

  // Runs one removal pass over the whole text.
  void RemovalPass();

  // The bitmap covers the buffer only up to its last dead character.
  bool IsDead(std::size_t pos) const {
    return pos / 64 < dead_.size() && ((dead_[pos / 64] >> (pos % 64)) & 1U);
  }
  void MarkDead(std::size_t pos) {
    if (pos / 64 >= dead_.size()) dead_.resize(pos / 64 + 1, 0);
    dead_[pos / 64] |= std::uint64_t{1} << (pos % 64);
  }

  // Bounds of a dead run, kept in its first and last bytes.
  std::size_t RunEndFromStart(std::size_t run_start) const;
  std::size_t RunStartFromLast(std::size_t run_last) const;
  void WriteRunBounds(std::size_t start, std::size_t end);

  // The closest live position before `pos`, or npos. `pos` is live, the
  // buffer's end, or the first position of a dead run.
  std::size_t PreviousLive(std::size_t pos) const;
  // The first live position at or after `pos`, or the buffer's end. `pos` is
  // live, the buffer's end, or the first position of a dead run.
  std::size_t NextLive(std::size_t pos) const;
  // The first dead position at or after `pos`, or the buffer's end.
  std::size_t NextDead(std::size_t pos) const;

  // Looks for an occurrence that has live characters both before `left_end`
  // and at or after `right_begin` (the two sides of a junction).
  void FindAcross(std::size_t left_end, std::size_t right_begin,
                  std::vector<Occurrence>& found) const;
  // Looks for occurrences lying wholly in buffer_[begin, end), which is
  // all live.
  void FindWithin(std::size_t begin, std::size_t end, std::vector<Occurrence>& found) const;
  // Marks an occurrence dead, merges it with neighbouring dead runs and
  // returns the start of the merged run.
  std::size_t Remove(const Occurrence& occurrence);

  std::string buffer_;
  std::vector<std::uint64_t> dead_;  // one bit per byte of buffer_
  std::size_t dead_count_ = 0;
  std::size_t live_from_ = 0;           // buffer_[live_from_, end) is all live
  std::vector<std::size_t> junctions_;  // starts of the runs the last pass made
  std::size_t unscanned_ = 0;           // buffer_[unscanned_, end) is new since the last pass
  std::vector<Occurrence> found_;       // scratch, kept to reuse its memory
};

}  // namespace corvane
