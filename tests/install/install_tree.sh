#!/usr/bin/env bash
# Installs the build into a scratch prefix, as a user or a package would, and checks the
# tree: the programs, the playback module, the help page and what a desktop needs to offer
# the editor for its files. Usage: install_tree.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
fail() { echo "install tree: $*" >&2; exit 1; }

for f in bin/chimewright bin/chwr share/chimewright/chwr.html \
         share/applications/chimewright.desktop \
         share/icons/hicolor/scalable/apps/chimewright.svg \
         share/mime/packages/chimewright.xml; do
  [ -f "$prefix/$f" ] || fail "$f is missing"
done
[ -x "$prefix/bin/chwr" ] || fail "bin/chwr is not executable"
find "$prefix" -path '*/chimewright/*.so' | grep -q . || fail "the playback module is missing"

# The installed tool runs from there.
"$prefix/bin/chwr" --version | grep -q '^chwr (Chimewright) ' || fail "bin/chwr --version"

# The desktop entry names the program, its icon and the file kinds the MIME file defines.
desktop=$prefix/share/applications/chimewright.desktop
grep -qx 'Exec=chimewright %f' "$desktop" || fail "Exec line"
grep -qx 'Icon=chimewright' "$desktop" || fail "Icon line"
for type in $(sed -n 's/^MimeType=//p' "$desktop" | tr ';' ' '); do
  grep -q "type=\"$type\"" "$prefix/share/mime/packages/chimewright.xml" ||
    fail "$type is not defined"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi
if command -v xmllint >/dev/null; then
  xmllint --noout "$prefix/share/mime/packages/chimewright.xml" \
    "$prefix/share/icons/hicolor/scalable/apps/chimewright.svg" || fail "XML"
fi
# The MIME database takes the definitions (it refuses a malformed one).
if command -v update-mime-database >/dev/null; then
  XDG_DATA_DIRS="$prefix/share" update-mime-database "$prefix/share/mime" ||
    fail "update-mime-database"
  for type in application/x-mld application/x-smd text/x-chimewright-song; do
    [ -f "$prefix/share/mime/$type.xml" ] || fail "the MIME database lacks $type"
  done
fi
echo "install tree: ok"
