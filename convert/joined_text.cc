#include "convert/joined_text.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvane {

namespace {

constexpr std::size_t kLinkSize = kContinueReading.size();
constexpr std::size_t kNone = std::string::npos;
constexpr std::size_t kBoundSize = sizeof(std::uint64_t);
static_assert(kLinkSize >= 2 * kBoundSize, "a dead run must hold both of its bounds");

// Around a junction: up to 15 live characters on either side.
constexpr std::size_t kSide = kLinkSize - 1;
constexpr std::uint64_t kSideBits = (std::uint64_t{1} << kSide) - 1;

// Where in `window` (the characters on either side of a junction, the
// left side ending at `kSide`; readable for 32 characters) an occurrence
// across the junction starts, among the first `starts` places, or npos.
// There is at most one: two would overlap. Only starts where the first and
// last characters match are compared in full, and they are picked out
// without a branch per start.
std::size_t LinkInWindow(const char* window, std::size_t starts) {
#if defined(__SSE2__)
  const __m128i firsts = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(window)),
                                        _mm_set1_epi8(kContinueReading.front()));
  const __m128i lasts =
      _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(window + kSide)),
                     _mm_set1_epi8(kContinueReading.back()));
  std::uint32_t candidates = _mm_movemask_epi8(_mm_and_si128(firsts, lasts));
#else
  std::uint32_t candidates = 0;
  for (std::size_t start = 0; start < kSide; ++start) {
    const bool ends_match = (window[start] == kContinueReading.front()) &
                            (window[start + kSide] == kContinueReading.back());
    candidates |= std::uint32_t{ends_match} << start;
  }
#endif
  candidates &= (std::uint32_t{1} << starts) - 1;
  for (; candidates != 0; candidates &= candidates - 1) {
    const std::size_t start = std::countr_zero(candidates);
    if (std::memcmp(window + start, kContinueReading.data(), kLinkSize) == 0) return start;
  }
  return kNone;
}

}  // namespace

void JoinedText::CatchUp() {
  if (line_ends_.empty()) return;
  const std::size_t end = line_ends_.back();
  // The first occurrence in the bytes of the new lines: the passes of the
  // lines before the one in which it ends find nothing there, and when they
  // have no junctions to look at either, they change nothing and are
  // skipped.
  std::size_t next = FindFirst(SearchStart(), end);
  for (std::size_t line = 0; line < line_ends_.size(); ++line) {
    // The line in which `next` ends.
    const std::size_t own_line =
        next == kNone
            ? line_ends_.size()
            : std::upper_bound(line_ends_.begin() + line, line_ends_.end(), next + kLinkSize - 1) -
                  line_ends_.begin();
    if (own_line > line && junctions_.empty()) {
      if (next == kNone) break;
      line = own_line;
      unscanned_ = line_ends_[line - 1];
    } else if (own_line > line && junctions_.size() == 1) {
      // The passes up to that line have one junction and nothing else.
      const std::size_t done = TakeApartNesting(own_line - line, line_ends_[line]);
      if (done > 0) {
        line += done - 1;
        unscanned_ = line_ends_[line];
        continue;
      }
    }
    const bool own = line == own_line;
    RemovalPass(line_ends_[line], own, next);
    if (own) next = FindFirst(SearchStart(), end);
  }
  unscanned_ = end;
  line_ends_.clear();
  // Dead runs that no junction holds can take part in no further
  // occurrence: out with them while they are near in memory.
  if (junctions_.empty()) Compact();
}

void JoinedText::Compact() {
  if (dead_count_ > 0) {
    char* data = buffer_.data();
    const std::size_t size = buffer_.size();
    std::size_t write = NextDead(dead_base_);
    std::size_t read = write;
    while (read < size) {
      read = RunEndFromStart(read);
      const std::size_t dead = NextDead(read);
      std::memmove(data + write, data + read, dead - read);
      write += dead - read;
      read = dead;
    }
    unscanned_ -= size - write;  // everything dead lay before it
    buffer_.resize(write);
  }
  dead_.clear();
  dead_count_ = 0;
  live_from_ = 0;
  // Most occurrences found from now on start at most 15 characters before
  // the text that has not been searched yet.
  dead_base_ = (unscanned_ - std::min(unscanned_, kLinkSize - 1)) / 64 * 64;
}

std::size_t JoinedText::SearchStart() const {
  return std::max(unscanned_ - std::min(kLinkSize - 1, unscanned_), live_from_);
}

void JoinedText::RemovalPass(std::size_t limit, bool search_new_text, std::size_t first_new) {
  if (junctions_.size() == 1 && !search_new_text) {
    // The usual pass while a nesting is taken apart, one level a line: one
    // junction and nothing else.
    const std::optional<Occurrence> occurrence = FindAcross(junctions_[0], limit);
    if (occurrence) {
      junctions_[0] = Remove(*occurrence);
    } else {
      junctions_.clear();
    }
    unscanned_ = limit;
    return;
  }

  found_.clear();
  for (std::size_t junction : junctions_) {
    if (const std::optional<Occurrence> occurrence = FindAcross(junction, limit)) {
      found_.push_back(*occurrence);
    }
  }
  junctions_.clear();
  // Occurrences with dead characters inside were found at the junctions;
  // the others lie in live bytes from at most 15 before the new text on,
  // and from `first_new` on.
  if (search_new_text) FindWithin(std::max(SearchStart(), first_new), limit, found_);
  unscanned_ = limit;
  if (found_.empty()) return;

  // One occurrence can be found from two junctions; distinct occurrences
  // never overlap, so ordering them by their first character orders them
  // in the text.
  auto before = [](const Occurrence& a, const Occurrence& b) { return a.first < b.first; };
  if (found_.size() > 1 && !std::is_sorted(found_.begin(), found_.end(), before)) {
    std::sort(found_.begin(), found_.end(), before);
  }
  found_.erase(
      std::unique(found_.begin(), found_.end(),
                  [](const Occurrence& a, const Occurrence& b) { return a.first == b.first; }),
      found_.end());
  for (const Occurrence& occurrence : found_) {
    std::size_t run_start = Remove(occurrence);
    if (junctions_.empty() || junctions_.back() != run_start) junctions_.push_back(run_start);
  }
}

std::string JoinedText::Finish() {
  CatchUp();
  RemovalPass(buffer_.size(), /*search_new_text=*/true, /*first_new=*/0);
  junctions_.clear();  // no pass follows
  Compact();
  last_capacity_ = buffer_.capacity();
  return std::move(buffer_);
}

void JoinedText::Clear() {
  buffer_.clear();
  buffer_.reserve(last_capacity_);
  dead_.clear();
  dead_base_ = 0;
  dead_count_ = 0;
  live_from_ = 0;
  junctions_.clear();
  unscanned_ = 0;
  line_ends_.clear();
}

std::size_t JoinedText::RunEndFromStart(std::size_t run_start) const {
  std::uint64_t end;
  std::memcpy(&end, buffer_.data() + run_start, kBoundSize);
  return static_cast<std::size_t>(end);
}

std::size_t JoinedText::RunStartFromLast(std::size_t run_last) const {
  std::uint64_t start;
  std::memcpy(&start, buffer_.data() + run_last + 1 - kBoundSize, kBoundSize);
  return static_cast<std::size_t>(start);
}

void JoinedText::WriteRunBounds(std::size_t start, std::size_t end) {
  const std::uint64_t start_value = start;
  const std::uint64_t end_value = end;
  std::memcpy(buffer_.data() + start, &end_value, kBoundSize);
  std::memcpy(buffer_.data() + end - kBoundSize, &start_value, kBoundSize);
}

std::size_t JoinedText::PreviousLive(std::size_t pos) const {
  if (pos == 0) return kNone;
  std::size_t before = pos - 1;
  if (!IsDead(before)) return before;
  std::size_t run_start = RunStartFromLast(before);
  return run_start == 0 ? kNone : run_start - 1;
}

std::size_t JoinedText::NextLive(std::size_t pos) const {
  if (pos < buffer_.size() && IsDead(pos)) return RunEndFromStart(pos);
  return pos;
}

void JoinedText::MarkDeadSlowly(std::size_t begin, std::size_t end) {
  if (begin >= end) return;
  if (begin < dead_base_) {
    // A nesting taken apart level by level reaches back into text that was
    // compacted: the bitmap grows to the front, at least doubling.
    const std::size_t grow = std::max(dead_base_ - begin / 64 * 64, dead_.size() * 64);
    const std::size_t new_base = dead_base_ - std::min(dead_base_, grow);
    dead_.insert(dead_.begin(), (dead_base_ - new_base) / 64, 0);
    dead_base_ = new_base;
  }
  begin -= dead_base_;
  end -= dead_base_;
  if ((end - 1) / 64 + 1 >= dead_.size()) {
    // Room for the whole text at once, and the word after it.
    dead_.resize(std::max((end - 1) / 64, (buffer_.size() - dead_base_) / 64) + 2, 0);
  }
  if (end - begin < 64) {
    // At most two words; the one after the last is there (see above).
    const std::uint64_t bits = (std::uint64_t{1} << (end - begin)) - 1;
    const std::size_t word = begin / 64;
    const std::size_t shift = begin % 64;
    dead_[word] |= bits << shift;
    if (shift != 0) dead_[word + 1] |= bits >> (64 - shift);
    return;
  }
  for (; begin < end; ++begin) dead_[begin / 64] |= std::uint64_t{1} << (begin % 64);
}

std::size_t JoinedText::NextDead(std::size_t pos) const {
  const std::size_t bit = std::max(pos, dead_base_) - dead_base_;
  std::size_t word = bit / 64;
  if (word >= dead_.size()) return buffer_.size();
  std::uint64_t bits = dead_[word] & (~std::uint64_t{0} << (bit % 64));
  while (bits == 0) {
    if (++word == dead_.size()) return buffer_.size();
    bits = dead_[word];
  }
  return dead_base_ + word * 64 + static_cast<std::size_t>(std::countr_zero(bits));
}

std::size_t JoinedText::TakeApartNesting(std::size_t passes, std::size_t limit) {
  std::size_t start = junctions_.front();
  std::size_t end = RunEndFromStart(start);
  std::size_t done = 0;
  for (; done < passes; ++done) {
    // The run with 15 live characters on either side, all before `limit`.
    if (start < kSide || end + kSide > limit || (DeadBitsFrom(start - kSide) & kSideBits) != 0 ||
        (DeadBitsFrom(end) & kSideBits) != 0) {
      break;
    }
    char window[2 * kSide + 2] = {};
    std::memcpy(window, buffer_.data() + start - kSide, kSide);
    std::memcpy(window + kSide, buffer_.data() + end, kSide);
    const std::size_t at = LinkInWindow(window, kSide);
    if (at == kNone) {
      WriteRunBounds(start, end);
      junctions_.clear();  // the pass finds nothing: the nesting is gone
      return done + 1;
    }
    const std::size_t first = start - kSide + at;
    const std::size_t last = end + at;
    if ((first > 0 && IsDead(first - 1)) || (last + 1 < buffer_.size() && IsDead(last + 1))) {
      break;  // the run would merge with another: left to the general pass
    }
    MarkDead(first, start);
    MarkDead(end, last + 1);
    dead_count_ += kLinkSize;
    start = first;
    end = last + 1;
    live_from_ = std::max(live_from_, end);
  }
  WriteRunBounds(start, end);
  junctions_.front() = start;
  return done;
}

std::optional<JoinedText::Occurrence> JoinedText::FindAcross(std::size_t junction,
                                                             std::size_t limit) const {
  const std::size_t left_end = junction;
  const std::size_t right_begin = RunEndFromStart(junction);
  // The live characters on either side, up to 15 each, with their positions
  // where they are not simply the 15 right before and after the junction.
  char window[2 * kSide + 2] = {};  // two more for reading 16 at a time
  std::size_t positions[2 * kSide];
  std::size_t left = 0;
  std::size_t count = 0;
  const bool plain = left_end >= kSide && right_begin + kSide <= limit &&
                     (DeadBitsFrom(left_end - kSide) & kSideBits) == 0 &&
                     (DeadBitsFrom(right_begin) & kSideBits) == 0;
  if (plain) {
    std::memcpy(window, buffer_.data() + left_end - kSide, kSide);
    std::memcpy(window + kSide, buffer_.data() + right_begin, kSide);
    left = kSide;
    count = 2 * kSide;
  } else {
    std::size_t left_positions[kSide];
    for (std::size_t pos = left_end; left < kSide;) {
      pos = PreviousLive(pos);
      if (pos == kNone) break;
      left_positions[left++] = pos;
    }
    if (left == 0) return std::nullopt;
    for (std::size_t i = left; i-- > 0;) positions[count++] = left_positions[i];
    for (std::size_t pos = NextLive(right_begin); count < left + kSide && pos < limit;
         pos = NextLive(pos + 1)) {
      positions[count++] = pos;
    }
    for (std::size_t i = 0; i < count; ++i) window[i] = buffer_[positions[i]];
  }

  // An occurrence across the junction starts on its left side and ends on
  // its right side.
  const std::size_t starts = count >= kLinkSize ? std::min(left, count - kLinkSize + 1) : 0;
  const std::size_t start = LinkInWindow(window, starts);
  if (start == kNone) return std::nullopt;
  if (plain) {
    return Occurrence{left_end - kSide + start, right_begin + start, Layout::kAroundJunction,
                      junction};
  }
  return Occurrence{positions[start], positions[start + kLinkSize - 1], Layout::kScattered};
}

std::size_t JoinedText::FindFirst(std::size_t begin, std::size_t end) const {
  if (end - begin < kLinkSize) return kNone;
  const char* const data = buffer_.data();
  const char* const last_start = data + end - kLinkSize;
  const char* at = data + begin;
  while (at <= last_start) {
    at = static_cast<const char*>(std::memchr(at, kContinueReading.front(), last_start + 1 - at));
    if (at == nullptr) break;
    // Where "C" comes thick ("ContinContinContin..."), the next one is a few
    // characters on: look there before calling memchr again.
    for (const char* const near_end = std::min(at + 16, last_start + 1); at < near_end; ++at) {
      if (*at == kContinueReading.front() &&
          std::memcmp(at, kContinueReading.data(), kLinkSize) == 0) {
        return at - data;
      }
    }
  }
  return kNone;
}

void JoinedText::FindWithin(std::size_t begin, std::size_t end,
                            std::vector<Occurrence>& found) const {
  for (std::size_t at = FindFirst(begin, end); at != kNone; at = FindFirst(at + kLinkSize, end)) {
    found.push_back({at, at + kLinkSize - 1, Layout::kInARow});
  }
}

std::size_t JoinedText::Remove(const Occurrence& occurrence) {
  switch (occurrence.layout) {
    case Layout::kInARow:
      MarkDead(occurrence.first, occurrence.last + 1);
      break;
    case Layout::kAroundJunction:
      MarkDead(occurrence.first, occurrence.junction);
      MarkDead(RunEndFromStart(occurrence.junction), occurrence.last + 1);
      break;
    case Layout::kScattered:
      // Its live stretches, between the dead runs it straddles.
      for (std::size_t pos = occurrence.first; pos <= occurrence.last;) {
        const std::size_t dead = FirstDeadIn(pos, occurrence.last + 1);
        MarkDead(pos, dead);
        if (dead > occurrence.last) break;
        pos = RunEndFromStart(dead);
      }
      break;
  }
  dead_count_ += kLinkSize;

  // Everything between the first and the last character was dead already,
  // so the new run reaches from the first to the last, and further where it
  // touches older runs.
  const std::size_t first = occurrence.first;
  const std::size_t last = occurrence.last;
  std::size_t start = first;
  if (first > 0 && IsDead(first - 1)) start = RunStartFromLast(first - 1);
  std::size_t end = last + 1;
  if (end < buffer_.size() && IsDead(end)) end = RunEndFromStart(end);
  WriteRunBounds(start, end);
  live_from_ = std::max(live_from_, end);
  return start;
}

}  // namespace corvane
