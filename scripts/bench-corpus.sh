#!/usr/bin/env bash
# Measures the classic road on a fixed sample of the shared corpus: every 17th problem
# that fits the capacities, in manifest order, starting with the first (100 problems).
# For each problem and each build it reports the instructions counted by
# `valgrind --tool=callgrind` and the wall-clock milliseconds of one plain run; the two
# builds run one after the other on each problem, so that both see the same load.
#
#   scripts/bench-corpus.sh NEW_BIN [BASE_BIN]      (make bench-corpus BASE=...)
#
# Prints the medians per build and, with BASE_BIN, the ratios new/base: the ratio of
# the medians and the median of the per-problem ratios.
#
# Environment: CORPUS (default ../shared/corpus), JOBS (default 1: problems measured at
# once), CAP (default 120: seconds of wall time a callgrind run may take; a longer one
# is killed and counts as more than any measured problem), EVERY (default 17),
# OUT (default bench-corpus.tsv: one line per problem).
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
cap=${CAP:-120}
every=${EVERY:-17}
out=${OUT:-bench-corpus.tsv}
command -v valgrind > /dev/null || { echo "$0: valgrind is needed" >&2; exit 2; }

awk -F'\t' -v c="$corpus" -v e="$every" 'NR > 1 && $8 == "yes" && (n++ % e) == 0 { print c "/" $9 }' \
    "$corpus/manifest.tsv" > "$out.sample"
echo "$(wc -l < "$out.sample") problems (every ${every}th fitting one), $jobs at a time" >&2

# Prints "instructions milliseconds" of one build on one problem; instructions is
# "capped" when callgrind needed more than the cap.
measure() {
  local bin=$1 file=$2 ir ms t0 t1 log
  log=$(mktemp)
  if timeout -s KILL "$CAP" valgrind --tool=callgrind --callgrind-out-file=/dev/null \
       "$bin" "$file" > /dev/null 2> "$log"; then
    ir=$(awk '/Collected :/ { print $NF }' "$log")
  else
    ir=capped
  fi
  rm -f "$log"
  t0=$(date +%s%N)
  "$bin" "$file" > /dev/null 2>&1 || true
  t1=$(date +%s%N)
  ms=$(( (t1 - t0) / 1000000 ))
  echo "$ir $ms"
}
bench_one() {
  local file=$1 n b=""
  n=$(measure "$NEW" "$file")
  [ -n "$BASE" ] && b=$(measure "$BASE" "$file")
  printf '%s\t%s\t%s\n' "${file#"$CORPUS_DIR"/}" "$n" "$b" | tr ' ' '\t'
}
export -f measure bench_one
export NEW="$new" BASE="$base" CAP="$cap" CORPUS_DIR="$corpus"
xargs -P "$jobs" -I{} bash -c 'bench_one "$0"' {} < "$out.sample" | sort > "$out"
rm -f "$out.sample"

# Columns: problem, new instructions, new ms, base instructions, base ms.
awk -F'\t' -v withBase="${base:+1}" '
  function big(x) { return x == "capped" ? 1e30 : x + 0 }
  function median(a, n,   i, j, t) {
    for (i = 2; i <= n; ++i) { t = a[i]; for (j = i - 1; j >= 1 && a[j] > t; --j) a[j + 1] = a[j]; a[j + 1] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  function show(x) { return x >= 1e29 ? "capped" : sprintf("%.0f", x) }
  {
    ++n; ni[n] = big($2); nm[n] = $3; if ($2 == "capped") ++nc
    if (withBase) {
      bi[n] = big($4); bm[n] = $5; if ($4 == "capped") ++bc
      if ($2 != "capped" && $4 != "capped") { ++r; ratio[r] = $2 / $4 }
    }
  }
  END {
    printf "problems: %d\n", n
    printf "new:  median %s instructions, median %s ms (%d capped)\n", show(median(ni, n)), median(nm, n), nc
    if (withBase) {
      printf "base: median %s instructions, median %s ms (%d capped)\n", show(median(bi, n)), median(bm, n), bc
      mi = median(ni, n); mb = median(bi, n)
      if (mb < 1e29 && mi < 1e29) printf "ratio new/base of the median instructions: %.3f\n", mi / mb
      if (r > 0) printf "median of the per-problem instruction ratios new/base: %.3f (%d problems)\n", median(ratio, r), r
      printf "ratio new/base of the median ms: %.3f\n", median(nm, n) / (median(bm, n) > 0 ? median(bm, n) : 1)
    }
  }' "$out"
echo "per problem: $out (problem, new instructions, new ms, base instructions, base ms)"
