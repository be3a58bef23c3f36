#!/usr/bin/env python3
"""The launcher's start to its first complete page inside the minimal Debian root (none of the
tree's packages installed; scripts/minroot.sh) against the same on the host, alternating, in one
run. Both start with the same plain desktop environment. Needs root and a display."""

import argparse
import importlib.util
import os
import statistics
import subprocess
import sys
import time

import stacklab

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.environ.get("CORVALA_MINROOT", os.path.join(stacklab.BUILD, "minroot"))
MINROOT = os.path.join(HERE, "minroot.sh")


def load_bench_launcher():
    found = importlib.util.spec_from_file_location("bench_launcher", os.path.join(HERE, "bench-launcher.py"))
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


bench = load_bench_launcher()


def environment():
    return ["/usr/bin/env", "-i", "HOME=/root", "PATH=/usr/sbin:/usr/bin:/sbin:/bin", "LANG=C.UTF-8",
            "DISPLAY=" + os.environ["DISPLAY"]]


def start_to_first_page(command, program, tree):
    """From the start command to the end of the splash process, which the launcher ends once the
    first page is complete; then a clean stop."""
    began = time.monotonic()
    stacklab.spawn(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    stacklab.wait_for(lambda: bench.find_process(program, b"splash") is not None, bench.PAGE_SECONDS,
                      "the splash process of " + program, poll=0.002)
    splash = bench.find_process(program, b"splash")
    stacklab.wait_for(lambda: not (os.path.exists("/proc/%d" % splash) and bench.command_line(splash)),
                      bench.PAGE_SECONDS, "the end of the splash process of " + program, poll=0.002)
    elapsed = time.monotonic() - began
    launcher = bench.find_process(program, None)
    if launcher is None:
        raise RuntimeError("the launcher ended with its first page: " + program)
    os.kill(launcher, 15)
    stacklab.wait_for(lambda: not stacklab.processes_below(tree), stacklab.STOP_SECONDS, "the stop of " + program)
    return elapsed


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--smoke", action="store_true", help="one run; the figures are not judged")
    args = parser.parse_args()
    if args.smoke:
        args.runs = 1
    if os.geteuid() != 0 or not os.environ.get("DISPLAY"):
        sys.exit("needs root and a display (source scripts/display.sh first)")
    subprocess.run(["bash", MINROOT, ROOT], check=True)
    subprocess.run(["bash", MINROOT, "--bind", ROOT], check=True)
    host = stacklab.Install(stacklab.free_port(18080), bench.LAUNCHER)
    inside = stacklab.Install(stacklab.free_port(18180), bench.LAUNCHER, os.path.join(ROOT, "opt"))
    inner_program = inside.program[len(ROOT):]
    host_times, root_times = [], []
    try:
        for _ in range(args.runs):
            host_times.append(start_to_first_page(environment() + [host.program], host.program, host.root))
            root_times.append(start_to_first_page(["chroot", ROOT] + environment() + [inner_program],
                                                  inner_program, inside.root))
    finally:
        host.remove()
        inside.remove()
        subprocess.run(["bash", MINROOT, "--unbind", ROOT], check=False)

    host_ms, root_ms = stacklab.median_ms(host_times), stacklab.median_ms(root_times)
    print("runs: %d" % args.runs)
    print("start to first complete page, on the host:          median %.0f ms (%s)" % (
        host_ms, ", ".join("%.0f" % (t * 1000) for t in host_times)))
    print("start to first complete page, in the minimal root:  median %.0f ms (%s)" % (
        root_ms, ", ".join("%.0f" % (t * 1000) for t in root_times)))
    print("ratio root/host: %.3f (goal: at most 1.1)" % (root_ms / host_ms))
    print("spread (stdev): host %.0f ms, root %.0f ms" % (statistics.pstdev(host_times) * 1000,
                                                        statistics.pstdev(root_times) * 1000))


if __name__ == "__main__":
    stacklab.run(main)
