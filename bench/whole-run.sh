#!/usr/bin/env bash
# Times whole runs of corvane2txt-cli against two floors made by
# corvane_io_floor: the sequential I/O floor, which does only the I/O a
# conversion cannot avoid (read each page, write the same bytes as .txt,
# flush file and folder to disk, delete the page), and the no-flush floor,
# the same without the flushes. The rows:
#   - folders of 1,000 pages of 10 KB and of 100 pages of 200 KB,
#   - single pages of 200 KB and of 2 MB: CR LF lines, LF line ends only,
#     and a "Continue reading" nested deep,
# each in one hyperfine run per round, with w3m -dump and html2text on the
# 100 pages and the 2 MB page where they are installed. Then the peak memory
# of corvane2txt-cli for one page of 8 MB and its time on an empty folder.
#
# Every time is taken in rounds in which the programs take turns; the
# summary gives each round's minimum, the median of the rounds' medians and
# the best round's minimum as a multiple of each floor's. Before each run the
# pages are copied afresh into the folder and flushed to disk, outside the
# timing; they are in the page cache, as pages saved a moment ago would be.
#
#   bench/whole-run.sh [--quick] [BUILD_DIR]
#
# BUILD_DIR (default build) must be configured with -DCORVANE_BUILD_BENCH=ON.
# CORVANE_COMPARE_CLI=path/to/an/older/corvane2txt-cli adds that program to
# every row, as "before", to measure a change in the same rounds.
# Needs hyperfine and /usr/bin/time (Debian packages hyperfine and time).
# --quick: a few small pages and two runs, to check that the script works
# (the tests run it so).
set -euo pipefail

quick=false
if [ "${1:-}" = --quick ]; then
  quick=true
  shift
fi
build=$(realpath "${1:-build}")
cli=$build/app/corvane2txt-cli
floor=$build/bench/corvane_io_floor
make_pages=$build/bench/corvane_make_pages
for tool in "$cli" "$floor" "$make_pages"; do
  [ -x "$tool" ] || { echo "whole-run.sh: $tool is missing: build with -DCORVANE_BUILD_BENCH=ON" >&2; exit 1; }
done
for tool in hyperfine /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "whole-run.sh: $tool is missing (apt-get install hyperfine time)" >&2; exit 1; }
done

if $quick; then
  rounds=1 runs=2 small_pages=5 small_size=10000 folder_pages=3 folder_size=20000
  single_size=200000 big_single_size=300000 big_size=1000000 empty_runs=5
else
  rounds=${CORVANE_ROUNDS:-3} runs=5 small_pages=1000 small_size=10000 folder_pages=100
  folder_size=200000 single_size=200000 big_single_size=2000000 big_size=8000000 empty_runs=300
fi
compare=()
if [ -n "${CORVANE_COMPARE_CLI:-}" ]; then
  compare=(-n before "$CORVANE_COMPARE_CLI")
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/corvane-whole-run.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# The other converters work page by page, as one would use them on a folder.
others=()
if command -v w3m >/dev/null; then
  printf '%s\n' '#!/bin/sh' 'for f in *.html; do w3m -dump -T text/html "$f" > "${f%.html}.txt"; done' \
    > "$scratch/w3m-dump"
  others+=(-n "w3m -dump" "$scratch/w3m-dump")
fi
if command -v html2text >/dev/null; then
  printf '%s\n' '#!/bin/sh' 'for f in *.html; do html2text "$f" > "${f%.html}.txt"; done' \
    > "$scratch/html2text"
  others+=(-n html2text "$scratch/html2text")
fi
chmod +x "$scratch"/w3m-dump "$scratch"/html2text 2>/dev/null || true

# Prints the times of hyperfine CSV exports, one per round (command, mean,
# stddev, median, user, system, min, max; in seconds): for each command the
# minimum of each round, the median of the rounds' medians, and the best
# minimum as a multiple of each floor's best.
summary() {
  awk -F, 'FNR == 1 { ++round; next }
           !($1 in min) { order[++count] = $1; min[$1] = $7 }
           { if ($7 < min[$1]) min[$1] = $7; medians[$1] = medians[$1] " " $4
             rounds[$1] = rounds[$1] sprintf(" %.1f", $7 * 1000) }
           END { floor = min["I/O floor"]; bare = min["no-flush floor"]
                 for (i = 1; i <= count; ++i) {
                   name = order[i]; n = split(medians[name], m, " ")
                   for (a = 1; a <= n; ++a) for (b = a + 1; b <= n; ++b) if (m[b] < m[a]) { t = m[a]; m[a] = m[b]; m[b] = t }
                   printf "  %-16s min %9.2f ms   median %9.2f ms   %5.2f x I/O floor   %5.2f x no-flush   rounds:%s ms\n",
                          name, min[name] * 1000, m[int((n + 1) / 2)] * 1000, min[name] / floor,
                          min[name] / bare, rounds[name] } }' "$@"
}

# time_folder NAME COUNT SIZE [SHAPE [--others]]: the commands take turns, in
# rounds, so that a slow spell of the machine does not fall on one of them
# only.
time_folder() {
  local dir=$scratch/$1 with_others=()
  [ "${5:-}" = --others ] && with_others=("${others[@]}")
  mkdir -p "$dir/pages" "$dir/run"
  "$make_pages" "$dir/pages" "$2" "$3" "${4:-crlf}"
  echo
  echo "== $1: $2 page(s) of $3 bytes, ${4:-crlf}; $rounds round(s) of $runs runs"
  for round in $(seq "$rounds"); do
    (cd "$dir/run" && hyperfine -N --style basic --runs "$runs" --warmup 1 \
       --prepare "sh -c 'rm -f ./*; cp ../pages/*.html .; sync ./*.html .'" \
       --export-csv "$dir/times-$round.csv" \
       -n corvane2txt-cli "$cli" "${compare[@]}" -n "I/O floor" "$floor" \
       -n "no-flush floor" "$floor --no-flush" "${with_others[@]}" >"$dir/hyperfine.log" 2>&1)
  done
  summary "$dir"/times-*.csv
}

cd "$scratch"
time_folder small-pages "$small_pages" "$small_size"
time_folder pages "$folder_pages" "$folder_size" crlf --others
time_folder single 1 "$single_size"
time_folder single-crlf 1 "$big_single_size" crlf --others
time_folder single-lf 1 "$big_single_size" lf
time_folder single-nested 1 "$big_single_size" nested

echo
echo "== peak memory for one page of $big_size bytes"
mkdir -p big
"$make_pages" big 1 "$big_size"
rss_kb=$(cd big && /usr/bin/time -f '%M' "$cli" 2>&1 >/dev/null | tail -n 1)
echo "  corvane2txt-cli  max RSS $((rss_kb / 1024)) MB ($rss_kb KB);" \
     "bound 1.2 x page + 4 MB = $(((12 * big_size / 10 + 4 * 1024 * 1024) / 1024 / 1024)) MB"

echo
echo "== empty folder, minimum of $empty_runs runs"
mkdir -p empty
(cd empty && hyperfine -N --style basic --runs "$empty_runs" --warmup 10 \
   --export-csv "$scratch/empty.csv" -n corvane2txt-cli "$cli" >"$scratch/empty.log" 2>&1)
awk -F, 'NR == 2 { printf "  %-16s min %9.2f ms   median %9.2f ms\n", $1, $7 * 1000, $4 * 1000 }' \
  "$scratch/empty.csv"
