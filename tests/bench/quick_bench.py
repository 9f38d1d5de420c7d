#!/usr/bin/env python3
"""Quick benchmark of kalvex-sync: a generated tree, a timed first run (B empty), a timed run
with nothing to do beside a bare walk of both trees (find), and the peak memory of each.
Usage: quick_bench.py KALVEX_SYNC [FILES] [--size BYTES] [--preset huge]"""
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


PRESETS = {"huge": (1000000, 64)}  # a million small files: home folders, photo libraries


def timed(command, env):
    """Wall time in seconds and peak resident memory in MB of one run of `command`. GNU time
    starts it: a child forked from this script would count the script's own memory."""
    with tempfile.NamedTemporaryFile("r") as memory:
        start = time.perf_counter()
        subprocess.run(["/usr/bin/time", "-o", memory.name, "-f", "%M", *command], check=True,
                       env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        return elapsed, int(memory.read().split()[-1]) / 1024


def report(label, results):
    times = [t for t, _ in results]
    memory = max(m for _, m in results)
    print(f"  {label:<22}{statistics.median(times):.3f} s   peak {memory:.1f} MB")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tool")
    parser.add_argument("files", nargs="?", type=int, default=10000)
    parser.add_argument("--size", type=int, default=4096)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--preset", choices=sorted(PRESETS))
    args = parser.parse_args()
    if args.preset:
        args.files, args.size = PRESETS[args.preset]

    scratch = tempfile.mkdtemp(prefix="kalvex-bench-")
    env = dict(os.environ, HOME=scratch, XDG_DATA_HOME=os.path.join(scratch, "share"))
    try:
        source = os.path.join(scratch, "source")
        make_tree(source, args.files, args.size)
        first, unchanged, walk = [], [], []
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
            walk.append(timed(["find", a, b, "-printf", "%T@ %s\\n"], env))
        print(f"kalvex-sync, {args.files} files of {args.size} bytes, median of {args.runs}:")
        report("first run (B empty):", first)
        report("no change:", unchanged)
        report("find over A and B:", walk)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
