#!/usr/bin/env bash
# Measures the strong strategy on a fixed sample of the shared corpus: every STEP-th
# problem of manifest.tsv (rows 1+FIRST, 1+FIRST+STEP, ... in the manifest's order, plain
# form; FIRST from 0 to STEP-1 picks one of STEP disjoint samples),
# run by `velkin batch --strategy strong`. Prints per category the YES and NO counts,
# the answers that contradict a known verdict, the competition tools' counts on the
# same problems, and the median and largest time per problem.
#
#   scripts/strong-measure.sh [batch options...]      default: --timeout 10 --jobs 2
#
# VELKIN (default build/velkin), CORPUS (default ../shared/corpus), STEP (default 10),
# FIRST (default 0), OUT (default strong-measure.csv) and STRATEGY (default strong;
# classic gives the same table for the classic engine) can be set in the environment.
# Exit status 1 when an answer contradicts a known verdict, 2 for a wrong STEP or FIRST.
set -euo pipefail
cd "$(dirname "$0")/.."
velkin=${VELKIN:-build/velkin}
corpus=${CORPUS:-../shared/corpus}
step=${STEP:-10}
first=${FIRST:-0}
if ! [[ "$step" =~ ^[1-9][0-9]*$ && "$first" =~ ^[0-9]+$ ]] || [ "$first" -ge "$step" ]; then
  echo "strong-measure: STEP must be a positive number and FIRST one of 0 to STEP-1" >&2
  exit 2
fi
out=${OUT:-strong-measure.csv}
strategy=${STRATEGY:-strong}
if [ "$#" -eq 0 ]; then set -- --timeout 10 --jobs 2; fi

mapfile -t files < <(awk -F'\t' -v c="$corpus" -v s="$step" -v o="$first" \
                       'NR > 1 && (NR - 2) % s == o && $9 != "-" { print c "/" $9 }' \
                       "$corpus/manifest.tsv")
echo "${#files[@]} problems: every ${step}th of the manifest from row $((first + 1))" >&2
"$velkin" batch --strategy "$strategy" "$@" --csv "$out" "${files[@]}" >&2

# Files: known verdicts, the peers' answers, then the CSV rows of this run.
awk -F'\t' -v c="$corpus/plain/" '
  FILENAME ~ /known-verdicts/ { if (FNR > 1) verdict[$1] = $2; next }
  FILENAME ~ /peers/ { if (FNR > 1) { answer[$1, $2] = $3; tools[$2] = 1 } next }
  FNR == 1 { next }
  {
    # path,status,ms,...: the paths of the corpus hold no comma.
    split($0, f, ",")
    id = substr(f[1], length(c) + 1); sub(/\.srs$/, "", id)
    cat = substr(id, 1, index(id, "/") - 1); cats[cat] = 1
    n[cat]++; v = verdict[id]; s = f[2]
    known[cat, v]++
    if (s == "terminating") yes[cat]++
    if (s == "loop found") no[cat]++
    if (s == "refused" || s == "unreadable") refused[cat]++
    if ((s == "terminating" && v == "NO") || (s == "loop found" && v == "YES")) {
      print "CONTRADICTION: " s " on known " v ": " id; bad++
    }
    for (t in tools) {
      if (!((id, t) in answer)) continue
      ran[cat, t]++
      if (answer[id, t] == "YES") tyes[cat, t]++
      if (answer[id, t] == "NO") tno[cat, t]++
    }
    times[cat, n[cat]] = f[3] + 0
  }
  function median(cat,   k, m, i, j, a, t) {
    m = n[cat]
    for (i = 1; i <= m; i++) a[i] = times[cat, i]
    for (i = 2; i <= m; i++) { t = a[i]; for (j = i - 1; j >= 1 && a[j] > t; j--) a[j + 1] = a[j]; a[j + 1] = t }
    largest[cat] = a[m]
    return m % 2 ? a[(m + 1) / 2] : (a[m / 2] + a[m / 2 + 1]) / 2
  }
  END {
    for (cat in cats) {
      printf "\n%s: %d problems (known: %d YES, %d NO)\n", cat, n[cat], known[cat, "YES"], known[cat, "NO"]
      printf "  %-10s %5s %5s %8s\n", "tool", "YES", "NO", "of"
      printf "  %-10s %5d %5d %8d   (%d refused; median %.0f ms, largest %.0f ms)\n", "VELKIN", \
             yes[cat], no[cat], n[cat], refused[cat], median(cat), largest[cat]
      for (t in tools) if (ran[cat, t])
        printf "  %-10s %5d %5d %8d\n", t, tyes[cat, t], tno[cat, t], ran[cat, t]
    }
    printf "\ncontradictions with known verdicts: %d\n", bad
    exit bad > 0
  }' "$corpus/known-verdicts.tsv" "$corpus/peers-2025.tsv" "$out"
