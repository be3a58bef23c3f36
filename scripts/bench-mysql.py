#!/usr/bin/env python3
"""The database server as the launcher starts it, against the same server without InnoDB
(innodb=0, "--skip-innodb") and against a stock server, in one run.

Stock: Debian's /usr/sbin/mariadbd with its own defaults (InnoDB untouched: a 128 MB buffer pool
and a 96 MB redo log), on a scratch data folder made with mariadb-install-db, with only what
Debian's server configuration also sets (loopback, utf8mb4), on its own port and socket.

Start: from mysqld's start to its first greeting on its TCP port, and its idle memory (PSS and RSS)
a few seconds later, each server started as the launcher starts it (its my.ini and command line),
alternately; medians of the runs. Inserts: 20,000 single-row inserts with autocommit through PHP's
mysqli (the host's PHP command line) into an InnoDB and an Aria table of the launcher's server and
an InnoDB table of the stock one, both servers running, written in turns of 500 rows so that each
sees the same moments of the machine's load; medians of the runs, and each server's memory right
after them. Size: the kit's fresh data folder against one made the old way
(Aria only), and the time of their copy as CD mode makes it.
--my-ini KEY=VALUE tries another value in the launcher's my.ini; --smoke: one short round, to show
the benchmark runs; its figures are not judged."""

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

STOCK_SERVER = "/usr/sbin/mariadbd"

# argv: rows, batch, then "name:port:engine" for each table. The tables are written in turns, a batch
# of rows at a time each, so that every server sees the same moments of the machine's load.
INSERTS_PHP = r"""<?php
mysqli_report(MYSQLI_REPORT_ERROR | MYSQLI_REPORT_STRICT);
$rows = (int) $argv[1];
$batch = (int) $argv[2];
$tables = [];
foreach (array_slice($argv, 3) as $target) {
    [$name, $port, $engine] = explode(':', $target);
    $db = new mysqli('127.0.0.1', 'root', '', '', (int) $port);
    $db->query("CREATE DATABASE IF NOT EXISTS bench");
    $db->select_db("bench");
    $db->query("DROP TABLE IF EXISTS rows_$engine");
    $db->query("CREATE TABLE rows_$engine (id INT PRIMARY KEY, title VARCHAR(64), body TEXT) ENGINE=$engine");
    $tables[] = ['name' => $name, 'db' => $db, 'engine' => $engine, 'seconds' => 0.0];
}
for ($first = 1; $first <= $rows; $first += $batch) {
    foreach ($tables as &$table) {
        $began = microtime(true);
        for ($i = $first; $i < $first + $batch && $i <= $rows; ++$i)
            $table['db']->query("INSERT INTO rows_{$table['engine']} VALUES ($i, 'post $i', 'A row as a small site writes it.')");
        $table['seconds'] += microtime(true) - $began;
    }
    unset($table);
}
foreach ($tables as $table) {
    $count = $table['db']->query("SELECT COUNT(*) FROM rows_{$table['engine']}")->fetch_row()[0];
    if ((int) $count !== $rows)
        exit("{$table['name']} holds $count rows\n");
    printf("%s %.3f\n", $table['name'], $table['seconds']);
}
"""

KINDS = ("InnoDB", "--skip-innodb", "stock")


def with_values(text, values):
    """my.ini's text with the [mysqld] keys of values replaced, or added at its end."""
    lines = text.splitlines()
    for key, value in values:
        found = [i for i, line in enumerate(lines) if line.split("=", 1)[0].strip() == key]
        if found:
            lines[found[0]] = "%s=%s" % (key, value)
        else:
            lines.append("%s=%s" % (key, value))
    return "\r\n".join(lines) + "\r\n"


class Servers:
    """mysqld with the launcher's generated my.ini (InnoDB), the one innodb=0 gives (Aria only),
    both on the installation's data folder, and the stock server on a data folder of its own."""

    def __init__(self, install, values):
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
        my_ini = os.path.join(self.folder, "my.ini")
        with open(my_ini) as source:
            text = source.read()
        with open(my_ini, "w", newline="") as target:
            target.write(with_values(text, values))
        stacklab.make_server_folders(my_ini)
        # What the launcher writes with innodb=0: Aria by default, nothing of InnoDB.
        lines = [line for line in text.splitlines()
                 if not line.startswith(("innodb_", "init-file", "default-storage-engine"))]
        with open(os.path.join(self.folder, "my-aria.ini"), "w", newline="") as target:
            target.write("\r\n".join(lines + ["default-storage-engine=Aria"]) + "\r\n")
        self.stock_data = os.path.join(self.folder, "stock-data")
        self.user = ["--user=root"] if os.geteuid() == 0 else []
        with open(os.path.join(self.folder, "stock-install.log"), "wb") as log:
            made = subprocess.run(["mariadb-install-db", "--no-defaults", "--skip-test-db", "--skip-name-resolve",
                                   "--auth-root-authentication-method=normal"] + self.user +
                                  ["--datadir=" + self.stock_data], stdout=log, stderr=log,
                                  timeout=stacklab.START_SECONDS)
        if made.returncode != 0:
            raise RuntimeError("mariadb-install-db failed for the stock server: %s" % self.log_tail("stock-install.log"))

    def start(self, kind, port):
        bin_folder = os.path.join(self.install.root, "bin")
        if kind == "stock":
            # --no-defaults comes first: no option file of the host is read.
            arguments = [STOCK_SERVER, "--no-defaults", "--datadir=" + self.stock_data, "--port=%d" % port,
                         "--bind-address=127.0.0.1", "--socket=%s/stock.sock" % self.folder,
                         "--pid-file=%s/stock.pid" % self.folder, "--character-set-server=utf8mb4",
                         "--collation-server=utf8mb4_general_ci"] + self.user
        else:
            innodb = kind == "InnoDB"
            arguments = [os.path.join(bin_folder, "mysql/bin/mysqld"),
                         "--defaults-file=%s/%s" % (self.folder, "my.ini" if innodb else "my-aria.ini"),
                         "--port=%d" % port]
            if not innodb:
                arguments.append("--skip-innodb")
            arguments += ["--language=%s/mysql/share/english" % bin_folder] + self.user
        with open(os.path.join(self.folder, "mysqld.log"), "ab") as log:
            return stacklab.spawn(arguments, stdout=subprocess.DEVNULL, stderr=log, start_new_session=True)

    def log_tail(self, name="mysqld.log"):
        with open(os.path.join(self.folder, name), errors="replace") as handle:
            return " | ".join(handle.read().splitlines()[-5:])

    def remove(self):
        shutil.rmtree(self.folder, ignore_errors=True)


def wait_greeting(port, process):
    """Waits until the server on port sends its greeting; False when it ended first. TimeoutError
    when neither happens within stacklab.START_SECONDS."""
    deadline = time.monotonic() + stacklab.START_SECONDS
    while process.poll() is None:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=2) as connection:
                if connection.recv(16):
                    return True
        except OSError:
            pass
        if time.monotonic() > deadline:
            raise TimeoutError("mysqld on port %d: no greeting within %d s" % (port, stacklab.START_SECONDS))
        time.sleep(0.002)
    return False


def memory_kb(pid):
    """(PSS, RSS) of the process in kB."""
    with open("/proc/%d/smaps_rollup" % pid) as rollup:
        text = rollup.read()
    return tuple(int(re.search(r"^%s:\s+(\d+) kB" % key, text, re.M).group(1)) for key in ("Pss", "Rss"))


def stop(process):
    process.send_signal(signal.SIGTERM)
    process.wait(timeout=stacklab.STOP_SECONDS)


def start(servers, kind):
    port = stacklab.free_port(13306)
    began = time.monotonic()
    process = servers.start(kind, port)
    if not wait_greeting(port, process):
        raise RuntimeError("mysqld (%s) ended during its start: %s" % (kind, servers.log_tail()))
    return process, port, time.monotonic() - began


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
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=stacklab.START_SECONDS)
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


def run_inserts(servers, count, batch):
    """Seconds of count inserts into an InnoDB and an Aria table of the launcher's server and into an
    InnoDB table of the stock server, both servers running, in turns of batch rows; and each
    server's (PSS, RSS) in kB right after them."""
    launcher, launcher_port, _ = start(servers, "InnoDB")
    try:
        stock, stock_port, _ = start(servers, "stock")
        try:
            script = os.path.join(servers.folder, "inserts.php")
            with open(script, "w") as handle:
                handle.write(INSERTS_PHP)
            targets = ["InnoDB:%d:InnoDB" % launcher_port, "Aria:%d:Aria" % launcher_port,
                       "stock:%d:InnoDB" % stock_port]
            # Far more than the slowest server needs: about 800 rows a second on a busy disk.
            output = subprocess.run(["php", script, str(count), str(batch)] + targets, capture_output=True,
                                    text=True, timeout=stacklab.START_SECONDS + count * len(targets) / 100)
            if output.returncode != 0:
                raise RuntimeError("the inserts failed: %s%s" % (output.stdout, output.stderr))
            words = output.stdout.split()
            memory = {"InnoDB": memory_kb(launcher.pid), "stock": memory_kb(stock.pid)}
        finally:
            stop(stock)
    finally:
        stop(launcher)
    return dict(zip(words[0::2], (float(value) for value in words[1::2]))), memory


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--insert-runs", type=int, default=3)
    parser.add_argument("--inserts", type=int, default=20000)
    parser.add_argument("--batch", type=int, default=500, help="rows written into one table before the next one's turn")
    parser.add_argument("--idle", type=float, default=3.0, help="seconds from the greeting to the memory reading")
    parser.add_argument("--my-ini", action="append", default=[], metavar="KEY=VALUE",
                        help="a value of the launcher's my.ini to try instead of the generated one")
    parser.add_argument("--smoke", action="store_true", help="one short round; the figures are not judged")
    args = parser.parse_args()
    if args.smoke:
        args.runs, args.insert_runs, args.inserts, args.batch, args.idle = 1, 1, 200, 100, 0.5
    values = [tuple(value.split("=", 1)) for value in args.my_ini]

    install = stacklab.Install(stacklab.free_port(18380))
    servers = None
    scratch = tempfile.mkdtemp(prefix="corvala-bench-aria-")
    results = {kind: [] for kind in KINDS}
    seconds = {"InnoDB": [], "Aria": [], "stock": []}
    after = {"InnoDB": [], "stock": []}
    try:
        servers = Servers(install, values)
        for _ in range(args.runs):
            for kind in KINDS:
                process, _, greeting = start(servers, kind)
                try:
                    time.sleep(args.idle)
                    results[kind].append((greeting,) + memory_kb(process.pid))
                finally:
                    stop(process)

        for _ in range(args.insert_runs):
            timings, memory = run_inserts(servers, args.inserts, args.batch)
            for name in seconds:
                seconds[name].append(timings[name])
            for name in after:
                after[name].append(memory[name])

        fresh = os.path.join(stacklab.KIT_TREE, "data")
        old = aria_only_data(scratch, os.path.join(install.root, "bin/mysql/bin/mysqld"))
        sizes = [("fresh kit data (InnoDB)", fresh)] + ([("data made the old way (Aria only)", old)] if old else [])
        sizes.append(("stock server's fresh data", servers.stock_data))
        copies = [(name, folder_bytes(folder), copy_seconds(folder, args.runs)) for name, folder in sizes]
    finally:
        if servers:
            servers.remove()
        install.remove()
        shutil.rmtree(scratch, ignore_errors=True)

    if args.smoke:
        print("smoke run: one short round; the figures are not judged")
    print("launcher's my.ini%s" % ("" if not values else ", tried with " +
                                   ", ".join("%s=%s" % value for value in values)))
    print("runs: %d (alternating), memory read %.1f s after the greeting" % (args.runs, args.idle))
    medians = {}
    for kind in KINDS:
        greeting, pss, rss = (statistics.median(sample[i] for sample in results[kind]) for i in range(3))
        medians[kind] = (pss, rss)
        print("%-14s start to greeting: median %.1f ms (%s); idle PSS %.1f MB, RSS %.1f MB" % (
            kind, greeting * 1000, ", ".join("%.0f" % (s[0] * 1000) for s in results[kind]), pss / 1024, rss / 1024))
    print("InnoDB's idle cost: PSS %+.1f MB, RSS %+.1f MB (goal: at most +25 MB)" % (
        (medians["InnoDB"][0] - medians["--skip-innodb"][0]) / 1024,
        (medians["InnoDB"][1] - medians["--skip-innodb"][1]) / 1024))
    print("idle against stock: PSS %.1f MB against %.1f MB, RSS %.1f MB against %.1f MB (goal: at most stock's)" % (
        medians["InnoDB"][0] / 1024, medians["stock"][0] / 1024, medians["InnoDB"][1] / 1024,
        medians["stock"][1] / 1024))
    for name, size, copy in copies:
        print("%-34s %.1f MB, copied in %.0f ms (median)" % (name + ":", size / 1e6, copy * 1000))
    print("%d single-row autocommit inserts through mysqli per table, %d runs, the tables written in turns of %d rows:"
          % (args.inserts, args.insert_runs, args.batch))
    rates = {}
    for name, label in (("InnoDB", "launcher's server, InnoDB"), ("Aria", "launcher's server, Aria"),
                        ("stock", "stock server, InnoDB")):
        rates[name] = args.inserts / statistics.median(seconds[name])
        print("  %-26s median %.0f rows/s (%s)" % (label + ":", rates[name],
                                                  ", ".join("%.0f" % (args.inserts / s) for s in seconds[name])))
    print("  InnoDB against stock: %.2fx (goal: at least 1.0x)" % (rates["InnoDB"] / rates["stock"]))
    for name in ("InnoDB", "stock"):
        pss, rss = (statistics.median(sample[i] for sample in after[name]) for i in range(2))
        print("  memory right after them, %-9s PSS %.1f MB, RSS %.1f MB" % (name + ":", pss / 1024, rss / 1024))


if __name__ == "__main__":
    stacklab.run(main)
