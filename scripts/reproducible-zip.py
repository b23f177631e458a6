#!/usr/bin/env python3
"""Writes a zip that depends on nothing but the files' contents: the entries in the order given,
each with one fixed time, no owner, permissions or extra fields, and UTF-8 names flagged as such,
so that every extractor, Windows' own included, shows the Japanese names.

usage: reproducible-zip.py OUT EPOCH SOURCE FOLDER FILE...
  OUT     the zip to write
  EPOCH   the time every entry carries, in seconds since 1970 (UTC)
  SOURCE  the folder that holds the files
  FOLDER  the name of the one folder in the zip, which holds them all
  FILE    the files' names, in the order they go in
"""
import sys
import time
import zipfile

# The zip format cannot hold a time before 1980.
EARLIEST = 315532800
MS_DOS = 0
DIRECTORY_ATTRIBUTE = 0x10
ARCHIVE_ATTRIBUTE = 0x20


def entry(name, epoch, attributes):
    info = zipfile.ZipInfo(name, time.gmtime(max(epoch, EARLIEST))[:6])
    info.create_system = MS_DOS
    info.external_attr = attributes
    return info


def main(out, epoch, source, folder, *files):
    epoch = int(epoch)
    with zipfile.ZipFile(out, "w") as archive:
        archive.writestr(entry(folder + "/", epoch, DIRECTORY_ATTRIBUTE), b"")
        for name in files:
            with open(f"{source}/{name}", "rb") as file:
                data = file.read()
            info = entry(f"{folder}/{name}", epoch, ARCHIVE_ATTRIBUTE)
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)


if __name__ == "__main__":
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])
