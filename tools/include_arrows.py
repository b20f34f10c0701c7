#!/usr/bin/env python3
"""Counts the files of each folder below a source folder and the include
arrows between them: file to file, and folder to folder.

    tools/include_arrows.py [FOLDER ...]      (default: src/app)

An include is resolved as the compiler would for a quoted include: beside the
including file first, then below src/. Includes of files outside the counted
folders (Qt, the audio code) are not arrows. A folder arrow is reported once
per pair of folders with the number of file arrows behind it.
"""

import collections
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCE_ENDINGS = (".h", ".cpp")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def source_files(folder):
    for top, _, names in os.walk(folder):
        for name in sorted(names):
            if name.endswith(SOURCE_ENDINGS):
                yield os.path.normpath(os.path.join(top, name))


def resolve(including, target):
    for base in (os.path.dirname(including), os.path.join(ROOT, "src")):
        candidate = os.path.normpath(os.path.join(base, target))
        if os.path.isfile(candidate):
            return candidate
    return None


def main(argv):
    folders = [os.path.join(ROOT, f) for f in (argv or ["src/app"])]
    files = [f for folder in folders for f in source_files(folder)]
    counted = set(files)

    def folder_of(path):
        return os.path.relpath(os.path.dirname(path), ROOT)

    per_folder = collections.Counter(folder_of(f) for f in files)
    file_arrows = set()
    for path in files:
        with open(path, encoding="utf-8", errors="replace") as stream:
            for target in INCLUDE.findall(stream.read()):
                resolved = resolve(path, target)
                if resolved in counted and resolved != path:
                    file_arrows.add((path, resolved))

    folder_arrows = collections.Counter(
        (folder_of(a), folder_of(b)) for a, b in file_arrows if folder_of(a) != folder_of(b))

    print("files per folder:")
    for folder in sorted(per_folder):
        print(f"  {per_folder[folder]:4d}  {folder}")
    print(f"  {sum(per_folder.values()):4d}  in all")
    inside = sum(1 for a, b in file_arrows if folder_of(a) == folder_of(b))
    print(f"include arrows between files: {len(file_arrows)}"
          f" ({inside} inside a folder, {len(file_arrows) - inside} across folders)")
    print(f"folder arrows: {len(folder_arrows)}")
    for (a, b), count in sorted(folder_arrows.items()):
        print(f"  {a} -> {b}  ({count})")


if __name__ == "__main__":
    main(sys.argv[1:])
