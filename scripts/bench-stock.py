#!/usr/bin/env python3
"""The launcher's stack against Debian's stock servers started by hand, with WordPress, in one run:
the cold start to WordPress's first front page, and the front page served at 500 posts.

Cold start. Launcher: from starting `corvala` (its splash and window come up as for a user) to the
first HTTP 200 of WordPress's front page on its port. Stock: Debian's own /usr/sbin/mariadbd with its defaults on
a data folder of its own (as scripts/bench-mysql.py's stock server) and /usr/sbin/apache2 with the
modules Debian enables (/etc/apache2/mods-enabled: mod_php with Debian's php.ini for Apache and its
extensions, opcache on, Xdebug off), both started at once, by hand, to the first HTTP 200 of the same front page. Each side has
WordPress from Debian's archive (scripts/wordpresslab.py) installed in its own database beforehand;
the rounds alternate between the sides, servers stopped in between, the files in the page cache
for both. Medians of the rounds.
Serving: both sides running, WordPress holding 500 posts, the front page requested by 1 and by 8
clients at once (a new connection per request), the sides taking turns round by round; requests
per second, medians of the rounds.
Needs a display. --smoke: one short round of each, to show the benchmark runs; its figures are not
judged."""

import argparse
import concurrent.futures
import os
import shutil
import signal
import statistics
import subprocess
import tempfile
import time

import stacklab
from wordpresslab import add_posts, add_wordpress, front_page, install_wordpress, require_package

LAUNCHER = os.path.join(stacklab.BUILD, "dist", "corvala")
STOCK_MYSQL = "/usr/sbin/mariadbd"
STOCK_APACHE = "/usr/sbin/apache2"
STOCK_PHP_CONF = "/etc/php/8.2/apache2/conf.d"
# Clients requesting the front page at once in the serving rounds.
CLIENTS = (1, 8)
# Debian's account for Apache's workers.
STOCK_WORKER = "www-data"

STOCK_HTTPD_CONF = """ServerRoot "/etc/apache2"
ServerName 127.0.0.1
Listen 127.0.0.1:%(port)d
PidFile "%(folder)s/apache2.pid"
Mutex file:%(folder)s default
ErrorLog "%(folder)s/apache-error.log"
LogLevel warn
Include /etc/apache2/mods-enabled/*.load
Include /etc/apache2/mods-enabled/*.conf
%(user)s
DocumentRoot "%(folder)s/www"
<Directory "%(folder)s/www">
    AllowOverride All
    Require all granted
</Directory>
"""


def first_front_page(port, began, check):
    """Seconds from began (monotonic) to the first complete front page."""
    deadline = time.monotonic() + stacklab.START_SECONDS
    while True:
        check()
        try:
            front_page(port, timeout=2)
            return time.monotonic() - began
        except RuntimeError:
            if time.monotonic() > deadline:
                raise
        time.sleep(0.005)


def serving_rate(port, clients, requests):
    """Front pages per second with clients requesting at once, requests in all."""
    began = time.monotonic()
    with concurrent.futures.ThreadPoolExecutor(clients) as pool:
        for _ in pool.map(lambda _: front_page(port, timeout=stacklab.START_SECONDS), range(requests)):
            pass
    return requests / (time.monotonic() - began)


class LauncherSide:
    def __init__(self):
        self.install = stacklab.Install(stacklab.free_port(18680), LAUNCHER)
        add_wordpress(os.path.join(self.install.root, "www"),
                      worker_user="nobody:nogroup" if os.geteuid() == 0 else None)
        self.start()
        stacklab.wait_first_ok(self.install.port, time.monotonic_ns(), check=self.check)
        install_wordpress(self.install.port)
        self.stop()

    def instances(self):
        return [pid for pid in stacklab.processes_below(self.install.root)
                if os.readlink("/proc/%d/exe" % pid) == self.install.program
                and open("/proc/%d/cmdline" % pid, "rb").read().count(b"\0") == 1]

    def start(self):
        # The first process hands over to the launcher instance and ends at once.
        first = stacklab.spawn([self.install.program], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if first.wait(timeout=stacklab.START_SECONDS) != 0:
            raise RuntimeError("the launcher's first process ended with %d" % first.returncode)

    def check(self):
        if not self.instances():
            raise RuntimeError("the launcher ended during its start")

    def timed_start(self):
        began = time.monotonic()
        self.start()
        elapsed = first_front_page(self.install.port, began, self.check)
        self.stop()
        return elapsed

    def serve(self):
        self.start()
        first_front_page(self.install.port, time.monotonic(), self.check)
        return self.install.port

    def stop(self):
        for pid in self.instances():
            os.kill(pid, signal.SIGTERM)
        stacklab.wait_for(lambda: not stacklab.processes_below(self.install.root), stacklab.STOP_SECONDS,
                          "the launcher's stop")

    def remove(self):
        self.install.remove()


class StockSide:
    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="corvala-bench-stock-")
        os.chmod(self.folder, 0o755)
        self.port = stacklab.free_port(18780)
        self.mysql_port = stacklab.free_port(18880)
        self.data = os.path.join(self.folder, "data")
        root = os.geteuid() == 0
        self.mysql_user = ["--user=root"] if root else []
        with open(os.path.join(self.folder, "install-db.log"), "wb") as log:
            made = subprocess.run(["mariadb-install-db", "--no-defaults", "--skip-test-db", "--skip-name-resolve",
                                   "--auth-root-authentication-method=normal"] + self.mysql_user +
                                  ["--datadir=" + self.data], stdout=log, stderr=log, timeout=stacklab.START_SECONDS)
        if made.returncode != 0:
            raise RuntimeError("mariadb-install-db failed for the stock server: %s" %
                               stacklab.log_tail(os.path.join(self.folder, "install-db.log")))
        www = os.path.join(self.folder, "www")
        os.makedirs(www)
        add_wordpress(www, self.mysql_port, "%s:%s" % (STOCK_WORKER, STOCK_WORKER) if root else None)
        with open(os.path.join(self.folder, "httpd.conf"), "w") as handle:
            handle.write(STOCK_HTTPD_CONF % {
                "port": self.port, "folder": self.folder,
                "user": "User %s\nGroup %s" % (STOCK_WORKER, STOCK_WORKER) if root else ""})
        self.servers = []
        self.start()
        stacklab.wait_first_ok(self.port, time.monotonic_ns(), path="/bench-db.php", check=self.check)
        install_wordpress(self.port)
        self.stop()

    def php_scan_folder(self):
        """Debian's conf.d of PHP for Apache without Xdebug: a stock server has no debugger, while
        this machine may have it installed for the kit."""
        folder = os.path.join(self.folder, "php-conf.d")
        if not os.path.isdir(folder):
            os.makedirs(folder)
            for name in os.listdir(STOCK_PHP_CONF):
                if "xdebug" not in name:
                    os.symlink(os.path.join(STOCK_PHP_CONF, name), os.path.join(folder, name))
        return folder

    def start(self):
        run_folder = os.path.join(self.folder, "run")
        os.makedirs(run_folder, exist_ok=True)
        # Only what Debian's service script gives Apache; no PHPRC or other setting of the caller's.
        environment = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "LANG": "C",
                       "APACHE_RUN_DIR": run_folder, "APACHE_LOCK_DIR": run_folder,
                       "APACHE_LOG_DIR": self.folder, "APACHE_PID_FILE": self.folder + "/apache2.pid",
                       "APACHE_RUN_USER": STOCK_WORKER, "APACHE_RUN_GROUP": STOCK_WORKER,
                       "PHP_INI_SCAN_DIR": self.php_scan_folder()}
        with open(os.path.join(self.folder, "mysqld.log"), "ab") as mysql_log, \
                open(os.path.join(self.folder, "apache.log"), "ab") as apache_log:
            # --no-defaults comes first: no option file of the host is read.
            self.servers = [
                stacklab.spawn([STOCK_MYSQL, "--no-defaults", "--datadir=" + self.data, "--port=%d" % self.mysql_port,
                                "--bind-address=127.0.0.1", "--socket=%s/mysqld.sock" % self.folder,
                                "--pid-file=%s/mysqld.pid" % self.folder, "--character-set-server=utf8mb4",
                                "--collation-server=utf8mb4_general_ci"] + self.mysql_user,
                               stdout=subprocess.DEVNULL, stderr=mysql_log, start_new_session=True),
                stacklab.spawn([STOCK_APACHE, "-f", os.path.join(self.folder, "httpd.conf"), "-DFOREGROUND"],
                               env=environment, stdout=subprocess.DEVNULL, stderr=apache_log,
                               start_new_session=True)]

    def check(self):
        stacklab.check_servers("the stock", zip(("mysqld", "Apache"), self.servers,
                                                (os.path.join(self.folder, "mysqld.log"),
                                                 os.path.join(self.folder, "apache-error.log"))))

    def timed_start(self):
        began = time.monotonic()
        self.start()
        elapsed = first_front_page(self.port, began, self.check)
        self.stop()
        return elapsed

    def serve(self):
        self.start()
        first_front_page(self.port, time.monotonic(), self.check)
        return self.port

    def stop(self):
        for server in self.servers:
            if server.poll() is None:
                os.killpg(server.pid, signal.SIGTERM)
        for server in self.servers:
            server.wait(timeout=stacklab.STOP_SECONDS)

    def remove(self):
        shutil.rmtree(self.folder, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--posts", type=int, default=500)
    parser.add_argument("--requests", type=int, default=80, help="front pages per serving round, side and client count")
    parser.add_argument("--smoke", action="store_true", help="one short round of each; the figures are not judged")
    args = parser.parse_args()
    if args.smoke:
        args.rounds, args.posts, args.requests = 1, 20, 8
    if not os.environ.get("DISPLAY"):
        raise SystemExit("needs a display: source scripts/display.sh first")
    require_package()

    sides = {}
    names = ("launcher", "stock")
    times = {name: [] for name in names}
    rates = {(name, clients): [] for name in names for clients in CLIENTS}
    try:
        sides["launcher"] = LauncherSide()
        sides["stock"] = StockSide()
        for round_number in range(args.rounds):
            # Each side goes first every other round, so neither always follows the other.
            for name in names if round_number % 2 == 0 else names[::-1]:
                times[name].append(sides[name].timed_start())
        ports = {name: sides[name].serve() for name in names}
        for name in names:
            add_posts(ports[name], args.posts)
            serving_rate(ports[name], 1, 10)
        for round_number in range(args.rounds):
            for clients in CLIENTS:
                for name in names if round_number % 2 == 0 else names[::-1]:
                    rates[(name, clients)].append(serving_rate(ports[name], clients, args.requests))
        for name in names:
            sides[name].stop()
    finally:
        for side in sides.values():
            side.remove()

    if args.smoke:
        print("smoke run: one round; the figures are not judged")
    for name in names:
        print("start to WordPress's first front page, %-8s median %.0f ms (%s)" % (
            name + ":", stacklab.median_ms(times[name]), ", ".join("%.0f" % (t * 1000) for t in times[name])))
    print("cold start, launcher against stock: %.2fx (goal: at most 1.15)" % (
        statistics.median(times["launcher"]) / statistics.median(times["stock"])))
    for clients in CLIENTS:
        for name in names:
            print("front page at %d posts, %d client(s), %-8s median %.1f requests/s (%s)" % (
                args.posts, clients, name + ":", statistics.median(rates[(name, clients)]),
                ", ".join("%.1f" % rate for rate in rates[(name, clients)])))
        print("serving with %d client(s), launcher against stock: %.2fx (goal: at least 1.0)" % (
            clients, statistics.median(rates[("launcher", clients)]) / statistics.median(rates[("stock", clients)])))


if __name__ == "__main__":
    stacklab.run(main)
