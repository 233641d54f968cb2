#!/usr/bin/env bash
# Measures the classic road on a fixed sample of the shared corpus: every 17th problem
# that fits the capacities, in manifest order, starting with the first (100 problems).
# For each problem and each build it reports the instructions counted by
# `valgrind --tool=callgrind` and the wall-clock milliseconds of one plain run; the two
# builds run one after the other on each problem, so that both see the same load.
# Milliseconds (wall and processor time) are the least of three plain runs.
#
#   scripts/bench-corpus.sh NEW_BIN [BASE_BIN]      (make bench-corpus BASE=...)
#
# Prints the medians per build and, with BASE_BIN, the ratios new/base: the ratio of
# the medians and the median of the per-problem ratios.
#
# Callgrind runs some fifty times slower than the program, so the slow end of the
# sample is not run under it: a problem whose plain run of the older build (or of the
# new one, without an older build) takes more than SLOW_MS milliseconds of processor
# time counts as
# "slow" for both builds, above every measured problem. The medians stay exact while
# fewer than half the problems are slow; the new build's median is then, if anything,
# overstated.
#
# Environment: CORPUS (default ../shared/corpus), JOBS (default 1: problems measured at
# once), SLOW_MS (default 300), CAP (default 600: seconds of wall time a callgrind run
# may take; a longer one is killed and counts as "capped", like "slow"), EVERY
# (default 17), OUT (default bench-corpus.tsv: one line per problem).
set -euo pipefail
if (($# < 1 || $# > 2)); then
  echo "usage: $0 NEW_BIN [BASE_BIN]" >&2
  exit 2
fi
new=$(realpath "$1")
base=${2:+$(realpath "$2")}
cd "$(dirname "$0")/.."
corpus=$(realpath "${CORPUS:-../shared/corpus}")
jobs=${JOBS:-1}
cap=${CAP:-600}
every=${EVERY:-17}
slow=${SLOW_MS:-300}
out=${OUT:-bench-corpus.tsv}
command -v valgrind > /dev/null || { echo "$0: valgrind is needed" >&2; exit 2; }

awk -F'\t' -v c="$corpus" -v e="$every" 'NR > 1 && $8 == "yes" && (n++ % e) == 0 { print c "/" $9 }' \
    "$corpus/manifest.tsv" > "$out.sample"
echo "$(wc -l < "$out.sample") problems (every ${every}th fitting one), $jobs at a time" >&2

# Prints "wall cpu": the milliseconds of wall-clock time and of processor time (user
# and system) of a plain run, each the least of three. Processor time hardly depends on
# the load of a shared machine; wall time does.
millis() {
  local t0 t1 wall cpu bestWall="" bestCpu=""
  for _ in 1 2 3; do
    t0=$(date +%s%N)
    cpu=$( { TIMEFORMAT='%3U %3S'; time "$1" "$2" > /dev/null 2>&1; } 2>&1 | awk '{ printf "%d", ($1 + $2) * 1000 }')
    t1=$(date +%s%N)
    wall=$(( (t1 - t0) / 1000000 ))
    if [ -z "$bestWall" ] || ((wall < bestWall)); then bestWall=$wall; fi
    if [ -z "$bestCpu" ] || ((cpu < bestCpu)); then bestCpu=$cpu; fi
    ((cpu > SLOW_MS)) && break  # slow anyway: once is enough
  done
  echo "$bestWall $bestCpu"
}
# Prints the instructions of one run under callgrind, or "capped" past the cap.
instructions() {
  local log ir=capped
  log=$(mktemp)
  if timeout -s KILL "$CAP" valgrind --tool=callgrind --callgrind-out-file=/dev/null \
       "$1" "$2" > /dev/null 2> "$log"; then
    ir=$(awk '/Collected :/ { print $NF }' "$log")
  fi
  rm -f "$log"
  echo "$ir"
}
# One line: problem, then per build (new, then base) instructions, wall ms and cpu ms.
# A problem whose reference run (base, else new) takes more than SLOW_MS milliseconds
# of processor time is not run under callgrind: both builds count it as "slow", above
# every measured problem.
bench_one() {
  local file=$1 n b="" nir bir="" wall cpu
  n=$(millis "$NEW" "$file")
  [ -n "$BASE" ] && b=$(millis "$BASE" "$file")
  cpu=${b:-$n}
  cpu=${cpu#* }
  if ((cpu > SLOW_MS)); then
    nir=slow
    [ -n "$BASE" ] && bir=slow
  else
    nir=$(instructions "$NEW" "$file")
    [ -n "$BASE" ] && bir=$(instructions "$BASE" "$file")
  fi
  printf '%s\t%s\t%s\t%s\t%s\n' "${file#"$CORPUS_DIR"/}" "$nir" "$n" "$bir" "$b" | tr ' ' '\t'
}
export -f millis instructions bench_one
export NEW="$new" BASE="$base" CAP="$cap" SLOW_MS="$slow" CORPUS_DIR="$corpus"
# Lines land in $out.partial as problems finish, so that a run cut short keeps them.
xargs -P "$jobs" -I{} bash -c 'bench_one "$0"' {} < "$out.sample" > "$out.partial"
sort "$out.partial" > "$out"
rm -f "$out.sample" "$out.partial"

# Columns: problem; new instructions, wall ms, cpu ms; base instructions, wall ms, cpu ms.
awk -F'\t' -v withBase="${base:+1}" '
  function big(x) { return (x == "capped" || x == "slow") ? 1e30 : x + 0 }
  function median(a, n,   i, j, t) {
    for (i = 2; i <= n; ++i) { t = a[i]; for (j = i - 1; j >= 1 && a[j] > t; --j) a[j + 1] = a[j]; a[j + 1] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  function show(x) { return x >= 1e29 ? "slow" : sprintf("%.0f", x) }
  {
    ++n; ni[n] = big($2); nw[n] = $3; nc[n] = $4; if (ni[n] >= 1e29) ++ns
    if (withBase) {
      bi[n] = big($5); bw[n] = $6; bc[n] = $7; if (bi[n] >= 1e29) ++bs
      if (ni[n] < 1e29 && bi[n] < 1e29) { ++r; ratio[r] = $2 / $5 }
    }
  }
  END {
    printf "problems: %d\n", n
    mi = median(ni, n); mnw = median(nw, n); mnc = median(nc, n)
    printf "new:  median %s instructions, %s ms wall, %s ms cpu (%d slow or capped)\n", show(mi), mnw, mnc, ns
    if (withBase) {
      mb = median(bi, n); mbw = median(bw, n); mbc = median(bc, n)
      printf "base: median %s instructions, %s ms wall, %s ms cpu (%d slow or capped)\n", show(mb), mbw, mbc, bs
      if (mb < 1e29 && mi < 1e29) printf "ratio new/base of the median instructions: %.3f\n", mi / mb
      if (r > 0) printf "median of the per-problem instruction ratios new/base: %.3f (%d problems)\n", median(ratio, r), r
      if (mbw > 0) printf "ratio new/base of the median wall ms: %.3f\n", mnw / mbw
      if (mbc > 0) printf "ratio new/base of the median cpu ms: %.3f\n", mnc / mbc
    }
  }' "$out"
echo "per problem: $out (problem; new instructions, wall ms, cpu ms; base the same)"
