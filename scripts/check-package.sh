#!/usr/bin/env bash
# Checks the release package: two builds give the same zip, byte for byte (the programs are linked
# again in between), the zip opens and every entry's data is intact, and it holds what it should,
# the texts in the form Notepad reads on every Windows.
set -euo pipefail
cd "$(dirname "$0")/.."

zip="$(scripts/package.sh | sed -n 's/^package: wrote //p')"
cp "$zip" build/package-first.zip
rm build/win32/app/palvotrix.exe build/win32/cli/palvotrix-cli.exe
scripts/package.sh >/dev/null
if ! cmp -s build/package-first.zip "$zip"; then
  echo "check-package: two builds of $zip differ" >&2
  exit 1
fi

unzip -tq "$zip" >/dev/null || { echo "check-package: $zip does not open" >&2; exit 1; }

python3 - "$zip" <<'PYTHON'
import os
import sys
import zipfile

zip_path = sys.argv[1]
folder = zip_path.split("/")[-1].removesuffix("-win32.zip") + "/"
texts = ["はじめにお読みください.txt", "README.txt", "CHANGES.txt"] + (["LICENSE.txt"] if os.path.exists("LICENSE") else [])
expected = [folder] + [folder + name for name in ["palvotrix.exe", "palvotrix-cli.exe"] + texts]
problems = []
with zipfile.ZipFile(zip_path) as archive:
    names = archive.namelist()
    if names != expected:
        problems.append(f"holds {names}, not {expected}")
    for name in ["palvotrix.exe", "palvotrix-cli.exe"]:
        data = archive.read(folder + name)
        pe = int.from_bytes(data[0x3C:0x40], "little") if data[:2] == b"MZ" else 0
        if data[pe:pe + 6] != b"PE\0\0\x4c\x01":
            problems.append(f"{name} is not a 32-bit x86 Windows program")
    for name in texts:
        data = archive.read(folder + name)
        if not data.startswith(b"\xef\xbb\xbf"):
            problems.append(f"{name} has no byte-order mark")
        if data.count(b"\n") != data.count(b"\r\n") or data.count(b"\r") != data.count(b"\r\n"):
            problems.append(f"{name} has lines not ended by CR LF")
        try:
            data.decode("utf-8")
        except UnicodeDecodeError:
            problems.append(f"{name} is not UTF-8")
    readme = archive.read(folder + "README.txt").decode("utf-8")
    for heading in ["## Using the program", "## The command-line program"]:
        if heading not in readme:
            problems.append(f"README.txt lacks {heading}")
    for heading in ["## The tests", "## The benchmark"]:
        if heading in readme:
            problems.append(f"README.txt holds the developers' section {heading}")
    version = folder.removeprefix("palvotrix-").rstrip("/")
    if f"\r\n{version}\r\n" not in archive.read(folder + "CHANGES.txt").decode("utf-8"):
        problems.append(f"CHANGES.txt has no entry for {version}")
for problem in problems:
    print(f"check-package: {problem}", file=sys.stderr)
sys.exit(1 if problems else 0)
PYTHON
echo "check-package: $zip is reproducible and holds what it should"
