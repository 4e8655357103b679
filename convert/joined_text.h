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
//    live characters steps across a run in one move. Once the passes have
//    left no junction, the dead runs can take part in no further occurrence,
//    and the live characters are moved together while they are still in the
//    processor's cache.
//
// Most passes have no junction to look at and find nothing in their line;
// such passes change nothing. So the passes are not run line by line as the
// lines arrive: every 32 KiB or so, one search runs over all the new lines
// at once, and only from the line in which it finds something on are the
// passes run one by one, until they are back to having no junctions.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

inline constexpr std::string_view kContinueReading = "Continue reading";

class JoinedText {
 public:
  // How much new text may wait for its passes, in bytes. Any amount gives
  // the same text; this one keeps the waiting text in the processor's cache.
  static constexpr std::size_t kDefaultBatch = 32 * 1024;

  explicit JoinedText(std::size_t batch = kDefaultBatch) : batch_(batch) {}

  // Appends `line` and one space; its removal pass follows, at once or
  // with the rest of its batch.
  void AppendLine(std::string_view line) {
    AppendText(line);
    EndLine();
  }

  // The same in pieces: `AppendText` adds characters to the current line,
  // `EndLine` adds the space and ends the line.
  void AppendText(std::string_view text) { buffer_.append(text); }
  void EndLine() {
    buffer_.push_back(' ');
    line_ends_.push_back(buffer_.size());
    if (buffer_.size() - unscanned_ >= batch_) CatchUp();
  }

  // Runs the final removal pass and hands the text over: the live
  // characters, in order. Call `Clear` before appending again.
  std::string Finish();

  // Forgets everything appended so far. The next text gets room for as much
  // as the last one had, so that it grows without copying.
  void Clear();

 private:
  // An occurrence found by a pass: the buffer positions of its first and
  // last characters. Whatever lies between them and is not part of it is
  // dead already: its characters lie in a row, or around the dead run that
  // starts at `junction`, or are scattered among several dead runs.
  enum class Layout { kInARow, kAroundJunction, kScattered };
  struct Occurrence {
    std::size_t first;
    std::size_t last;
    Layout layout;
    std::size_t junction = 0;
  };

  // Runs the passes of the lines that ended since the last catch-up.
  void CatchUp();
  // Moves the live characters together, so that nothing is dead. Only
  // between passes that leave no junctions.
  void Compact();
  // Runs one removal pass over the text up to `limit`, where a line ended.
  // The search of the text after `unscanned_` may be left out when it is
  // known to find nothing, and starts at `first_new` when nothing lies
  // before that.
  void RemovalPass(std::size_t limit, bool search_new_text, std::size_t first_new);
  // Runs up to `passes` passes that have the one junction in junctions_ to
  // look at and nothing else, none with text at or after `limit` in reach:
  // a nesting taken apart one level a pass, as long as each level lies
  // around the run alone. Returns the passes run; junctions_ holds what the
  // last one left.
  std::size_t TakeApartNesting(std::size_t passes, std::size_t limit);
  // Where the search of the text after `unscanned_` starts: up to 15 live
  // characters before it.
  std::size_t SearchStart() const;

  // The bitmap covers buffer_ from dead_base_ on, as far as there are dead
  // characters; all else is live.
  bool IsDead(std::size_t pos) const {
    if (pos < dead_base_) return false;
    const std::size_t bit = pos - dead_base_;
    return bit / 64 < dead_.size() && ((dead_[bit / 64] >> (bit % 64)) & 1U);
  }
  // Marks buffer_[begin, end) dead.
  void MarkDead(std::size_t begin, std::size_t end) {
    // The usual case: a few characters, in the part of the text the bitmap
    // already covers, with the word after them.
    if (begin >= dead_base_ && end - begin < 64 && (end - dead_base_ + 63) / 64 < dead_.size()) {
      const std::uint64_t bits = (std::uint64_t{1} << (end - begin)) - 1;
      const std::size_t word = (begin - dead_base_) / 64;
      const std::size_t shift = (begin - dead_base_) % 64;
      dead_[word] |= bits << shift;
      if (shift != 0) dead_[word + 1] |= bits >> (64 - shift);
    } else {
      MarkDeadSlowly(begin, end);
    }
  }
  void MarkDeadSlowly(std::size_t begin, std::size_t end);

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
  // Bit i tells whether buffer_[begin + i] is dead.
  std::uint64_t DeadBitsFrom(std::size_t begin) const {
    if (begin < dead_base_) {
      const std::size_t gap = dead_base_ - begin;
      return gap < 64 ? DeadBitsFrom(dead_base_) << gap : 0;
    }
    const std::size_t word = (begin - dead_base_) / 64;
    const std::size_t shift = (begin - dead_base_) % 64;
    std::uint64_t bits = word < dead_.size() ? dead_[word] >> shift : 0;
    if (shift != 0 && word + 1 < dead_.size()) bits |= dead_[word + 1] << (64 - shift);
    return bits;
  }
  // The first dead position in buffer_[begin, end), or `end`.
  std::size_t FirstDeadIn(std::size_t begin, std::size_t end) const {
    for (begin = std::max(begin, dead_base_);
         begin < end && (begin - dead_base_) / 64 < dead_.size(); begin += 64) {
      const std::uint64_t bits = DeadBitsFrom(begin);
      if (bits != 0) return std::min(end, begin + std::countr_zero(bits));
    }
    return end;
  }
  // The first dead position at or after `pos`, or the buffer's end.
  std::size_t NextDead(std::size_t pos) const;

  // The occurrence, if any, that straddles the dead run starting at
  // `junction` and has no character at or after `limit`.
  std::optional<Occurrence> FindAcross(std::size_t junction, std::size_t limit) const;
  // The start of the first occurrence in buffer_[begin, end), which is all
  // live, or npos.
  std::size_t FindFirst(std::size_t begin, std::size_t end) const;
  // Looks for occurrences lying wholly in buffer_[begin, end), which is
  // all live.
  void FindWithin(std::size_t begin, std::size_t end, std::vector<Occurrence>& found) const;
  // Marks an occurrence dead, merges it with neighbouring dead runs and
  // returns the start of the merged run.
  std::size_t Remove(const Occurrence& occurrence);

  std::size_t batch_;
  std::string buffer_;
  std::size_t last_capacity_ = 0;
  // One bit per byte of buffer_ from dead_base_ on; all before is live.
  std::vector<std::uint64_t> dead_;
  std::size_t dead_base_ = 0;
  std::size_t dead_count_ = 0;
  std::size_t live_from_ = 0;           // buffer_[live_from_, end) is all live
  std::vector<std::size_t> junctions_;  // starts of the runs the last pass made
  std::size_t unscanned_ = 0;           // buffer_[unscanned_, end) is new since the last pass
  std::vector<std::size_t> line_ends_;  // where the lines since then end
  std::vector<Occurrence> found_;       // scratch, kept to reuse its memory
};

}  // namespace corvane
