#!/usr/bin/env bash
# Compares the complete output (stdout and exit status) of two builds of `velkin` on
# every problem of the shared corpus that fits the capacities, with the options of the
# corpus check (the defaults), and on a sample (every 17th problem) also with
# `--attempts 3`, `--no-rem-labels` and `--no-match-bound`.
#
#   scripts/classic-identity.sh BASE_BIN NEW_BIN
#
# Environment: CORPUS (default ../shared/corpus), JOBS (default 2: problems run at once;
# each runs base and new one after the other), LIMIT (default 30: seconds of wall time
# per run; a run that takes longer is killed and the problem counted as not compared),
# OUT (default classic-identity.tsv: one line per comparison), ONLY (default all:
# `sample` compares only the sample), STRIDE (default 1: with the default options every
# problem; k: every k-th, for a quicker look on a busy machine). Exit status 1 when some
# output differs.
set -euo pipefail
if (($# != 2)); then
  echo "usage: $0 BASE_BIN NEW_BIN" >&2
  exit 2
fi
base=$(realpath "$1")
new=$(realpath "$2")
cd "$(dirname "$0")/.."
corpus=$(realpath "${CORPUS:-../shared/corpus}")
jobs=${JOBS:-2}
limit=${LIMIT:-30}
out=${OUT:-classic-identity.tsv}
only=${ONLY:-all}
stride=${STRIDE:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mapfile -t files < <(awk -F'\t' -v c="$corpus" 'NR > 1 && $8 == "yes" { print c "/" $9 }' \
                       "$corpus/manifest.tsv")
# One job per line: options (comma-separated, "-" for none), then the file.
{
  for ((i = 0; i < ${#files[@]}; ++i)); do
    f=${files[i]}
    if [ "$only" = all ] && ((i % stride == 0)); then echo "- $f"; fi
    if ((i % 17 == 0)); then
      echo "--attempts,3 $f"
      echo "--no-rem-labels $f"
      echo "--no-match-bound $f"
    fi
  done
} > "$work/jobs"
echo "$(wc -l < "$work/jobs") comparisons on ${#files[@]} problems, $jobs at a time" >&2

# Runs one build; prints its exit status, or "limit" when it was killed.
run_one() {
  local bin=$1 opts=$2 file=$3 dest=$4 rc=0
  local args=()
  [ "$opts" != - ] && IFS=, read -r -a args <<< "$opts"
  timeout -s KILL "$LIMIT" "$bin" "${args[@]}" "$file" > "$dest" 2>&1 || rc=$?
  if ((rc == 137)); then echo limit; else echo "$rc"; fi
}
compare_one() {
  local opts=$1 file=$2 tag
  tag=$(mktemp -p "$WORK")
  local rb rn
  rb=$(run_one "$BASE" "$opts" "$file" "$tag.base")
  rn=$(run_one "$NEW" "$opts" "$file" "$tag.new")
  if [ "$rb" = limit ] || [ "$rn" = limit ]; then
    printf 'uncompared\t%s\t%s\t(base %s, new %s)\n' "$opts" "$file" "$rb" "$rn"
  elif [ "$rb" = "$rn" ] && cmp -s "$tag.base" "$tag.new"; then
    printf 'same\t%s\t%s\n' "$opts" "$file"
  else
    printf 'DIFFERENT\t%s\t%s\t(exit base %s, new %s)\n' "$opts" "$file" "$rb" "$rn"
  fi
  rm -f "$tag" "$tag.base" "$tag.new"
}
export -f run_one compare_one
export BASE="$base" NEW="$new" LIMIT="$limit" WORK="$work"
xargs -P "$jobs" -L 1 bash -c 'compare_one "$0" "$1"' < "$work/jobs" > "$out"

same=$(grep -c '^same' "$out" || true)
different=$(grep -c '^DIFFERENT' "$out" || true)
uncompared=$(grep -c '^uncompared' "$out" || true)
grep -E '^(DIFFERENT|uncompared)' "$out" | sort -k3 || true
echo "identical: $same, different: $different, not compared (over ${limit}s): $uncompared" \
     "(details in $out)"
((different == 0))
