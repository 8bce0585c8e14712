#!/usr/bin/env bash
# Builds the .deb from the build tree, unpacks it into a scratch root and
# checks what a user installs: the file list, the menu entry, the metainfo,
# the man pages, and that the programs run from the unpacked tree.
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cd "$scratch"
cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >cpack.log 2>&1 || { cat cpack.log; fail "cpack"; }
deb=$(ls "$scratch"/out/*.deb)
[ -n "$deb" ] || fail "no .deb made"

# Control fields.
dpkg-deb -f "$deb" Package Maintainer Section Homepage Depends Description >control.txt
cat control.txt
grep -q '^Package: zarpo$' control.txt || fail "package name"
grep -q '^Section: science$' control.txt || fail "section"
grep -q '^Homepage: https://' control.txt || fail "homepage"
grep -q '^Maintainer: .*<.*@.*>' control.txt || fail "maintainer"
grep -q '^Depends: .*libqt6widgets6' control.txt || fail "dependencies from dpkg-shlibdeps"
grep -q '^Description: .\+' control.txt || fail "description"

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
expected=(
  usr/bin/ZARPO
  usr/bin/qvnsim
  usr/bin/zarpo-tune
  usr/libexec/zarpo/zarpo-menu
  usr/share/applications/org.zarpo.ZARPO.desktop
  usr/share/metainfo/org.zarpo.ZARPO.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/org.zarpo.ZARPO.svg
  usr/share/icons/hicolor/48x48/apps/org.zarpo.ZARPO.png
  usr/share/icons/hicolor/256x256/apps/org.zarpo.ZARPO.png
  usr/share/man/man1/ZARPO.1.gz
  usr/share/man/man1/qvnsim.1.gz
  usr/share/man/man1/zarpo-tune.1.gz
  usr/share/doc/zarpo/README.md
)
for f in "${expected[@]}"; do
  [ -e "$root/$f" ] || { (cd "$root" && find . -type f | sort); fail "missing $f"; }
done
# Nothing of the build or the tests is shipped.
if (cd "$root" && find . -type f | grep -E '_test|_bench|\.a$|CMake'); then fail "build files in the package"; fi

desktop="$root/usr/share/applications/org.zarpo.ZARPO.desktop"
desktop-file-validate "$desktop" || fail "desktop entry"
grep -q '^Exec=/usr/libexec/zarpo/zarpo-menu$' "$desktop" || fail "Exec"
grep -q '^Icon=org.zarpo.ZARPO$' "$desktop" || fail "Icon"
appstreamcli validate --no-net --explain "$root/usr/share/metainfo/org.zarpo.ZARPO.metainfo.xml" || fail "metainfo"
grep -q '<launchable type="desktop-id">org.zarpo.ZARPO.desktop</launchable>' \
  "$root/usr/share/metainfo/org.zarpo.ZARPO.metainfo.xml" || fail "launchable"
for page in ZARPO qvnsim zarpo-tune; do
  out=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null) || fail "man $page"
  [ -z "$out" ] || { echo "$out"; fail "man $page warns"; }
done

# The programs run from the unpacked tree.
"$root/usr/bin/qvnsim" --help | grep -q '^usage: qvnsim' || fail "qvnsim --help"
"$root/usr/bin/zarpo-tune" --help | grep -q '^usage: zarpo-tune --port' || fail "zarpo-tune --help"

# The menu's launcher runs the tool in $XDG_DATA_HOME/ZARPO, made when
# missing; a SIGTERM closes it as EXIT does, writing the settings there.
export XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" QT_QPA_PLATFORM=offscreen
mkdir -p "$scratch/elsewhere"
cd "$scratch/elsewhere"
"$root/usr/libexec/zarpo/zarpo-menu" >"$scratch/zarpo.log" 2>&1 &
pid=$!
sleep 3
kill -0 "$pid" 2>/dev/null || { cat "$scratch/zarpo.log"; fail "ZARPO did not stay up"; }
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { cat "$scratch/zarpo.log"; fail "ZARPO exit status $status"; }
settings="$XDG_DATA_HOME/ZARPO/qvnsettings.dat"
[ -f "$settings" ] && [ "$(stat -c %s "$settings")" -eq 240 ] || fail "no settings written in $XDG_DATA_HOME/ZARPO"
[ ! -e "$scratch/elsewhere/qvnsettings.dat" ] || fail "settings written in the starting folder"
echo "package ok: $(basename "$deb")"
