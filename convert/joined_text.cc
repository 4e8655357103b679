// This file is organized into divisions, in the order in which the work is
// done:
//
//   1. Finding "Continue reading": in live text (FindFirst, FindWithin), and
//      across a junction, where the live characters on either side are
//      gathered into a small window first (LinkInWindow, FindAcross).
//   2. Removing what was found: one dead run for each occurrence, merged
//      with the runs it touches (Remove).
//   3. The passes: one pass (RemovalPass), and the passes of a batch of
//      lines, skipping those that can change nothing (SearchStart, CatchUp).
//   4. Moving the live characters together once no junction is left
//      (Compact), handing the text over and starting again (Finish, Clear).
//   5. The invariants of the runs and positions, checked in debug builds
//      (CheckInvariants, CheckJunctions).
#include "convert/joined_text.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <utility>

#include "convert/blocks.h"

namespace corvane {

namespace {

constexpr std::size_t kLinkSize = kContinueReading.size();
constexpr std::size_t kNone = std::string::npos;

// Around a junction: up to 15 live characters on either side.
constexpr std::size_t kSide = kLinkSize - 1;

// Where in `window` (the characters on either side of a junction, the
// left side ending at `kSide`; readable for 32 characters) an occurrence
// across the junction starts, among the first `starts` places, or npos.
// There is at most one: two would overlap. Only starts where the first and
// last characters match are compared in full, and they are picked out
// without a branch per start.
std::size_t LinkInWindow(const char* window, std::size_t starts) {
  std::uint32_t candidates = MatchesOf16(window, kContinueReading.front()) &
                             MatchesOf16(window + kSide, kContinueReading.back());
  candidates &= (std::uint32_t{1} << starts) - 1;
  for (; candidates != 0; candidates &= candidates - 1) {
    const std::size_t start = std::countr_zero(candidates);
    if (std::memcmp(window + start, kContinueReading.data(), kLinkSize) == 0) return start;
  }
  return kNone;
}

}  // namespace

// 1. Finding "Continue reading".

std::size_t JoinedText::FindFirst(std::size_t begin, std::size_t end) const {
  if (end - begin < kLinkSize) return kNone;
  const char* const data = buffer_.data();
  const char* const last_start = data + end - kLinkSize;
  const char* at = data + begin;
  while (at <= last_start) {
    at = static_cast<const char*>(std::memchr(at, kContinueReading.front(), last_start + 1 - at));
    if (at == nullptr) break;
    if (std::memcmp(at, kContinueReading.data(), kLinkSize) == 0) return at - data;
    ++at;
  }
  return kNone;
}

void JoinedText::FindWithin(std::size_t begin, std::size_t end,
                            std::vector<Occurrence>& found) const {
  for (std::size_t at = FindFirst(begin, end); at != kNone; at = FindFirst(at + kLinkSize, end)) {
    found.push_back({at, at + kLinkSize - 1, kNone});
  }
}

void JoinedText::FindAcross(std::size_t junction, std::size_t limit,
                            std::vector<Occurrence>& found) const {
  const Run& run = runs_[junction];
  char window[2 * kSide + 2] = {};  // two more for reading 16 at a time

  // Usually the 15 characters right before the run and the 15 right after
  // it are live and before `limit`.
  const bool plain = run.begin >= kSide && run.end + kSide <= limit &&
                     (run.before == kNone || runs_[run.before].end + kSide <= run.begin) &&
                     (run.after == kNone || run.end + kSide <= runs_[run.after].begin);
  if (plain) {
    std::memcpy(window, buffer_.data() + run.begin - kSide, kSide);
    std::memcpy(window + kSide, buffer_.data() + run.end, kSide);
    const std::size_t start = LinkInWindow(window, kSide);
    if (start != kNone) found.push_back({run.begin - kSide + start, run.end + start, junction});
    return;
  }

  // Otherwise they are picked one by one, stepping over the runs nearby:
  // up to 15 on the left, and as many on the right.
  std::size_t positions[2 * kSide];
  std::size_t left = 0;
  std::size_t before = run.before;  // the closest run before `pos`
  for (std::size_t pos = run.begin; left < kSide && pos > 0;) {
    if (before != kNone && runs_[before].end == pos) {
      pos = runs_[before].begin;
      before = runs_[before].before;
    } else {
      positions[left++] = --pos;
    }
  }
  std::reverse(positions, positions + left);
  std::size_t count = left;
  std::size_t after = run.after;  // the closest run at or after `pos`
  for (std::size_t pos = run.end; count < left + kSide && pos < limit;) {
    if (after != kNone && runs_[after].begin == pos) {
      pos = runs_[after].end;
      after = runs_[after].after;
    } else {
      positions[count++] = pos++;
    }
  }
  for (std::size_t i = 0; i < count; ++i) window[i] = buffer_[positions[i]];

  // An occurrence across the junction starts on its left side and ends on
  // its right side.
  const std::size_t starts = count >= kLinkSize ? std::min(left, count - kLinkSize + 1) : 0;
  const std::size_t start = LinkInWindow(window, starts);
  if (start != kNone) {
    found.push_back({positions[start], positions[start + kLinkSize - 1], junction});
  }
}

// 2. Removing what was found.

std::size_t JoinedText::Remove(const Occurrence& occurrence) {
  const std::size_t begin = occurrence.first;
  const std::size_t end = occurrence.last + 1;
  // A run it touches: the junction it straddles, or the last run when one
  // in a row in the new text follows right behind it.
  std::size_t near = occurrence.junction;
  if (near == kNone && !runs_.empty() && runs_.back().end == begin) near = runs_.size() - 1;
  if (near == kNone) {
    // It touches none, and lies after them all.
    const std::size_t last = runs_.empty() ? kNone : runs_.size() - 1;
    if (last != kNone) runs_[last].after = runs_.size();
    runs_.push_back({begin, end, last, kNone});
    return runs_.size() - 1;
  }
  // The runs it touches, those inside it and those right next to it, are
  // neighbours; they merge into the last of them.
  std::size_t first = near;
  while (runs_[first].before != kNone && runs_[runs_[first].before].end >= begin) {
    first = runs_[first].before;
  }
  std::size_t last = near;
  while (runs_[last].after != kNone && runs_[runs_[last].after].begin <= end) {
    last = runs_[last].after;
  }
  Run& merged = runs_[last];
  merged.begin = std::min(begin, runs_[first].begin);
  merged.end = std::max(end, merged.end);
  merged.before = runs_[first].before;
  if (merged.before != kNone) runs_[merged.before].after = last;
  for (std::size_t run = first; run != last; run = runs_[run].after) {
    runs_[run].end = runs_[run].begin;  // merged away
  }
  return last;
}

// 3. The passes.

void JoinedText::RemovalPass(std::size_t limit, std::size_t first_new) {
  found_.clear();
  for (std::size_t junction : junctions_) FindAcross(junction, limit, found_);
  // Occurrences with dead characters inside were found at the junctions;
  // the others lie in live bytes from at most 15 before the new text on,
  // and from `first_new` on.
  if (first_new != kNone) FindWithin(std::max(SearchStart(), first_new), limit, found_);
  unscanned_ = limit;
  junctions_.clear();

  // They come in the order of the text: one found across a junction holds
  // that junction, and distinct occurrences do not overlap. One that
  // straddles several junctions comes once for each, in a row. Removing one
  // touches no junction of those that follow, but may merge away the runs
  // made for those before.
  for (std::size_t i = 0; i < found_.size(); ++i) {
    const Occurrence& occurrence = found_[i];
    if (i > 0) {
      assert(occurrence.first >= found_[i - 1].first);
      if (occurrence.first == found_[i - 1].first) continue;
    }
    const std::size_t run = Remove(occurrence);
    while (!junctions_.empty() && runs_[junctions_.back()].begin == runs_[junctions_.back()].end) {
      junctions_.pop_back();  // merged away
    }
    if (junctions_.empty() || junctions_.back() != run) junctions_.push_back(run);
  }
  CheckJunctions();
}

std::size_t JoinedText::SearchStart() const {
  const std::size_t live_from = runs_.empty() ? 0 : runs_.back().end;
  return std::max(unscanned_ - std::min(kSide, unscanned_), live_from);
}

void JoinedText::CatchUp() {
  if (line_ends_.empty()) return;
  const std::size_t end = line_ends_.back();
  // The first occurrence in the bytes of the new lines: the passes of the
  // lines before the one in which it ends find nothing there, and when they
  // have no junctions to look at either, they change nothing and are
  // skipped.
  std::size_t next = FindFirst(SearchStart(), end);
  for (std::size_t line = 0; line < line_ends_.size(); ++line) {
    if (junctions_.empty()) {
      if (next == kNone) break;
      line = std::upper_bound(line_ends_.begin() + line, line_ends_.end(), next + kLinkSize - 1) -
             line_ends_.begin();
      if (line > 0) unscanned_ = line_ends_[line - 1];
    }
    const std::size_t limit = line_ends_[line];
    const bool own = next != kNone && next + kLinkSize <= limit;  // `next` ends in this line
    RemovalPass(limit, own ? next : kNone);
    if (own) next = FindFirst(SearchStart(), end);
  }
  unscanned_ = end;
  line_ends_.clear();
  // Dead runs that no junction holds can take part in no further
  // occurrence: out with them while they are near in memory.
  if (junctions_.empty()) Compact();
}

// 4. Moving the live characters together; finishing and starting again.

void JoinedText::Compact() {
  assert(junctions_.empty() && line_ends_.empty());
  CheckInvariants();
  if (runs_.empty()) return;
  char* const data = buffer_.data();
  std::size_t write = 0;
  std::size_t read = 0;
  for (const Run& run : runs_) {
    if (run.begin == run.end) continue;  // merged away
    if (write != read) std::memmove(data + write, data + read, run.begin - read);
    write += run.begin - read;
    read = run.end;
  }
  std::memmove(data + write, data + read, buffer_.size() - read);
  write += buffer_.size() - read;
  unscanned_ -= buffer_.size() - write;  // every run lay before it
  buffer_.resize(write);
  runs_.clear();
}

std::string& JoinedText::Finish() {
  CatchUp();
  RemovalPass(buffer_.size(), /*first_new=*/0);
  junctions_.clear();  // no pass follows
  Compact();
  return buffer_;
}

void JoinedText::Clear() {
  buffer_.clear();
  runs_.clear();
  junctions_.clear();
  unscanned_ = 0;
  line_ends_.clear();
}

// 5. The invariants (see the members in joined_text.h).

void JoinedText::CheckInvariants() const {
#ifndef NDEBUG
  // The live runs, from the last of runs_ back along the links.
  std::size_t live = 0;
  std::size_t later = kNone;
  for (std::size_t run = runs_.empty() ? kNone : runs_.size() - 1; run != kNone;
       later = run, run = runs_[run].before) {
    ++live;
    // Links both ways; in the order of runs_ and of the text, not touching.
    assert(runs_[run].after == later);
    assert(later == kNone || (run < later && runs_[run].end < runs_[later].begin));
    // Each holds a whole occurrence, and ends at or before unscanned_.
    assert(runs_[run].begin + kLinkSize <= runs_[run].end);
    assert(runs_[run].end <= unscanned_);
  }
  // All others are merged away: empty.
  assert(live + std::count_if(runs_.begin(), runs_.end(),
                              [](const Run& run) { return run.begin == run.end; }) ==
         runs_.size());
  CheckJunctions();
#endif
}

void JoinedText::CheckJunctions() const {
#ifndef NDEBUG
  assert(runs_.empty() || runs_.back().begin < runs_.back().end);  // the last run is live
  for (std::size_t i = 0; i < junctions_.size(); ++i) {
    const std::size_t junction = junctions_[i];
    // Junctions are live runs, in increasing order, each holding a whole
    // occurrence that the passes have reached.
    assert(junction < runs_.size() && (i == 0 || junctions_[i - 1] < junction));
    const Run& run = runs_[junction];
    assert(run.begin + kLinkSize <= run.end && run.end <= unscanned_);
    // Linked both ways with the live runs on either side, which come
    // before and after it in runs_ and in the text, not touching it.
    assert(run.before == kNone || (run.before < junction && runs_[run.before].after == junction &&
                                   runs_[run.before].end < run.begin));
    assert(run.after == kNone || (junction < run.after && runs_[run.after].before == junction &&
                                  run.end < runs_[run.after].begin));
  }
  assert(unscanned_ <= buffer_.size());
#endif
}

}  // namespace corvane
