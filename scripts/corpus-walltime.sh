#!/usr/bin/env bash
# Wall time of `velkin batch --timeout 20 --jobs 2` over every fitting problem of the
# shared corpus, for two builds side by side: the problems are cut into SLICES shards
# (default 10), and each shard runs with the base build, then with the new one, so that
# a load that changes during the run falls on both builds alike.
#
#   scripts/corpus-walltime.sh BASE_BIN NEW_BIN
#
# Environment: CORPUS (default ../shared/corpus), SLICES (default 10), TIMEOUT (default
# 20), JOBS (default 2), RUN (default all: how many of the slices to run, for a
# quicker look on a busy machine). Prints the seconds per slice and the totals.
set -euo pipefail
if (($# != 2)); then
  echo "usage: $0 BASE_BIN NEW_BIN" >&2
  exit 2
fi
base=$(realpath "$1")
new=$(realpath "$2")
cd "$(dirname "$0")/.."
corpus=$(realpath "${CORPUS:-../shared/corpus}")
slices=${SLICES:-10}
timeout=${TIMEOUT:-20}
jobs=${JOBS:-2}
run=${RUN:-$slices}
mapfile -t files < <(awk -F'\t' -v c="$corpus" 'NR > 1 && $8 == "yes" { print c "/" $9 }' \
                       "$corpus/manifest.tsv")
echo "${#files[@]} problems, $slices slices, --timeout $timeout --jobs $jobs" >&2

seconds() {  # runs one slice with one build; prints its wall seconds
  local t0 t1
  t0=$(date +%s%N)
  "$1" batch --timeout "$timeout" --jobs "$jobs" --shard "$2/$slices" "${files[@]}" > /dev/null 2>&1
  t1=$(date +%s%N)
  echo "scale=1; ($t1 - $t0) / 1000000000" | bc
}
totalBase=0
totalNew=0
for ((i = 1; i <= run; ++i)); do
  b=$(seconds "$base" "$i")
  n=$(seconds "$new" "$i")
  totalBase=$(echo "$totalBase + $b" | bc)
  totalNew=$(echo "$totalNew + $n" | bc)
  echo "slice $i: base ${b}s, new ${n}s"
done
echo "total: base ${totalBase}s, new ${totalNew}s, ratio new/base $(echo "scale=3; $totalNew / $totalBase" | bc)"
