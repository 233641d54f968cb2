#!/bin/sh
# Builds the Debian package with CPack, unpacks it into a scratch root (dpkg -x) and
# runs what it installed: velkin on an example, the competition script (which must
# find the unpacked velkin, not another one), and the manual page through man.
#   package_test.sh BUILD_DIR SOURCE_DIR HAS_GUI(0|1) VERSION
set -eu
build=$1
source=$2
gui=$3
version=$4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log" >&2; fail "cpack did not build the package"; }
set -- "$tmp"/out/*.deb
[ "$#" -eq 1 ] && [ -f "$1" ] || fail "expected one .deb, found: $*"
deb=$1
[ "$(dpkg-deb -f "$deb" Package)" = velkin ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$deb" Version)"
# The shared libraries' packages were found (dpkg-shlibdeps), libc at least.
dpkg-deb -f "$deb" Depends | grep -q libc6 || fail "no Depends on libc6"

dpkg -x "$deb" "$tmp/root"
usr=$tmp/root/usr
for f in bin/velkin share/man/man1/velkin.1.gz share/velkin/termcomp/solver; do
  [ -f "$usr/$f" ] || fail "the package lacks /usr/$f"
done
[ -x "$usr/share/velkin/termcomp/solver" ] || fail "the solver script is not executable"
if [ "$gui" = 1 ]; then
  [ -x "$usr/bin/velkin-gui" ] || fail "the package lacks /usr/bin/velkin-gui"
  desktop=$usr/share/applications/velkin-gui.desktop
  [ -f "$desktop" ] || fail "the package lacks the desktop entry"
  grep -qx "Exec=velkin-gui" "$desktop" || fail "the desktop entry does not start velkin-gui"
  if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi
fi

# A velkin on the PATH that must not be used, and no VELKIN in the environment.
mkdir -p "$tmp/decoy" "$tmp/work"
printf '#!/bin/sh\necho "the wrong velkin"\nexit 3\n' >"$tmp/decoy/velkin"
chmod +x "$tmp/decoy/velkin"
run() { (cd "$tmp/work" && env -u VELKIN PATH="$tmp/decoy:/usr/bin:/bin" "$@"); }

run "$usr/bin/velkin" "$source/examples/ab.srs" >"$tmp/ab.out" || fail "the unpacked velkin failed"
cmp -s "$tmp/ab.out" "$source/examples/ab.expected" ||
  { diff "$source/examples/ab.expected" "$tmp/ab.out" >&2; fail "wrong output of the unpacked velkin"; }
[ "$(run "$usr/bin/velkin" --version)" = "VELKIN $version" ] || fail "velkin --version"

solver=$usr/share/velkin/termcomp/solver
[ "$(run "$solver" --name)" = "VELKIN $version" ] || fail "solver --name: $(run "$solver" --name)"
run "$solver" --timeout=20 --category=SRS_Standard "$source/examples/ab.srs" >"$tmp/solver.out"
[ "$(head -n 1 "$tmp/solver.out")" = YES ] || { cat "$tmp/solver.out" >&2; fail "solver answer"; }

MANWIDTH=80 man --warnings -l "$usr/share/man/man1/velkin.1.gz" >"$tmp/man.out" 2>"$tmp/man.err"
[ ! -s "$tmp/man.err" ] || { cat "$tmp/man.err" >&2; fail "man warns about the installed page"; }
grep -q "velkin plot" "$tmp/man.out" || fail "the installed manual page does not render"
echo "package $deb: installed files run"
