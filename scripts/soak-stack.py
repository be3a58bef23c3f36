#!/usr/bin/env python3
"""Soak of the server stack: start/stop cycles while a PHP page inserts rows into an InnoDB, an Aria
and a MyISAM table, cycles in which mysqld is killed with SIGKILL mid-write and the launcher then
exits normally, then cycles in which the launcher is killed with SIGKILL mid-run. At the end every
acknowledged row must be in all three tables, every CHECK TABLE must say OK, no server of the
installation may run and the work folder must be gone. Exits non-zero when any of that fails."""

import argparse
import os
import random
import signal
import sys
import threading
import time

import stacklab

# The writing page the stack's end-to-end tests use too.
WRITER_PAGE_FILE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e", "pages", "rows.php")


class Writer(threading.Thread):
    """Inserts rows one request at a time until told to stop or the server stops answering."""

    def __init__(self, port, first_id, acknowledged):
        super().__init__(daemon=True)
        self.port, self.next_id, self.acknowledged = port, first_id, acknowledged
        self.halt = threading.Event()

    def run(self):
        while not self.halt.is_set():
            status, body = stacklab.http_get(self.port, "/soak.php?id=%d" % self.next_id, timeout=5)
            if status == 200 and body == "committed %d" % self.next_id:
                self.acknowledged.add(self.next_id)
            elif status == 0:
                time.sleep(0.01)
            self.next_id += 1


def wait_until_no_server(install, seconds):
    deadline = time.monotonic() + seconds
    while stacklab.processes_below(install.root) and time.monotonic() < deadline:
        time.sleep(0.05)
    return not stacklab.processes_below(install.root)


def run_cycle(install, acknowledged, next_id, kill, failures, kill_mysql=False):
    launcher = stacklab.Launcher(install)
    launcher.wait_ready()
    port = int(launcher.value("apache_port"))
    work = launcher.value("work")
    writer = Writer(port, next_id, acknowledged)
    writer.start()
    time.sleep(random.uniform(0.3, 0.8))
    if kill_mysql:
        # The crash happens while rows are being written; the exit after it is a normal one.
        os.kill(int(launcher.value("mysql_pid")), signal.SIGKILL)
    if kill:
        launcher.kill()
        if not wait_until_no_server(install, 5):
            failures.append("servers still running 5 s after the launcher was killed")
    else:
        if launcher.stop() != 0:
            failures.append("the launcher's stop did not end with exit code 0")
        if stacklab.processes_below(install.root):
            failures.append("a server outlived the stop")
        if os.path.exists(work):
            failures.append("the work folder outlived the stop")
    writer.halt.set()
    writer.join()
    return writer.next_id


def final_check(install, acknowledged, failures):
    launcher = stacklab.Launcher(install)
    launcher.wait_ready()
    status, body = stacklab.http_get(int(launcher.value("apache_port")), "/soak.php?check=1", timeout=60)
    work = launcher.value("work")
    launcher.stop()
    if status != 200:
        failures.append("the check page answered %d" % status)
        return
    rows = {"innodb_rows": set(), "aria_rows": set(), "myisam_rows": set()}
    checks = []
    for line in body.splitlines():
        kind, table, value = line.split(" ", 2)
        if kind == "row":
            rows[table].add(int(value))
        elif kind == "check":
            checks.append((table, value))
    for table, ids in rows.items():
        lost = acknowledged - ids
        if lost:
            failures.append("%d acknowledged rows lost from %s" % (len(lost), table))
    if len(checks) != len(rows) or any(value != "OK" for _, value in checks):
        failures.append("CHECK TABLE: %s" % checks)
    if os.path.exists(work) or stacklab.processes_below(install.root):
        failures.append("the last stop left the work folder or a server behind")
    print("rows acknowledged: %d; in InnoDB: %d; in Aria: %d; in MyISAM: %d; CHECK TABLE: %s" % (
        len(acknowledged), len(rows["innodb_rows"]), len(rows["aria_rows"]), len(rows["myisam_rows"]),
        ", ".join("%s %s" % check for check in checks)))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cycles", type=int, default=50)
    parser.add_argument("--kills", type=int, default=10)
    parser.add_argument("--mysql-kills", type=int, default=20,
                        help="cycles in which mysqld is killed mid-write, then the launcher exits normally")
    args = parser.parse_args()

    install = stacklab.Install(stacklab.free_port(19080))
    with open(WRITER_PAGE_FILE) as page:
        install.add_page("soak.php", page.read())
    acknowledged, failures, next_id = set(), [], 1
    began = time.monotonic()
    try:
        plan = ["stop"] * args.cycles + ["mysql"] * args.mysql_kills + ["kill"] * args.kills
        for kind in plan:
            next_id = run_cycle(install, acknowledged, next_id, kind == "kill", failures, kind == "mysql")
        final_check(install, acknowledged, failures)
    finally:
        install.remove()
    print("soak: %d start/stop cycles, %d mysqld SIGKILL cycles, %d launcher SIGKILL cycles in %.0f s" % (
        args.cycles, args.mysql_kills, args.kills, time.monotonic() - began))
    for failure in failures:
        print("FAILED: " + failure)
    print("soak: %s" % ("passed" if not failures else "%d failures" % len(failures)))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
