#!/usr/bin/env python3
"""Quick benchmark of kalvex-sync: a generated tree, a timed first run (B empty) and a
timed run with nothing to do. Usage: quick_bench.py KALVEX_SYNC [FILES] [--size BYTES]"""
import argparse
import os
import shutil
import statistics
import subprocess
import tempfile
import time


def make_tree(root, files, size, per_folder=100):
    payload = os.urandom(size)
    for i in range(files):
        folder = os.path.join(root, f"d{i // (per_folder * per_folder) :03}", f"s{(i // per_folder) % per_folder:03}")
        if i % per_folder == 0:
            os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, f"f{i:06}.dat"), "wb") as out:
            out.write(payload[: size - 8] + i.to_bytes(8, "little"))


def timed(command, env):
    start = time.perf_counter()
    subprocess.run(command, check=True, env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tool")
    parser.add_argument("files", nargs="?", type=int, default=10000)
    parser.add_argument("--size", type=int, default=4096)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()

    scratch = tempfile.mkdtemp(prefix="kalvex-bench-")
    env = dict(os.environ, HOME=scratch, XDG_DATA_HOME=os.path.join(scratch, "share"))
    try:
        source = os.path.join(scratch, "source")
        make_tree(source, args.files, args.size)
        first, unchanged = [], []
        for run in range(args.runs):
            a = os.path.join(scratch, f"A{run}")
            b = os.path.join(scratch, f"B{run}")
            shutil.copytree(source, a, copy_function=shutil.copy2)
            os.makedirs(b)
            project = os.path.join(scratch, f"p{run}.kvx")
            with open(project, "w", newline="") as out:
                out.write(f"[General]\r\nNumOfItems=1\r\n[Item0]\r\nChecked=1\r\nName=bench\r\n"
                          f"DirA={a}\r\nDirB={b}\r\n")
            first.append(timed([args.tool, "--yes", project], env))
            unchanged.append(timed([args.tool, project], env))
        print(f"kalvex-sync, {args.files} files of {args.size} bytes, median of {args.runs}:")
        print(f"  first run (B empty): {statistics.median(first):.3f} s")
        print(f"  no change:           {statistics.median(unchanged):.3f} s")
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
