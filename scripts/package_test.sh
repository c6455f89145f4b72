#!/usr/bin/env bash
# The Debian package as a user meets it: built from the build tree and checked by lintian (scripts/deb.sh),
# installed with apt-get, a window rendered by the installed program, then removed and purged, after which
# nothing it installed may be left. Installing needs root (CI runs as root); otherwise only build and lintian.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/deb.sh || exit 1
deb=$(ls presswick_*_amd64.deb | head -1)
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: installing $deb needs root"
  exit 0
fi
if dpkg-query -W -f='${Status}' presswick 2>/dev/null | grep -q "ok installed"; then
  echo "SKIP: presswick is installed on this machine already; that installation is left alone"
  exit 0
fi

work=$(mktemp -d /tmp/presswick-package.XXXXXX)
failures=0
installed=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# apt-get waits for the package database when another install holds it; dpkg alone would give up.
apt() { apt-get -o DPkg::Lock::Timeout=300 -y -qq "$@"; }
cleanup() {
  [ $installed = 1 ] && apt remove presswick >/dev/null 2>&1 && dpkg -P presswick >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

export DEBIAN_FRONTEND=noninteractive
if ! apt install --no-install-recommends "./$deb" >"$work/apt.log" 2>&1; then
  cat "$work/apt.log" >&2
  echo "FAIL: apt-get install ./$deb" >&2
  exit 1
fi
installed=1
dpkg-query -L presswick >"$work/paths"
while read -r path; do [ -d "$path" ] || echo "$path"; done <"$work/paths" >"$work/files"
echo "installed $(wc -l <"$work/files") files"
for want in /usr/bin/presswick /usr/bin/presswick-actions /usr/bin/presswick-ocr \
  /usr/libexec/presswick/presswick-preview /usr/libexec/presswick/presswick-scan-helper \
  /usr/share/applications/org.kora.presswick.desktop /usr/share/metainfo/org.kora.presswick.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/org.kora.presswick.svg /usr/share/dbus-1/services/org.kora.presswick.service \
  /usr/share/man/man1/presswick.1.gz /usr/share/man/man1/presswick-actions.1.gz /usr/share/man/man1/presswick-ocr.1.gz; do
  grep -qx "$want" "$work/files" || fail "the package does not install $want"
done
# Every catalogue written, and the installed program speaking it.
for lang in $(grep -vE '^(#|$)' po/LINGUAS); do
  [ -f "po/$lang.po" ] || continue
  grep -qx "/usr/share/locale/$lang/LC_MESSAGES/presswick.mo" "$work/files" ||
    fail "the package does not install the $lang catalogue"
  grep -q "^Name\[$lang\]=" /usr/share/applications/org.kora.presswick.desktop ||
    fail "the desktop entry has no $lang name"
done
if [ -f po/de.po ]; then
  env -i PATH=/usr/bin:/bin LC_ALL=C.UTF-8 LANGUAGE=de presswick --help | grep -q '^Aufruf: presswick ' ||
    fail "the installed presswick --help is not German under LANGUAGE=de"
fi
grep -qx 'Exec=/usr/bin/presswick' /usr/share/dbus-1/services/org.kora.presswick.service ||
  fail "the D-Bus service does not start /usr/bin/presswick"

# The installed program alone: a clean environment, no build tree on any path.
mkdir -m 700 "$work/xdg"
(cd "$work" && env -i PATH=/usr/bin:/bin HOME="$work" XDG_RUNTIME_DIR="$work/xdg" \
  timeout 60 presswick --surface active --screenshot x.png) >"$work/run.log" 2>&1 ||
  fail "presswick --surface active --screenshot x.png: $(cat "$work/run.log")"
size=$(od -An -tu1 -j16 -N8 "$work/x.png" 2>/dev/null | awk '{ print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8 }')
[ "$size" = "1280x800" ] && echo "ok: the installed presswick rendered its window (x.png, $size)" ||
  fail "x.png is not the 1280x800 window picture (got '${size:-nothing}')"
version=$(env -i PATH=/usr/bin:/bin presswick --version)
[[ "$deb" == "presswick_${version#presswick }_amd64.deb" ]] || fail "presswick --version says '$version' in $deb"

apt remove presswick >/dev/null 2>&1 || fail "apt-get remove presswick (dpkg -r)"
while read -r path; do [ -e "$path" ] && fail "left after removal: $path"; done <"$work/files"
# A package without configuration files is gone whole after the removal; purge whatever dpkg still keeps.
dpkg -P presswick >/dev/null 2>&1 || fail "dpkg -P presswick"
installed=0
dpkg-query -W presswick >/dev/null 2>&1 && fail "dpkg still knows presswick after the purge"
[ $failures -eq 0 ] && echo "ok: installed, ran, removed and purged $deb without leftovers"
exit $((failures > 0))
