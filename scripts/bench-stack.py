#!/usr/bin/env python3
"""Start and stop of the server stack against the same servers started by hand, in one run.

Start: from the stack class's start (the driver's clock at its first line) to the first HTTP 200 of
index.php; by hand: mysqld and Apache started directly on copies of the same generated files.
Stop: the driver's own measure of TServerStack::Stop (all processes gone, work folder deleted)."""

import argparse
import os
import shutil
import signal
import subprocess
import tempfile
import time

import stacklab


def first_ok(port, since_ns):
    while True:
        status, _ = stacklab.http_get(port, "/index.php", timeout=2)
        if status == 200:
            return (time.monotonic_ns() - since_ns) / 1e9
        time.sleep(0.005)


def launcher_run(install):
    launcher = stacklab.Launcher(install)
    first = launcher.process.stdout.readline().strip()
    start_clock = int(first.split("=", 1)[1])
    port = None
    # The port is reported only after the start; poll the configured one meanwhile.
    port = install.port
    elapsed = first_ok(port, start_clock)
    launcher.wait_ready()
    if int(launcher.value("apache_port")) != port:
        raise RuntimeError("Apache moved to another port; free port %d and run again" % port)
    return launcher, elapsed


def copy_generated_files(work, hand):
    for name in ("httpd.conf", "php.ini", "my.ini"):
        with open(os.path.join(work, name), "rb") as source:
            text = source.read().replace(work.encode(), hand.encode())
        with open(os.path.join(hand, name), "wb") as target:
            target.write(text)
    sessions = os.path.join(hand, "sessions")
    os.makedirs(sessions, exist_ok=True)
    if os.geteuid() == 0:
        os.chmod(hand, 0o711)
        shutil.chown(sessions, "nobody", "nogroup")


def hand_run(install, hand, mysql_port, port):
    bin_folder = os.path.join(install.root, "bin")
    environment = dict(os.environ, PHPRC=hand, PHP_INI_SCAN_DIR="")
    began = time.monotonic_ns()
    mysqld = subprocess.Popen([os.path.join(bin_folder, "mysql/bin/mysqld"), "--defaults-file=%s/my.ini" % hand,
                               "--port=%d" % mysql_port, "--skip-innodb",
                               "--language=%s/mysql/share/english" % bin_folder, "--user=root"],
                              env=environment, stderr=subprocess.DEVNULL, start_new_session=True)
    apache = subprocess.Popen([os.path.join(bin_folder, "Apache/Apache"), "-f", "%s/httpd.conf" % hand,
                               "-DFOREGROUND"], env=environment, stderr=subprocess.DEVNULL,
                              start_new_session=True)
    elapsed = first_ok(port, began)
    # MariaDB may hang for good on a SIGTERM that arrives while it is still starting.
    while stacklab.http_get(port, "/index.php")[1].find("MySQL connected") < 0:
        time.sleep(0.01)
    for server in (apache, mysqld):
        server.send_signal(signal.SIGTERM)
    for server in (apache, mysqld):
        server.wait(timeout=30)
    return elapsed


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--runs", type=int, default=7)
    args = parser.parse_args()

    port = stacklab.free_port(18080)
    install = stacklab.Install(port)
    install.port = port
    hand = tempfile.mkdtemp(prefix="corvala-hand-")
    starts, hand_starts, stops = [], [], []
    try:
        for run in range(args.runs):
            launcher, elapsed = launcher_run(install)
            starts.append(elapsed)
            work = launcher.value("work")
            mysql_port = int(launcher.value("mysql_port"))
            if run == 0:
                copy_generated_files(work, hand)
            launcher.stop()
            stops.append(float(launcher.value("stop_ms")) / 1000.0)
            if os.path.exists(work) or stacklab.processes_below(install.root):
                raise RuntimeError("the stop left the work folder or a server behind")
            hand_starts.append(hand_run(install, hand, mysql_port, port))
    finally:
        install.remove()
        shutil.rmtree(hand, ignore_errors=True)

    launcher_ms = stacklab.median_ms(starts)
    hand_ms = stacklab.median_ms(hand_starts)
    overhead = launcher_ms - hand_ms
    print("runs: %d" % args.runs)
    print("start to first HTTP 200, launcher: median %.1f ms (%s)" % (
        launcher_ms, ", ".join("%.0f" % (s * 1000) for s in starts)))
    print("start to first HTTP 200, by hand:  median %.1f ms (%s)" % (
        hand_ms, ", ".join("%.0f" % (s * 1000) for s in hand_starts)))
    print("start overhead: %.1f ms (goal: at most 363 ms, the 330 ms Apache wait plus 10 %%)" % overhead)
    print("stop (all processes gone, work folder deleted): median %.1f ms, max %.1f ms (goal: under 1000 ms)" % (
        stacklab.median_ms(stops), max(stops) * 1000))


if __name__ == "__main__":
    main()
