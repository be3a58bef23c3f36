#!/usr/bin/env python3
"""The distribution build's copy of a stack tree against `cp -a` of the same tree, in one run.

The tree is the kit tree (bin, data, www) plus generated padding: large media files, a data
archive and many small site assets, at least 500 MB in all. Both copies start from a warm page
cache and an empty target; the runs alternate so that both see the same machine. Prints the median
of each and their ratio (build / cp)."""

import argparse
import os
import random
import resource
import shutil
import statistics
import subprocess
import tempfile
import time

MiB = 1 << 20


def write_file(path, size, rng):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    # Random bytes, so no layer below can shortcut zeros.
    with open(path, "wb") as out:
        out.write(rng.randbytes(size))


def make_tree(kit, root, minimum):
    shutil.copytree(kit, root, symlinks=True, ignore=shutil.ignore_patterns("corvala", ".kit-stamp"))
    # The build copies the folders of data, not the server's loose files beside them.
    data = os.path.join(root, "data")
    for name in os.listdir(data):
        if not os.path.isdir(os.path.join(data, name)):
            os.remove(os.path.join(data, name))
    rng = random.Random(7)
    for i in range(30):
        write_file(os.path.join(root, "www/media/clip%02d.bin" % i), 8 * MiB, rng)
    for i in range(60):
        write_file(os.path.join(root, "data/archive/part%02d.MYD" % i), 2 * MiB, rng)
    i = 0
    while tree_size(root)[1] < minimum:
        for _ in range(500):
            write_file(os.path.join(root, "www/assets/%03d/asset%05d.dat" % (i // 200, i)),
                       rng.randint(4, 64) * 1024, rng)
            i += 1
    return tree_size(root)


def tree_size(root):
    files = 0
    size = 0
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            if not os.path.islink(path):
                files += 1
                size += os.path.getsize(path)
    return files, size


def timed(command):
    """Wall time and the CPU time (user + system) the command spent."""
    os.sync()
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    began = time.perf_counter()
    subprocess.run(command, check=True)
    wall = time.perf_counter() - began
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", default=os.path.join(here, "..", "build"), help="the CMake build folder")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--size-mb", type=int, default=520, help="least size of the tree")
    parser.add_argument("--smoke", action="store_true", help="one run of a small tree; the figures are not judged")
    args = parser.parse_args()
    if args.smoke:
        args.runs, args.size_mb = 1, 40
    copystack = os.path.join(args.build, "src/packaging/corvala-copystack")
    kit = os.path.join(args.build, "dist")

    with tempfile.TemporaryDirectory(prefix="corvala-bench-build-") as scratch:
        tree = os.path.join(scratch, "stack")
        files, size = make_tree(kit, tree, args.size_mb * MiB)
        print("tree: %d files, %.0f MB" % (files, size / MiB))
        target = os.path.join(scratch, "out")
        # What the build copies: the stack's folders and the licences of what the tree carries.
        parts = [os.path.join(tree, name) for name in ("bin", "data", "www", "licenses")
                 if os.path.isdir(os.path.join(tree, name))]
        # One untimed copy each warms the page cache for the source and checks the results agree.
        subprocess.run([copystack, tree, target + "-build"], check=True)
        os.makedirs(target + "-cp")
        subprocess.run(["cp", "-a", *parts, target + "-cp"], check=True)
        if tree_size(target + "-build") != tree_size(target + "-cp"):
            raise SystemExit("the copies differ: %s vs %s" % (tree_size(target + "-build"),
                                                             tree_size(target + "-cp")))
        build_times, cp_times = [], []
        for _ in range(args.runs):
            for name in ("-build", "-cp"):
                shutil.rmtree(target + name)
            build_times.append(timed([copystack, tree, target + "-build"]))
            os.makedirs(target + "-cp")
            cp_times.append(timed(["cp", "-a", *parts, target + "-cp"]))
        for index, what in ((0, "wall"), (1, "cpu")):
            build = statistics.median(t[index] for t in build_times)
            cp = statistics.median(t[index] for t in cp_times)
            print("%-4s build copy: median %.3f s  (%s)" % (what, build,
                                                         " ".join("%.3f" % t[index] for t in build_times)))
            print("%-4s cp -a:      median %.3f s  (%s)" % (what, cp,
                                                         " ".join("%.3f" % t[index] for t in cp_times)))
            print("%-4s ratio build/cp: %.2f (goal <= 1.10)" % (what, build / cp))


if __name__ == "__main__":
    main()
