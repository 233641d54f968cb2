#!/usr/bin/env bash
# Builds the certifier for the certificate tests: build-ceta.sh CETA_SOURCE OUTDIR.
# Without GHC it builds nothing and says so; the tests that need the certifier are then
# reported as skipped (scripts/install-deps.sh ceta installs GHC).
set -euo pipefail
src=$1 out=$2
if ! command -v ghc >/dev/null; then
  echo "build-ceta.sh: ghc is not installed, the certificate tests will be skipped" >&2
  exit 0
fi
bash "$src/build.sh" "$out"
