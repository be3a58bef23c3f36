#!/usr/bin/env python3
"""The launcher's start to its first complete page, and its memory, against a bare QWebEngineView
program loading the same page from the same servers started by hand, in one run.

Launcher: from starting `corvala` to the end of its splash process, which the main window ends as
soon as the first page is complete. Bare: from starting the program to its loadFinished, on the
tree's own Qt runtime (bin/lib, bin/qt), as the launcher runs.
Memory: the proportional set size (PSS) of the program's process tree (the browser engine's
processes included, the servers not), idle a few seconds after the first page. Needs a display."""

import argparse
import hashlib
import os
import signal
import statistics
import subprocess
import time

import stacklab

LAUNCHER = os.path.join(stacklab.BUILD, "dist", "corvala")
BARE = os.path.join(stacklab.BUILD, "tests", "e2e", "corvala_bare_browser")
IDLE_SECONDS = 3
# The first page of a launcher or of the bare program on a loaded machine takes a few seconds.
PAGE_SECONDS = 120


def command_line(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as handle:
            return handle.read().split(b"\0")[:-1]
    except OSError:
        return []


def pids():
    return [int(entry) for entry in os.listdir("/proc") if entry.isdigit()]


def children_of(pid):
    found = []
    for candidate in pids():
        try:
            with open("/proc/%d/stat" % candidate) as handle:
                parent = int(handle.read().rsplit(")", 1)[1].split()[1])
        except (OSError, IndexError, ValueError):
            continue
        if parent == pid:
            found.append(candidate)
    return found


def tree_pss_kib(root, skip_below):
    """PSS of root and its descendants, leaving out processes whose executable lies below one of the
    folders in skip_below."""
    total, pending = 0, [root]
    while pending:
        pid = pending.pop()
        pending.extend(children_of(pid))
        try:
            executable = os.readlink("/proc/%d/exe" % pid)
            if any(executable.startswith(folder + "/") for folder in skip_below):
                continue
            with open("/proc/%d/smaps_rollup" % pid) as handle:
                for line in handle:
                    if line.startswith("Pss:"):
                        total += int(line.split()[1])
        except OSError:
            continue
    return total


def find_process(program, first_argument):
    for pid in pids():
        args = command_line(pid)
        if args and args[0] == program.encode() and (args[1:2] == [first_argument] if first_argument
                                                     else len(args) == 1):
            return pid
    return None


def work_folder(program):
    return os.path.join(os.environ.get("TMPDIR") or "/tmp", hashlib.md5(program.encode()).hexdigest())


def mysql_port_of(work):
    with open(os.path.join(work, "my.ini")) as handle:
        for line in handle:
            if line.strip().startswith("port="):
                return int(line.split("=", 1)[1])
    raise RuntimeError("no port in my.ini")


def launcher_run(install, keep_files, idle):
    began = time.monotonic()
    stacklab.spawn([install.program], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    stacklab.wait_for(lambda: find_process(install.program, b"splash") is not None, PAGE_SECONDS,
                      "the launcher's splash process", poll=0.002)
    splash = find_process(install.program, b"splash")
    stacklab.wait_for(lambda: not (os.path.exists("/proc/%d" % splash) and command_line(splash)), PAGE_SECONDS,
                      "the end of the splash process (the first complete page)", poll=0.002)
    elapsed = time.monotonic() - began
    launcher = find_process(install.program, None)
    if launcher is None:
        raise RuntimeError("the launcher ended with its first page")
    time.sleep(idle)
    # The servers only: the engine's helper processes live in bin/qt and belong to the launcher.
    servers = [os.path.join(install.root, "bin", name) for name in ("Apache", "mysql")]
    memory = tree_pss_kib(launcher, servers)
    keep_files(work_folder(install.program))
    os.kill(launcher, signal.SIGTERM)
    stacklab.wait_for(lambda: not stacklab.processes_below(install.root), stacklab.STOP_SECONDS,
                      "the launcher's stop")
    return elapsed, memory


def bundled_runtime(root):
    """The environment that runs a program on the tree's own Qt runtime, the one the launcher uses,
    so that both sides of the comparison map the same library files."""
    qt = os.path.join(root, "bin", "qt")
    return dict(os.environ,
                LD_LIBRARY_PATH=os.path.join(root, "bin", "lib"),
                QT_PLUGIN_PATH=os.path.join(qt, "plugins"),
                QTWEBENGINEPROCESS_PATH=os.path.join(qt, "libexec", "QtWebEngineProcess"),
                QTWEBENGINE_RESOURCES_PATH=os.path.join(qt, "resources"),
                QTWEBENGINE_LOCALES_PATH=os.path.join(qt, "translations", "qtwebengine_locales"))


def bare_run(port, root, idle):
    began = time.monotonic_ns()
    # From the tree's folder, as the launcher runs: the engine finds its keyboard layouts there.
    bare = stacklab.spawn([BARE, "http://127.0.0.1:%d/" % port], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, text=True, cwd=root, env=bundled_runtime(root))
    try:
        line = stacklab.LineReader(bare.stdout).line(PAGE_SECONDS, "the bare program's loadFinished")
        if line is None:
            raise RuntimeError("the bare program ended with %s before its page" % bare.wait(stacklab.STOP_SECONDS))
        loaded = int(line.strip().split("=", 1)[1])
        elapsed = (loaded - began) / 1e9
        time.sleep(idle)
        memory = tree_pss_kib(bare.pid, [])
    finally:
        bare.terminate()
        bare.wait(timeout=stacklab.STOP_SECONDS)
    return elapsed, memory


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--smoke", action="store_true", help="one round, short idle; the figures are not judged")
    args = parser.parse_args()
    idle = IDLE_SECONDS
    if args.smoke:
        args.runs, idle = 1, 0.5
    if not os.environ.get("DISPLAY"):
        raise SystemExit("needs a display: source scripts/display.sh first")

    port = stacklab.free_port(17080)
    install = stacklab.Install(port, LAUNCHER)
    hand = None
    mysql_port = 0
    launcher_times, launcher_memory, bare_times, bare_memory = [], [], [], []

    def keep_files(work):
        # The servers started by hand get copies of the files the launcher generated.
        nonlocal hand, mysql_port
        if hand is None:
            hand = stacklab.HandServers(install, work)
            mysql_port = mysql_port_of(work)

    try:
        for _ in range(args.runs):
            elapsed, memory = launcher_run(install, keep_files, idle)
            launcher_times.append(elapsed)
            launcher_memory.append(memory)
            hand.start(mysql_port)
            try:
                stacklab.wait_first_ok(port, time.monotonic_ns(), check=hand.check_running)
                elapsed, memory = bare_run(port, install.root, idle)
            finally:
                hand.stop()
            bare_times.append(elapsed)
            bare_memory.append(memory)
    finally:
        install.remove()
        if hand:
            hand.remove()

    launcher_ms = stacklab.median_ms(launcher_times)
    bare_ms = stacklab.median_ms(bare_times)
    if args.smoke:
        print("smoke run: one short round; the figures are not judged")
    print("runs: %d" % args.runs)
    print("start to first complete page, launcher: median %.0f ms (%s)" % (
        launcher_ms, ", ".join("%.0f" % (t * 1000) for t in launcher_times)))
    print("start to loadFinished, bare program:    median %.0f ms (%s)" % (
        bare_ms, ", ".join("%.0f" % (t * 1000) for t in bare_times)))
    print("overhead: %.0f ms (goal: at most 390 ms, the 330 ms + 60 ms waits)" % (launcher_ms - bare_ms))
    lm, bm = statistics.median(launcher_memory), statistics.median(bare_memory)
    print("idle memory (PSS, servers left out): launcher %.1f MiB, bare %.1f MiB, ratio %.3f (goal: at most 1.10)"
          % (lm / 1024, bm / 1024, lm / bm))


if __name__ == "__main__":
    stacklab.run(main)
