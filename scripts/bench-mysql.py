#!/usr/bin/env python3
"""The database server with InnoDB (the default) against without it (innodb=0, "--skip-innodb"), in
one run.

Start: from mysqld's start to its first greeting on its TCP port, and its idle memory (PSS and RSS)
a few seconds later, each server started as the launcher starts it (its my.ini and command line),
alternately on the same data folder; medians of the runs. Size: the kit's fresh data folder against
one made the old way (Aria only), and the time of their copy as CD mode makes it. Inserts: 20,000
single-row inserts with autocommit through PHP's mysqli (the host's PHP command line), into an InnoDB
and into an Aria table of the InnoDB server."""

import argparse
import os
import re
import shutil
import signal
import socket
import statistics
import subprocess
import tempfile
import time

import stacklab

INSERTS_PHP = r"""<?php
mysqli_report(MYSQLI_REPORT_ERROR | MYSQLI_REPORT_STRICT);
$db = new mysqli('127.0.0.1', 'root', '', '', (int) $argv[1]);
$db->query("CREATE DATABASE IF NOT EXISTS bench");
$db->select_db("bench");
foreach (explode(',', $argv[3]) as $engine) {
    $db->query("DROP TABLE IF EXISTS rows_$engine");
    $db->query("CREATE TABLE rows_$engine (id INT PRIMARY KEY, title VARCHAR(64), body TEXT) ENGINE=$engine");
    $began = microtime(true);
    for ($i = 1; $i <= (int) $argv[2]; ++$i)
        $db->query("INSERT INTO rows_$engine VALUES ($i, 'post $i', 'A row as a small site writes it.')");
    printf("%s %.3f\n", $engine, microtime(true) - $began);
}
"""


class Servers:
    """mysqld with the launcher's generated my.ini (InnoDB) and the one innodb=0 gives (Aria only),
    on the installation's data folder."""

    def __init__(self, install):
        self.install = install
        self.folder = tempfile.mkdtemp(prefix="corvala-bench-mysql-")
        launcher = stacklab.Launcher(install)
        launcher.wait_ready()
        work = launcher.value("work")
        for name in ("my.ini", "mysql-init.sql"):
            with open(os.path.join(work, name), "rb") as source:
                text = source.read().replace(work.encode(), self.folder.encode())
            with open(os.path.join(self.folder, name), "wb") as target:
                target.write(text)
        launcher.stop()
        # What the launcher writes with innodb=0: Aria by default, nothing of InnoDB.
        with open(os.path.join(self.folder, "my.ini")) as source:
            lines = [line for line in source.read().splitlines()
                     if not line.startswith(("innodb_", "init-file", "default-storage-engine"))]
        with open(os.path.join(self.folder, "my-aria.ini"), "w", newline="") as target:
            target.write("\r\n".join(lines + ["default-storage-engine=Aria"]) + "\r\n")

    def start(self, innodb, port):
        bin_folder = os.path.join(self.install.root, "bin")
        arguments = [os.path.join(bin_folder, "mysql/bin/mysqld"),
                     "--defaults-file=%s/%s" % (self.folder, "my.ini" if innodb else "my-aria.ini"),
                     "--port=%d" % port]
        if not innodb:
            arguments.append("--skip-innodb")
        arguments.append("--language=%s/mysql/share/english" % bin_folder)
        if os.geteuid() == 0:
            arguments.append("--user=root")
        return subprocess.Popen(arguments, stderr=subprocess.DEVNULL, start_new_session=True)

    def remove(self):
        shutil.rmtree(self.folder, ignore_errors=True)


def wait_greeting(port, process):
    """Waits until the server on port sends its greeting; False when it ended first."""
    while process.poll() is None:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=2) as connection:
                if connection.recv(16):
                    return True
        except OSError:
            pass
        time.sleep(0.002)
    return False


def memory_kb(pid):
    """(PSS, RSS) of the process in kB."""
    with open("/proc/%d/smaps_rollup" % pid) as rollup:
        text = rollup.read()
    return tuple(int(re.search(r"^%s:\s+(\d+) kB" % key, text, re.M).group(1)) for key in ("Pss", "Rss"))


def stop(process):
    process.send_signal(signal.SIGTERM)
    process.wait(timeout=60)


def folder_bytes(folder):
    return sum(os.path.getsize(os.path.join(root, name))
               for root, _, names in os.walk(folder) for name in names)


def aria_only_data(folder, mysqld):
    """A data folder made as the kit made it before InnoDB was the default; None without
    mariadb-install-db."""
    if not shutil.which("mariadb-install-db"):
        return None
    os.symlink(mysqld, os.path.join(folder, "mysqld"))
    data = os.path.join(folder, "data")
    user = ["--user=root"] if os.geteuid() == 0 else []
    subprocess.run(["mariadb-install-db", "--no-defaults", "--skip-test-db", "--skip-name-resolve",
                    "--cross-bootstrap", "--skip-innodb", "--default-storage-engine=Aria",
                    "--auth-root-authentication-method=normal"] + user + ["--datadir=" + data],
                   env=dict(os.environ, MYSQLD_BOOTSTRAP=os.path.join(folder, "mysqld")),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    return data


def copy_seconds(folder, runs):
    """Median time of CD mode's copy of the folder (a plain recursive copy), each into a new place."""
    times = []
    for _ in range(runs):
        target = tempfile.mkdtemp(prefix="corvala-bench-copy-")
        began = time.monotonic()
        shutil.copytree(folder, os.path.join(target, "data"))
        times.append(time.monotonic() - began)
        shutil.rmtree(target)
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--inserts", type=int, default=20000)
    parser.add_argument("--idle", type=float, default=3.0, help="seconds from the greeting to the memory reading")
    args = parser.parse_args()

    install = stacklab.Install(stacklab.free_port(18380))
    servers = Servers(install)
    scratch = tempfile.mkdtemp(prefix="corvala-bench-aria-")
    results = {True: [], False: []}
    try:
        for _ in range(args.runs):
            for innodb in (True, False):
                port = stacklab.free_port(13306)
                began = time.monotonic()
                process = servers.start(innodb, port)
                if not wait_greeting(port, process):
                    raise RuntimeError("mysqld (%s) ended during its start" % ("InnoDB" if innodb else "--skip-innodb"))
                greeting = time.monotonic() - began
                time.sleep(args.idle)
                results[innodb].append((greeting,) + memory_kb(process.pid))
                stop(process)

        port = stacklab.free_port(13306)
        process = servers.start(True, port)
        wait_greeting(port, process)
        script = os.path.join(servers.folder, "inserts.php")
        with open(script, "w") as handle:
            handle.write(INSERTS_PHP)
        inserts = subprocess.run(["php", script, str(port), str(args.inserts), "InnoDB,Aria"],
                                 capture_output=True, text=True, check=True).stdout.split()
        stop(process)

        fresh = os.path.join(stacklab.KIT_TREE, "data")
        old = aria_only_data(scratch, os.path.join(install.root, "bin/mysql/bin/mysqld"))
        sizes = [("fresh kit data (InnoDB)", fresh)] + ([("data made the old way (Aria only)", old)] if old else [])
        copies = [(name, folder_bytes(folder), copy_seconds(folder, args.runs)) for name, folder in sizes]
    finally:
        servers.remove()
        install.remove()
        shutil.rmtree(scratch, ignore_errors=True)

    print("runs: %d (alternating), memory read %.0f s after the greeting" % (args.runs, args.idle))
    medians = {}
    for innodb, name in ((True, "InnoDB"), (False, "--skip-innodb")):
        greeting, pss, rss = (statistics.median(sample[i] for sample in results[innodb]) for i in range(3))
        medians[innodb] = (pss, rss)
        print("%-14s start to greeting: median %.1f ms (%s); idle PSS %.1f MB, RSS %.1f MB" % (
            name, greeting * 1000, ", ".join("%.0f" % (s[0] * 1000) for s in results[innodb]), pss / 1024, rss / 1024))
    print("InnoDB's idle cost: PSS %+.1f MB, RSS %+.1f MB (goal: at most +25 MB)" % (
        (medians[True][0] - medians[False][0]) / 1024, (medians[True][1] - medians[False][1]) / 1024))
    for name, size, seconds in copies:
        print("%-34s %.1f MB, copied in %.0f ms (median)" % (name + ":", size / 1e6, seconds * 1000))
    timings = dict(zip(inserts[0::2], (float(value) for value in inserts[1::2])))
    for engine, seconds in timings.items():
        print("%d single-row autocommit inserts through mysqli, %-6s %.2f s (%.0f rows/s)" % (
            args.inserts, engine + ":", seconds, args.inserts / seconds))


if __name__ == "__main__":
    main()
