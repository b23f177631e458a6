#!/usr/bin/env bash
# Builds the shipped i686 release and writes dist/palvotrix-<version>-win32.zip: both programs, the
# Japanese manual, the English README's user part, the list of changes and the licence where the
# repository has one. The same sources give the same zip, byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh >/dev/null

cmake --preset win32 >/dev/null
cmake --build --preset win32 --target palvotrix palvotrix-cli

version="$(sed -n 's/^#define PALVOTRIX_VERSION "\(.*\)"$/\1/p' build/win32/generated/Version.h)"
[ -n "$version" ] || { echo "package: no version in build/win32/generated/Version.h" >&2; exit 1; }
name="palvotrix-$version"

# Every file carries the time of the last commit (or SOURCE_DATE_EPOCH), never the time of the build.
epoch="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}"

stage="build/package/$name"
rm -rf build/package
mkdir -p "$stage" dist

# The package's files, in the order they go into the zip.
files=()

# Only the symbols go: the code is the tested build's. strip would write the time of day into the
# header; like the link, it writes none.
for program in app/palvotrix.exe cli/palvotrix-cli.exe; do
  SOURCE_DATE_EPOCH=0 i686-w64-mingw32-strip --strip-all -o "$stage/$(basename "$program")" "build/win32/$program"
  files+=("$(basename "$program")")
done

# Texts for Notepad on every Windows: UTF-8 with a byte-order mark, and CR LF.
add_text() {
  { printf '\xef\xbb\xbf'; sed 's/$/\r/' "$1"; } >"$stage/$2"
  files+=("$2")
}

# The README's user part: its title and first paragraph, which say what the program is, and the
# sections from "Using the program" to the command-line program's, without the developers' ones.
{
  awk 'NF == 0 && ++blank == 2 { exit } { print }' README.md
  echo
  sed -n '/^## Using the program$/,/^## The tests$/p' README.md | sed '$d'
} >build/package/README.md

add_text "package/はじめにお読みください.txt" "はじめにお読みください.txt"
add_text build/package/README.md README.txt
add_text package/CHANGES.txt CHANGES.txt
if [ -f LICENSE ]; then
  add_text LICENSE LICENSE.txt
fi

zip="dist/$name-win32.zip"
python3 scripts/reproducible-zip.py "$zip" "$epoch" "$stage" "$name" "${files[@]}"
echo "package: wrote $zip"
