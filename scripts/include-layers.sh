#!/usr/bin/env bash
# Checks that the strong engine and its SAT layer include nothing from a layer above
# their own, and prints the include graph between their headers' layers. Layers, lowest
# first:
#   0 model/ version/            the readers the strong engine shares
#   1 sat/                       the SAT encodings (sat/stop.h: what they poll)
#   2 strong/problem strong/budget
#   3 strong/scheduler strong/cpf strong/exact
#   4 strong/technique           what every technique takes and returns
#   5 strong/loop
#   6 strong/techniques/         one file per technique, and what they share
#   7 strong/print strong/certificate   the finished tree as text and as certificate
#   8 strong/strategy            the roads
# Exit status 1 when an include goes up, with the offending lines.
set -euo pipefail
cd "$(dirname "$0")/../src"

layer() {
  case "$1" in
    model/*|version/*) echo 0 ;;
    sat/*) echo 1 ;;
    strong/problem.*|strong/budget.*) echo 2 ;;
    strong/scheduler.*|strong/cpf.*|strong/exact.*) echo 3 ;;
    strong/technique.*) echo 4 ;;
    strong/loop.*) echo 5 ;;
    strong/techniques/*) echo 6 ;;
    strong/print.*|strong/certificate.*) echo 7 ;;
    strong/strategy.*) echo 8 ;;
    *) echo 9 ;;
  esac
}

bad=0
declare -A edges
while IFS= read -r file; do
  from=$(layer "$file")
  while IFS= read -r inc; do
    to=$(layer "$inc")
    [ "$from" != "$to" ] && edges["$from -> $to"]=1
    if [ "$to" -gt "$from" ]; then
      echo "UP: $file (layer $from) includes $inc (layer $to)"
      bad=1
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find sat strong -name '*.h' -o -name '*.cpp' | sort)

echo "include arrows between layers (from -> to), none of them upwards:"
printf '%s\n' "${!edges[@]}" | sort -n
exit $bad
