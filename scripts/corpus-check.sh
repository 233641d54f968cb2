#!/usr/bin/env bash
# Runs `velkin batch` on every problem of the shared corpus that fits the capacities
# (plain form) and compares the answers with the known verdicts: a sound prover never
# says terminating on a known NO, nor finds a loop on a known YES.
#
#   scripts/corpus-check.sh [batch options...]      e.g. --jobs 2 --timeout 60
#
# VELKIN (default build/velkin), CORPUS (default ../shared/corpus) and OUT (default
# corpus-check.csv) can be set in the environment. Exit status 1 on an unsound answer.
set -euo pipefail
cd "$(dirname "$0")/.."
velkin=${VELKIN:-build/velkin}
corpus=${CORPUS:-../shared/corpus}
out=${OUT:-corpus-check.csv}

mapfile -t files < <(awk -F'\t' -v c="$corpus" 'NR > 1 && $8 == "yes" { print c "/" $9 }' \
                       "$corpus/manifest.tsv")
echo "${#files[@]} problems fit the capacities" >&2
"$velkin" batch "$@" --csv "$out" "${files[@]}"

# path -> id: drop "<corpus>/plain/" and ".srs".
awk -F'\t' -v c="$corpus/plain/" '
  FNR == NR { if (FNR > 1) verdict[$1] = $2; next }
  FNR == 1 { next }
  {
    split($0, f, ",")
    id = substr(f[1], length(c) + 1); sub(/\.srs$/, "", id)
    v = verdict[id]; s = f[2]
    total[s]++
    if (s == "terminating" && v == "NO") { print "UNSOUND terminating on known NO: " id; bad++ }
    if (s == "loop found" && v == "YES") { print "UNSOUND loop found on known YES: " id; bad++ }
    if (s == "terminating" && v == "YES") agreeYes++
    if (s == "loop found" && v == "NO") agreeNo++
    if (s == "no proof" && v != "UNKNOWN") missed[v]++
  }
  END {
    printf "agree: %d terminating on known YES, %d loops on known NO\n", agreeYes, agreeNo
    printf "no proof where the verdict is known: %d YES, %d NO\n", missed["YES"], missed["NO"]
    printf "unsound answers: %d\n", bad
    exit bad > 0
  }' "$corpus/known-verdicts.tsv" "$out"
