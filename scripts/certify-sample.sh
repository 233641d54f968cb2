#!/usr/bin/env bash
# Runs the strong strategy twice on a fixed sample of the shared corpus, in full and with
# --certified, writes every answer's certificate and has the certifier judge each one.
# The sample is that of strong-measure.sh: every STEP-th problem of manifest.tsv (rows
# 1+FIRST, 1+FIRST+STEP, ..., plain form). Prints, for both runs, the YES and NO counts,
# the certificates written, how many the certifier CERTIFIED and how many it did not
# decide within CETA_SECONDS; then the problems that only the full run answers, each with
# what kept its proof from a certificate, every certificate left undecided, and every
# REJECTED certificate with the certifier's first reason.
#
#   scripts/certify-sample.sh [batch options...]      default: --timeout 10 --jobs 2
#
# VELKIN (default build/velkin), CETA (default build/ceta/ceta), CETA_SECONDS (the
# certifier's time per certificate, default 60), CORPUS (default
# ../shared/corpus), STEP (default 20), FIRST (default 0) and OUT (default
# certify-sample: the certificates, CSV files and the batch's stderr) can be set in the
# environment. Exit status 1 when a certificate is REJECTED or an answer contradicts a
# known verdict, 2 for a wrong STEP or FIRST or a missing certifier.
set -euo pipefail
cd "$(dirname "$0")/.."
velkin=${VELKIN:-build/velkin}
ceta=${CETA:-build/ceta/ceta}
cetaSeconds=${CETA_SECONDS:-60}
corpus=${CORPUS:-../shared/corpus}
step=${STEP:-20}
first=${FIRST:-0}
out=${OUT:-certify-sample}
if ! [[ "$step" =~ ^[1-9][0-9]*$ && "$first" =~ ^[0-9]+$ ]] || [ "$first" -ge "$step" ]; then
  echo "certify-sample: STEP must be a positive number and FIRST one of 0 to STEP-1" >&2
  exit 2
fi
if [ ! -x "$ceta" ]; then
  echo "certify-sample: no certifier at $ceta (build it with ../shared/ceta/build.sh build/ceta)" >&2
  exit 2
fi
if [ "$#" -eq 0 ]; then set -- --timeout 10 --jobs 2; fi

# The sample copied under one folder, so that every certificate is named by the
# problem's path in the corpus (many problems share a file name).
rm -rf "$out"
mkdir -p "$out/sample"
count=0
while IFS= read -r rel; do
  mkdir -p "$out/sample/$(dirname "$rel")"
  cp "$corpus/plain/$rel" "$out/sample/$rel"
  count=$((count + 1))
done < <(awk -F'\t' -v s="$step" -v o="$first" \
           'NR > 1 && (NR - 2) % s == o && $9 != "-" { sub(/^plain\//, "", $9); print $9 }' \
           "$corpus/manifest.tsv")
echo "$count problems: every ${step}th of the manifest from row $((first + 1)); load: $(uptime)" >&2

for run in full certified; do
  extra=()
  [ "$run" = certified ] && extra=(--certified)
  "$velkin" batch --strategy strong "${extra[@]}" "$@" --csv "$out/$run.csv" \
    --cpf-dir "$out/$run" "$out/sample" >/dev/null 2>"$out/$run.err" || true
  mkdir -p "$out/$run"
  : >"$out/$run.verdicts"
  while IFS= read -r -d '' cpf; do
    rc=0
    timeout "$cetaSeconds" "$ceta" "$cpf" >"$out/ceta.out" 2>&1 || rc=$?
    verdict=$(head -c 2000 "$out/ceta.out" | tr '\n' ' ')
    if [ "$rc" = 124 ]; then verdict="UNDECIDED within $cetaSeconds s"; fi
    printf '%s\t%s\n' "${cpf#"$out/$run/"}" "$verdict" >>"$out/$run.verdicts"
  done < <(find "$out/$run" -name '*.cpf' -print0 | sort -z)
done
rm -f "$out/ceta.out"

# Files: known verdicts, the full run's stderr, then per run the CSV (path,status,...) and
# the certifier's verdicts.
status=0
awk -F'\t' -v sample="$out/sample/" '
  function id(path) { p = substr(path, length(sample) + 1); sub(/\.[a-z]+$/, "", p); return p }
  FILENAME ~ /known-verdicts/ { if (FNR > 1) known[$1] = $2; next }
  FILENAME ~ /full\.err$/ {
    # velkin: PATH: no certificate written: STEP: why
    if (index($0, ": no certificate written: ") == 0) next
    line = substr($0, length("velkin: ") + 1); at = index(line, ": no certificate written: ")
    why[id(substr(line, 1, at - 1))] = substr(line, at + length(": no certificate written: "))
    next
  }
  FILENAME ~ /\.csv$/ {
    run = FILENAME ~ /certified\.csv$/ ? "certified" : "full"
    if (FNR == 1) next
    split($0, f, ","); k = id(f[1]); s = f[2]
    if (s == "terminating") { yes[run]++; answered[run, k] = "YES" }
    if (s == "loop found") { no[run]++; answered[run, k] = "NO" }
    if ((s == "terminating" && known[k] == "NO") || (s == "loop found" && known[k] == "YES")) {
      print "CONTRADICTION (" run "): " s " on known " known[k] ": " k; bad++
    }
    problems[k] = 1
    next
  }
  FILENAME ~ /\.verdicts$/ {
    run = FILENAME ~ /certified\.verdicts$/ ? "certified" : "full"
    written[run]++
    if ($2 ~ /^CERTIFIED/) certified[run]++
    else if ($2 ~ /^UNDECIDED/) { undecided[run]++; k = $1; sub(/\.cpf$/, "", k); print "undecided (" run "): " k | "sort" }
    else { k = $1; sub(/\.cpf$/, "", k); print "REJECTED (" run "): " k ": " substr($2, 1, 300); bad++ }
    next
  }
  END {
    close("sort")
    printf "%-10s %8s %5s %5s %12s %10s %10s\n", "run", "answers", "YES", "NO", "certificates",
           "CERTIFIED", "undecided"
    for (r = 1; r <= 2; r++) {
      run = r == 1 ? "full" : "certified"
      printf "%-10s %8d %5d %5d %12d %10d %10d\n", run, yes[run] + no[run], yes[run], no[run],
             written[run], certified[run], undecided[run]
    }
    if (yes["full"] + no["full"] > 0)
      printf "--certified answers %.1f %% of what the full strategy answers\n",
             100 * (yes["certified"] + no["certified"]) / (yes["full"] + no["full"])
    for (k in problems) {
      if (("full", k) in answered && !(("certified", k) in answered))
        print "only full (" answered["full", k] "): " k ((k in why) ? "  [" why[k] "]" : "") | "sort"
      if (("certified", k) in answered && !(("full", k) in answered))
        print "only certified (" answered["certified", k] "): " k | "sort"
    }
    close("sort")
    exit bad > 0
  }' "$corpus/known-verdicts.tsv" "$out/full.err" "$out/full.csv" "$out/certified.csv" \
     "$out/full.verdicts" "$out/certified.verdicts" || status=1

# Why the full run wrote no certificate, by the step named on stderr.
echo "full run, answers without a certificate, by the step that has none:"
sed -n 's/.*no certificate written: \([^:]*\).*/  \1/p' "$out/full.err" | sort | uniq -c | sort -rn
exit "$status"
