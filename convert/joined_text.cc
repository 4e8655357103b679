#include "convert/joined_text.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace corvane {

namespace {

constexpr std::size_t kLinkSize = kContinueReading.size();
constexpr std::size_t kNone = std::string::npos;
constexpr std::size_t kBoundSize = sizeof(std::uint64_t);
static_assert(kLinkSize >= 2 * kBoundSize, "a dead run must hold both of its bounds");

}  // namespace

void JoinedText::RemovalPass() {
  found_.clear();
  for (std::size_t junction : junctions_) {
    FindAcross(junction, RunEndFromStart(junction), found_);
  }
  junctions_.clear();
  if (unscanned_ < buffer_.size()) {
    // Occurrences with dead characters inside were found at the junctions;
    // the others lie in live bytes from at most 15 before the new text on.
    const std::size_t back = std::min(kLinkSize - 1, unscanned_);
    FindWithin(std::max(unscanned_ - back, live_from_), buffer_.size(), found_);
    unscanned_ = buffer_.size();
  }
  if (found_.empty()) return;

  // One occurrence can be found from two junctions; distinct occurrences
  // never overlap, so ordering them by their first character orders them
  // in the text.
  auto first = [](const Occurrence& o) { return o.positions[0]; };
  std::sort(found_.begin(), found_.end(),
            [&](const Occurrence& a, const Occurrence& b) { return first(a) < first(b); });
  found_.erase(
      std::unique(found_.begin(), found_.end(),
                  [&](const Occurrence& a, const Occurrence& b) { return first(a) == first(b); }),
      found_.end());
  for (const Occurrence& occurrence : found_) {
    std::size_t run_start = Remove(occurrence);
    if (junctions_.empty() || junctions_.back() != run_start) junctions_.push_back(run_start);
  }
}

std::string_view JoinedText::Finish() {
  RemovalPass();
  if (dead_count_ > 0) {
    char* data = buffer_.data();
    std::size_t size = buffer_.size();
    std::size_t write = NextDead(0);
    std::size_t read = write;
    while (read < size) {
      read = RunEndFromStart(read);
      std::size_t dead = NextDead(read);
      std::memmove(data + write, data + read, dead - read);
      write += dead - read;
      read = dead;
    }
    buffer_.resize(write);
    dead_.clear();
    dead_count_ = 0;
    live_from_ = 0;
  }
  return buffer_;
}

void JoinedText::Clear() {
  buffer_.clear();
  dead_.clear();
  dead_count_ = 0;
  live_from_ = 0;
  junctions_.clear();
  unscanned_ = 0;
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

std::size_t JoinedText::NextDead(std::size_t pos) const {
  std::size_t word = pos / 64;
  if (word >= dead_.size()) return buffer_.size();
  std::uint64_t bits = dead_[word] & (~std::uint64_t{0} << (pos % 64));
  while (bits == 0) {
    if (++word == dead_.size()) return buffer_.size();
    bits = dead_[word];
  }
  return word * 64 + static_cast<std::size_t>(std::countr_zero(bits));
}

void JoinedText::FindAcross(std::size_t left_end, std::size_t right_begin,
                            std::vector<Occurrence>& found) const {
  constexpr std::size_t kSide = kLinkSize - 1;
  std::size_t positions[2 * kSide];
  char window[2 * kSide];

  std::size_t left = 0;
  std::size_t left_positions[kSide];
  for (std::size_t pos = left_end; left < kSide;) {
    pos = PreviousLive(pos);
    if (pos == kNone) break;
    left_positions[left++] = pos;
  }
  if (left == 0) return;

  std::size_t count = 0;
  for (std::size_t i = left; i-- > 0;) positions[count++] = left_positions[i];
  for (std::size_t pos = NextLive(right_begin); count < left + kSide && pos < buffer_.size();
       pos = NextLive(pos + 1)) {
    positions[count++] = pos;
  }
  for (std::size_t i = 0; i < count; ++i) window[i] = buffer_[positions[i]];

  // An occurrence across the junction starts on its left side and ends on
  // its right side; two such occurrences would overlap, so there is at most
  // one.
  for (std::size_t start = 0; start < left && start + kLinkSize <= count; ++start) {
    if (std::memcmp(window + start, kContinueReading.data(), kLinkSize) == 0) {
      Occurrence occurrence;
      std::copy_n(positions + start, kLinkSize, occurrence.positions);
      found.push_back(occurrence);
      return;
    }
  }
}

void JoinedText::FindWithin(std::size_t begin, std::size_t end,
                            std::vector<Occurrence>& found) const {
  if (end - begin < kLinkSize) return;
  const char* const data = buffer_.data();
  const char* at = data + begin;
  const char* const last_start = data + end - kLinkSize;
  // Runs once or twice per line: memchr and a comparison of known length
  // are much quicker here than a general substring search.
  while (at <= last_start) {
    at = static_cast<const char*>(std::memchr(at, kContinueReading[0], last_start - at + 1));
    if (at == nullptr) return;
    if (std::memcmp(at, kContinueReading.data(), kLinkSize) == 0) {
      Occurrence occurrence;
      const std::size_t start = at - data;
      for (std::size_t i = 0; i < kLinkSize; ++i) occurrence.positions[i] = start + i;
      found.push_back(occurrence);
      at += kLinkSize;
    } else {
      ++at;
    }
  }
}

std::size_t JoinedText::Remove(const Occurrence& occurrence) {
  for (std::size_t pos : occurrence.positions) MarkDead(pos);
  dead_count_ += kLinkSize;

  // Everything between the first and the last character was dead already,
  // so the new run reaches from the first to the last, and further where it
  // touches older runs.
  const std::size_t first = occurrence.positions[0];
  const std::size_t last = occurrence.positions[kLinkSize - 1];
  std::size_t start = first;
  if (first > 0 && IsDead(first - 1)) start = RunStartFromLast(first - 1);
  std::size_t end = last + 1;
  if (end < buffer_.size() && IsDead(end)) end = RunEndFromStart(end);
  WriteRunBounds(start, end);
  live_from_ = std::max(live_from_, end);
  return start;
}

}  // namespace corvane
