#!/usr/bin/env bash
# `cmake --install` puts everything a Debian user looks for in place: both programs,
# their manual pages, the desktop entry with one main category, AppStream metadata that
# appstreamcli accepts, 48-pixel and scalable icons, the manual and the licence; and
# both programs report the one version CMake sets.
set -uo pipefail
: "${TARVIK_BUILD_DIR:?}"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failed=0
DESTDIR=$root cmake --install "$TARVIK_BUILD_DIR" --prefix /usr >/dev/null || exit 1
for path in bin/tarvik-cli share/man/man1/tarvik.1 share/man/man1/tarvik-cli.1 \
            share/doc/tarvik/manual.html share/doc/tarvik/copyright \
            share/icons/hicolor/scalable/apps/tarvik.svg; do
  [ -s "$root/usr/$path" ] || { echo "FAIL missing /usr/$path"; failed=1; }
done
if [ -x "$TARVIK_BUILD_DIR/tarvik" ]; then
  for path in bin/tarvik share/applications/tarvik.desktop \
              share/metainfo/org.corvanemiravel.Tarvik.metainfo.xml \
              share/icons/hicolor/48x48/apps/tarvik.png; do
    [ -s "$root/usr/$path" ] || { echo "FAIL missing /usr/$path"; failed=1; }
  done
  grep -qx 'Categories=System;Filesystem;' "$root/usr/share/applications/tarvik.desktop" ||
    { echo "FAIL desktop entry categories"; failed=1; }
  appstreamcli validate --no-net "$root"/usr/share/metainfo/*.xml >/dev/null ||
    { echo "FAIL appstreamcli validate"; failed=1; }
  file "$root/usr/share/icons/hicolor/48x48/apps/tarvik.png" | grep -q '48 x 48' ||
    { echo "FAIL 48-pixel icon"; failed=1; }
  cli=$("$root/usr/bin/tarvik-cli" --version | awk '{print $2}')
  # --version answers without any display (a packaging script or a remote shell).
  gui=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/tarvik" --version \
    2>/dev/null | awk '{print $2}')
  [ -n "$cli" ] && [ "$cli" = "$gui" ] || { echo "FAIL versions '$cli' and '$gui'"; failed=1; }
fi
grep -q 'GNU GENERAL PUBLIC LICENSE' "$root/usr/share/doc/tarvik/copyright" ||
  { echo "FAIL licence text"; failed=1; }
man -l "$root/usr/share/man/man1/tarvik-cli.1" 2>&1 | grep -q 'EXIT STATUS' ||
  { echo "FAIL tarvik-cli(1) does not render"; failed=1; }
[ $failed -eq 0 ] && echo "ok   installed layout"
exit $failed
