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
//  * One that reaches into the new line and has removed characters inside
//    it straddles a junction too. Its one blank is the end of the line
//    before, so it holds nothing of older lines but the end of the line
//    before that, removed; and that line end, like anything in the line
//    before, can only have been removed by the last pass, which completed
//    the line.
//  * A pass therefore looks only at the 15 live characters on either side
//    of the junctions of the previous pass, and searches the bytes of the
//    new line together with the live characters, up to 15, right before it.
//  * Removed characters are not moved out of the buffer at once: they stay,
//    dead, in runs, [begin, end) stretches of the buffer kept in a vector
//    in the order of the text and merged when they touch. A merge leaves
//    the runs merged away in place, empty, and links the merged run to the
//    live runs on either side of it: erasing them would move all the runs
//    after them, pass after pass. A junction is the run a removal made or
//    grew; its live neighbours lie right outside it, or beyond the runs
//    next to it. Once the passes have left no junction, the runs can take
//    part in no further occurrence, and the live characters are moved
//    together while they are still in the processor's cache.
//
// Most passes have no junction to look at and find nothing in their line;
// such passes change nothing. So the passes are not run line by line as the
// lines arrive: every 32 KiB or so, one search runs over all the new lines
// at once, and only from the line in which it finds something on are the
// passes run one by one, until they are back to having no junctions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

inline constexpr std::string_view kContinueReading = "Continue reading";

class JoinedText {
 public:
  // How much new text may wait for its passes, in bytes. Any amount gives
  // the same text; this one keeps the waiting text in the processor's cache.
  // Measured on bench/extract_bench against passes run line by line (a
  // batch of 0), best of 10 interleaved repetitions in 3 alternating rounds:
  // 19%, 6% and 27% faster on the CR LF pages of 0.2, 1 and 8 MB; within
  // the noise (-13% to +12%) on the LF-only and nested pages.
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

  // Makes room for `size` bytes at once, so that a text known to be that
  // long at most never grows by copying itself.
  void Reserve(std::size_t size) { buffer_.reserve(size); }

  // Runs the final removal pass and returns the text: the live characters,
  // in order, in this object's own buffer. The caller may change the text
  // in place (and resize it) until `Clear`, which it calls before
  // appending again.
  std::string& Finish();

  // Forgets everything appended so far. The buffer keeps its memory, so
  // that the next text grows without copying.
  void Clear();

 private:
  // The dead characters buffer_[begin, end), and the indices in runs_ of
  // the live runs closest to it on either side, npos for none.
  struct Run {
    std::size_t begin;
    std::size_t end;
    std::size_t before;
    std::size_t after;
  };
  // An occurrence found by a pass: the buffer positions of its first and
  // last characters; whatever lies between them and is not part of it is
  // dead already. `junction` is the run it was found across, an index into
  // runs_, or npos for one found in a row in the new text.
  struct Occurrence {
    std::size_t first;
    std::size_t last;
    std::size_t junction;
  };

  // Runs the passes of the lines that ended since the last catch-up.
  void CatchUp();
  // Runs one removal pass over the text up to `limit`, where a line ended.
  // The search of the new text starts at `first_new`, or is left out when
  // that is npos: it is known to find nothing.
  void RemovalPass(std::size_t limit, std::size_t first_new);
  // Where the search of the new text starts: up to 15 live characters
  // before it.
  std::size_t SearchStart() const;

  // Adds to `found` the occurrence, if any, that straddles runs_[junction]
  // and has no character at or after `limit`.
  void FindAcross(std::size_t junction, std::size_t limit, std::vector<Occurrence>& found) const;
  // The start of the first occurrence in buffer_[begin, end), which is all
  // live, or npos.
  std::size_t FindFirst(std::size_t begin, std::size_t end) const;
  // Looks for occurrences lying wholly in buffer_[begin, end), which is
  // all live.
  void FindWithin(std::size_t begin, std::size_t end, std::vector<Occurrence>& found) const;
  // Makes an occurrence dead: one run from its first to its last character,
  // merged with the runs it touches. Returns the index of that run.
  std::size_t Remove(const Occurrence& occurrence);

  // Moves the live characters together, so that nothing is dead. Only
  // between passes that leave no junctions.
  void Compact();

  // Check the invariants below, in debug builds: all of them, in time
  // proportional to runs_, before each compaction (which takes that long
  // anyway); after each pass, those of the junctions and their neighbours,
  // in time proportional to the junctions, as the pass itself. Checking
  // everything after every pass would make a long page's check quadratic.
  void CheckInvariants() const;
  void CheckJunctions() const;

  std::size_t batch_;
  std::string buffer_;
  // Invariants, between passes:
  //  * runs_ holds the runs made since the last compaction. A run merged
  //    into another stays, empty, and no link leads to it. The others, the
  //    live runs, are linked by `before` and `after` in the order of the
  //    text, which is also their order in runs_; the last of runs_ is live.
  //  * No two live runs touch: a.end < b.begin when b comes after a. So a
  //    live run is a whole stretch of dead characters.
  //  * Every live run holds at least one whole occurrence, and ends at or
  //    before unscanned_: passes remove only what they have reached.
  //  * junctions_ are indices of live runs, in increasing order.
  //  * unscanned_ lies within buffer_.
  std::vector<Run> runs_;
  std::vector<std::size_t> junctions_;  // the runs the last pass made or grew
  std::size_t unscanned_ = 0;           // buffer_[unscanned_, end) is new since the last pass
  std::vector<std::size_t> line_ends_;  // where the lines since then end
  std::vector<Occurrence> found_;       // scratch, kept to reuse its memory
};

}  // namespace corvane
