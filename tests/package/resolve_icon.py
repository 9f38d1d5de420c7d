#!/usr/bin/env python3
"""Looks an icon up in the hicolor theme of a root folder, as a desktop would.

    resolve_icon.py ROOT NAME SIZE...

Follows the freedesktop.org icon theme lookup: the theme's index.theme names the
directories; a directory that matches the size wins, else the one closest to it.
Prints one line per size, "SIZE PATH" (PATH relative to ROOT, "-" when nothing was
found), and exits 1 when any size found nothing.
"""

import configparser
import os
import sys

EXTENSIONS = (".png", ".svg", ".xpm")
BASE_DIRS = ("usr/local/share/icons", "usr/share/icons")


def read_theme(root):
    for base in BASE_DIRS:
        index = os.path.join(root, base, "hicolor", "index.theme")
        if os.path.isfile(index):
            parser = configparser.ConfigParser(interpolation=None, strict=False)
            parser.optionxform = str
            parser.read(index, encoding="utf-8")
            return parser
    return None


def directories(theme):
    names = theme.get("Icon Theme", "Directories", fallback="")
    names += "," + theme.get("Icon Theme", "ScaledDirectories", fallback="")
    for name in filter(None, (n.strip() for n in names.split(","))):
        if theme.has_section(name):
            yield name, theme[name]


def limits(entry):
    size = int(entry.get("Size"))
    kind = entry.get("Type", "Threshold")
    if kind == "Fixed":
        return size, size
    if kind == "Scalable":
        return int(entry.get("MinSize", size)), int(entry.get("MaxSize", size))
    threshold = int(entry.get("Threshold", 2))
    return size - threshold, size + threshold


def distance(entry, size):
    low, high = limits(entry)
    if size < low:
        return low - size
    if size > high:
        return size - high
    return 0


def lookup(root, theme, name, size):
    """The file a desktop would use for NAME at SIZE (scale 1), or None."""
    best = None
    for order, (subdir, entry) in enumerate(directories(theme)):
        if int(entry.get("Scale", 1)) != 1:
            continue
        for base in BASE_DIRS:
            for extension in EXTENSIONS:
                path = os.path.join(base, "hicolor", subdir, name + extension)
                if os.path.isfile(os.path.join(root, path)):
                    # A matching directory wins in the theme's order, else the closest.
                    candidate = (distance(entry, size), order, path)
                    best = min(best, candidate) if best else candidate
    return best[2] if best else None


def main(argv):
    if len(argv) < 4:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    root, name, sizes = argv[1], argv[2], argv[3:]
    theme = read_theme(root)
    if theme is None:
        print("hicolor has no index.theme under " + root, file=sys.stderr)
        return 1
    missing = False
    for size in sizes:
        path = lookup(root, theme, name, int(size))
        print(size, path or "-")
        missing = missing or path is None
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
