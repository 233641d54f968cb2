#!/bin/sh
# The manual page renders without a warning, and names every option and command that
# the built velkin's --help lists, so that the two do not drift apart.
#   manual_test.sh PAGE VELKIN
set -eu
page=$1
velkin=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

MANWIDTH=80 man --warnings -l "$page" >"$tmp/man.out" 2>"$tmp/man.err"
if [ -s "$tmp/man.err" ]; then
  cat "$tmp/man.err" >&2
  echo "FAIL: man warns about $page" >&2
  exit 1
fi
# Hyphenation and justification aside: one word per line.
tr -s ' \n\t' '\n' <"$tmp/man.out" | sed 's/\xe2\x80\x90/-/g' >"$tmp/words"

missing=0
for cmd in "" batch plot serve; do
  # Option names as --help lists them at the start of a line: "  -o,--output FILE ...".
  "$velkin" $cmd --help | sed -n 's/^ *\(-[-a-zA-Z0-9,]*\).*/\1/p' | tr ',' '\n' |
    grep -v '^-h$\|^--help$\|^$' >"$tmp/options" || true
  [ -s "$tmp/options" ] || { echo "FAIL: no options found in velkin $cmd --help" >&2; exit 1; }
  while read -r option; do
    if ! grep -q -e "^$option\b" -e "^$option[,.;:)]" "$tmp/words"; then
      echo "FAIL: the manual page does not name velkin $cmd $option" >&2
      missing=1
    fi
  done <"$tmp/options"
done
for word in batch plot serve classic strong "EXIT" "EXAMPLES"; do
  grep -q "$word" "$tmp/man.out" || { echo "FAIL: the manual page lacks $word" >&2; missing=1; }
done
exit "$missing"
