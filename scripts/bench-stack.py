#!/usr/bin/env python3
"""Start and stop of the server stack against the same servers started by hand, in one run.

Start: from the stack class's start (the driver's clock at its first line) to the first HTTP 200 of
index.php; by hand: mysqld and Apache started directly on copies of the same generated files.
Stop: the driver's own measure of TServerStack::Stop (all processes gone, work folder deleted).
--smoke: one round, to show the benchmark runs; its figures are not judged."""

import argparse
import os
import time

import stacklab


def launcher_run(install):
    launcher = stacklab.Launcher(install)
    start_clock = int(launcher.first_line().strip().split("=", 1)[1])

    def check():
        if launcher.process.poll() is not None:
            raise RuntimeError("the launcher ended with %d during its start" % launcher.process.returncode)

    # The port is reported only after the start; the configured one is free, so it is the one.
    elapsed = stacklab.wait_first_ok(install.port, start_clock, check=check)
    launcher.wait_ready()
    if int(launcher.value("apache_port")) != install.port:
        raise RuntimeError("Apache moved to another port; free port %d and run again" % install.port)
    return launcher, elapsed


def hand_run(hand, mysql_port, port):
    began = time.monotonic_ns()
    hand.start(mysql_port)
    try:
        elapsed = stacklab.wait_first_ok(port, began, check=hand.check_running)
    finally:
        hand.stop()
    return elapsed


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--smoke", action="store_true", help="one round; the figures are not judged")
    args = parser.parse_args()
    if args.smoke:
        args.runs = 1

    port = stacklab.free_port(18080)
    install = stacklab.Install(port)
    hand = None
    starts, hand_starts, stops = [], [], []
    try:
        for run in range(args.runs):
            launcher, elapsed = launcher_run(install)
            starts.append(elapsed)
            work = launcher.value("work")
            mysql_port = int(launcher.value("mysql_port"))
            if hand is None:
                hand = stacklab.HandServers(install, work)
            launcher.stop()
            stops.append(float(launcher.value("stop_ms")) / 1000.0)
            if os.path.exists(work) or stacklab.processes_below(install.root):
                raise RuntimeError("the stop left the work folder or a server behind")
            hand_starts.append(hand_run(hand, mysql_port, port))
    finally:
        install.remove()
        if hand:
            hand.remove()

    launcher_ms = stacklab.median_ms(starts)
    hand_ms = stacklab.median_ms(hand_starts)
    overhead = launcher_ms - hand_ms
    if args.smoke:
        print("smoke run: one short round; the figures are not judged")
    print("runs: %d" % args.runs)
    print("start to first HTTP 200, launcher: median %.1f ms (%s)" % (
        launcher_ms, ", ".join("%.0f" % (s * 1000) for s in starts)))
    print("start to first HTTP 200, by hand:  median %.1f ms (%s)" % (
        hand_ms, ", ".join("%.0f" % (s * 1000) for s in hand_starts)))
    print("start overhead: %.1f ms (goal: at most 363 ms, the 330 ms Apache wait plus 10 %%)" % overhead)
    print("stop (all processes gone, work folder deleted): median %.1f ms, max %.1f ms (goal: under 1000 ms)" % (
        stacklab.median_ms(stops), max(stops) * 1000))


if __name__ == "__main__":
    stacklab.run(main)
