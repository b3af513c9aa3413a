#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that each file is where the desktop looks
# for it, that the validators accept the desktop entry and the AppStream file, and that the
# installed program answers --version.
# Usage: check_install.sh <build-dir> <version>
set -euo pipefail
build=$1 version=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

id=org.kestrel.Kestrel
expected=(
  bin/kestrel
  share/applications/$id.desktop
  share/metainfo/$id.metainfo.xml
  share/icons/hicolor/16x16/apps/$id.png
  share/icons/hicolor/32x32/apps/$id.png
  share/icons/hicolor/48x48/apps/$id.png
  share/icons/hicolor/256x256/apps/$id.png
  share/doc/kestrel/manual/index.html
  share/doc/kestrel/manual/style.css
  share/doc/kestrel/screenshot.png
  share/doc/kestrel/screenshot-stitch.png
  share/doc/kestrel/screenshot-review.png
  share/doc/kestrel/client-view.png
  share/doc/kestrel/manual/client-view.html
)
status=0
for f in "${expected[@]}"; do
  [ -s "$prefix/$f" ] || { echo "missing: $f"; status=1; }
done
[ -x "$prefix/bin/kestrel" ] || { echo "not executable: bin/kestrel"; status=1; }

# Every page of the manual links only to files that were installed with it.
for page in "$prefix"/share/doc/kestrel/manual/*.html; do
  for link in $(grep -o -E '(href|src)="[^"#:]+' "$page" | sed 's/^[a-z]*="//'); do
    [ -e "$(dirname "$page")/$link" ] || { echo "$(basename "$page"): broken link $link"; status=1; }
  done
done

desktop-file-validate "$prefix/share/applications/$id.desktop" || status=1
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null ||
  { appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"; status=1; }
if command -v chmcmd >/dev/null; then
  [ -s "$prefix/share/doc/kestrel/Kestrel.chm" ] || { echo "missing: share/doc/kestrel/Kestrel.chm"; status=1; }
fi
grep -q "<release version=\"$version\"" "$prefix/share/metainfo/$id.metainfo.xml" ||
  { echo "metainfo does not name release $version"; status=1; }

out=$("$prefix/bin/kestrel" --version)
[ "$out" = "Kestrel $version" ] || { echo "kestrel --version said: $out"; status=1; }
[ $status -eq 0 ] && echo "install tree complete under $prefix"
exit $status
