#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs a built tree into a temporary prefix and checks what a desktop and a
# package manager will read: desktop entry, AppStream data, MIME type, man pages,
# the installed programs; then builds the Debian package and checks its fields
# and file list. As root, the package is also installed and removed again.
# Usage: scripts/install-check.sh [BUILD_DIR] (default build-test)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-test}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install-check: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

desktop=$prefix/share/applications/org.example.veltravor.desktop
desktop-file-validate "$desktop"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/org.example.veltravor.metainfo.xml" >/dev/null
mime=$prefix/share/mime/packages/veltravor-project.xml
xmllint --noout "$mime"
[ "$(xmllint --xpath 'string(//*[local-name()="glob"]/@pattern)' "$mime")" = "*.vtp" ] ||
  fail "the MIME type does not map *.vtp"
grep -q '^MimeType=application/x-veltravor-project;' "$desktop" || fail "the desktop entry lacks the MIME type"
for page in veltravor veltravor-cli veltravor-sim; do
  out=$(MANWIDTH=80 man -l "$prefix/share/man/man1/$page.1" 2>&1 >/dev/null) || fail "man $page"
  [ -z "$out" ] || fail "man $page: $out"
done
for icon in apps/veltravor.svg mimetypes/application-x-veltravor-project.svg; do
  xmllint --noout "$prefix/share/icons/hicolor/scalable/$icon"
done
"$prefix/bin/veltravor-cli" --version | grep -q '1\.7' || fail "veltravor-cli --version"
"$prefix/bin/veltravor-sim" --version | grep -q '1\.7' || fail "veltravor-sim --version"
QT_QPA_PLATFORM=offscreen "$prefix/bin/veltravor" --version | grep -q '1\.7' || fail "veltravor --version"

# F1 of the installed program opens the installed English manual: the
# desktop's "open" is a stand-in that writes down what it was asked to open.
f1=$prefix/f1
mkdir -p "$f1/bin" "$f1/config/veltravor" "$f1/runtime"
chmod 700 "$f1/runtime"
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >>"%s/opened"\n' "$f1" >"$f1/bin/xdg-open"
chmod +x "$f1/bin/xdg-open"
printf '[General]\r\nCarriage=30000\r\nfilterTable=1;0;0.1;400;\r\n' \
  >"$f1/config/veltravor/veltravor-simulator.ini"
cat >"$f1/run.sh" <<SCRIPT
export PATH="$f1/bin:\$PATH" XDG_CONFIG_HOME="$f1/config" XDG_DATA_HOME="$f1/data"
export XDG_STATE_HOME="$f1/state" XDG_RUNTIME_DIR="$f1/runtime" QT_QPA_PLATFORM=xcb
"$prefix/bin/veltravor" --simulator >/dev/null 2>&1 &
pid=\$!
window=\$(timeout 20 xdotool search --sync --onlyvisible --name '^Veltravor')
sleep 3
xdotool mousemove --sync 400 300 click 1
sleep 0.5
xdotool key --clearmodifiers F1
for _ in \$(seq 50); do [ -s "$f1/opened" ] && break; sleep 0.1; done
kill \$pid
SCRIPT
timeout 90 xvfb-run -a bash "$f1/run.sh" || true
[ "$(cat "$f1/opened" 2>/dev/null)" = "file://$prefix/share/doc/veltravor/User%20manual.html" ] ||
  fail "F1 of the installed program opened: $(cat "$f1/opened" 2>/dev/null)"

# The Debian package.
(cd "$build" && rm -f veltravor_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/veltravor_*.deb)
info=$(dpkg-deb -I "$deb")
for field in 'Section: science' 'Maintainer: ' 'Depends: .*libqt6widgets6' 'Depends: .*libqcustomplot2.1-qt6'; do
  grep -q "$field" <<<"$info" || fail "package field missing: $field"
done
files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t)
for f in ./usr/bin/veltravor ./usr/bin/veltravor-cli ./usr/bin/veltravor-sim \
  ./usr/share/applications/org.example.veltravor.desktop \
  ./usr/share/icons/hicolor/scalable/apps/veltravor.svg \
  ./usr/share/metainfo/org.example.veltravor.metainfo.xml \
  ./usr/share/mime/packages/veltravor-project.xml \
  ./usr/lib/udev/rules.d/60-veltravor.rules \
  ./usr/share/man/man1/veltravor.1 ./usr/share/doc/veltravor/copyright; do
  grep -qxF "$f" <<<"$files" || fail "package lacks $f"
done
for pattern in '^\./usr/share/doc/veltravor/.*\.html$' '^\./usr/share/veltravor/LANGUAGE/.*\.lng$'; do
  grep -q "$pattern" <<<"$files" || fail "package lacks $pattern"
done

if [ "$(id -u)" -eq 0 ] && ! dpkg-query -W veltravor >/dev/null 2>&1; then
  dpkg -i "$deb" >/dev/null
  /usr/bin/veltravor-cli --version >/dev/null
  dpkg -r veltravor >/dev/null
  [ ! -e /usr/bin/veltravor ] || fail "the package left /usr/bin/veltravor behind"
fi
echo "install-check: passed"
