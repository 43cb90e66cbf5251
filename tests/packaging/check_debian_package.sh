#!/usr/bin/env bash
# Usage: check_debian_package.sh CPACK BUILD_DIR
# Makes the Debian package of the build in a scratch folder and checks its dependencies and files.
set -euo pipefail
cpack=$1
build=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/*.deb)
failed=0
fail() {
  echo "FAILED: $*" >&2
  failed=1
}

depends=$(dpkg-deb -f "$deb" Depends)
# The engine, the toolkit, the database, the tray and key libraries the executables link, and a
# font for the Chinese interface text.
for package in libwebkit2gtk-4.1-0 libgtkmm-3.0-1v5 libsqlite3-0 libkeybinder-3.0-0 \
  libayatana-appindicator3-1 fonts-wqy-microhei; do
  grep -q "\b$package\b" <<<"$depends" || fail "Depends lacks $package: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = gamekivo ] || fail "package name"

listing=$(dpkg-deb -c "$deb")
for path in ./usr/lib/gameKivo/gameKivo ./usr/lib/gameKivo/gameKivo-main.so \
  ./usr/lib/gameKivo/UpgradeClient ./usr/lib/gameKivo/CameraDll.so \
  ./usr/lib/gameKivo/MultOpenApp.dat ./usr/lib/gameKivo/installed \
  ./usr/lib/gameKivo/page-extension/ \
  ./usr/share/applications/local.kivo.gamekivo.desktop \
  ./usr/share/metainfo/local.kivo.gamekivo.metainfo.xml \
  ./usr/share/icons/hicolor/16x16/apps/gameKivo.png \
  ./usr/share/icons/hicolor/256x256/apps/gameKivo.png \
  ./usr/share/icons/hicolor/scalable/apps/gameKivo.svg; do
  grep -qE " $path( |\$)" <<<"$listing" || fail "the package lacks $path"
done
grep -qF "./usr/bin/gameKivo -> ../lib/gameKivo/gameKivo" <<<"$listing" ||
  fail "no command gameKivo on the path"
if grep -q "/build/\|/usr/local" <<<"$listing"; then fail "paths of the build machine"; fi
echo "Depends: $depends"
exit $failed
