"""Shared pieces of the stack benchmarks and the soak test: a fresh installation made from the
kit tree, the window-less launcher (the stack driver) as a child, and plain HTTP on loopback.

Every wait has a time limit, and everything a script starts is stopped when it ends, also on a
failure, an exception or SIGTERM: run(main) stops the processes started through spawn() and any
process still running from an installation's folder (SIGTERM, then SIGKILL when one has not ended
in time), so a failing server can neither hang a run nor outlive it."""

import http.client
import os
import queue
import re
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

# Absolute: some programs run from the installation's folder (the bare browser, as the launcher).
BUILD = os.path.abspath(os.environ.get("CORVALA_BUILD", os.path.join(os.path.dirname(__file__), "..", "build")))
KIT_TREE = os.path.join(BUILD, "dist")
DRIVER = os.path.join(BUILD, "tests", "e2e", "corvala_stack_driver")
RESTOOL = os.path.join(BUILD, "src", "restool", "corvala-res")

# Limits of the waits, in seconds: a start or stop on a loaded machine takes a few seconds; far
# more means the process hangs.
START_SECONDS = 120
STOP_SECONDS = 60
# From SIGTERM to SIGKILL when everything is stopped at the end.
TERM_GRACE_SECONDS = 20

_started = []
_folders = set()


def spawn(arguments, **options):
    """subprocess.Popen, with the process stopped at the end of run() if it still runs."""
    process = subprocess.Popen(arguments, **options)
    _started.append(process)
    return process


def _running_pids():
    pids = {process.pid for process in _started if process.poll() is None}
    for folder in _folders:
        pids.update(processes_below(folder))
    return pids


def _signal_all(pids, number):
    for pid in pids:
        try:
            os.kill(pid, number)
        except OSError:
            pass


def stop_everything(folders=None):
    """SIGTERM to what runs from the given folders (default: every registered folder, and the
    processes started through spawn()), SIGKILL to what still runs after TERM_GRACE_SECONDS.
    Gives the pids that needed SIGKILL."""

    def running():
        if folders is None:
            return _running_pids()
        return {pid for folder in folders for pid in processes_below(folder)}

    pids = running()
    if not pids:
        return []
    _signal_all(pids, signal.SIGTERM)
    deadline = time.monotonic() + TERM_GRACE_SECONDS
    while running() and time.monotonic() < deadline:
        time.sleep(0.05)
    killed = sorted(running())
    _signal_all(killed, signal.SIGKILL)
    deadline = time.monotonic() + 10
    while running() and time.monotonic() < deadline:
        time.sleep(0.05)
    return killed


def register_folder(folder):
    """Every process whose executable lies below folder counts as started by this script."""
    _folders.add(os.path.realpath(folder))


def unregister_folder(folder):
    _folders.discard(os.path.realpath(folder))


def run(main):
    """Runs main; SIGTERM and SIGHUP end it as an exception would. Whatever way it ends, everything
    it started is stopped before the script exits."""

    def ended(number, _):
        raise SystemExit(128 + number)

    signal.signal(signal.SIGTERM, ended)
    signal.signal(signal.SIGHUP, ended)
    try:
        main()
    finally:
        killed = stop_everything()
        if killed:
            print("stopped with SIGKILL after %d s: pids %s" % (TERM_GRACE_SECONDS, killed), file=sys.stderr)


def wait_for(condition, seconds, what, poll=0.005):
    """Polls condition every poll seconds until it is true; TimeoutError naming what after seconds."""
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            raise TimeoutError("%s: not within %d s" % (what, seconds))
        time.sleep(poll)


class LineReader:
    """The lines of a pipe, read by a thread, so a reader can stop waiting at a time limit."""

    def __init__(self, pipe):
        self.lines = queue.Queue()
        thread = threading.Thread(target=self._read, args=(pipe,), daemon=True)
        thread.start()

    def _read(self, pipe):
        for line in pipe:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)

    def line(self, seconds, what):
        """The next line; None at the end of the output; TimeoutError after seconds."""
        try:
            return self.lines.get(timeout=seconds)
        except queue.Empty:
            raise TimeoutError("%s: no line within %d s" % (what, seconds)) from None


def free_port(start):
    """The first port from start that is free on loopback and on all addresses."""
    for port in range(start, 65000):
        try:
            for address in ("127.0.0.1", "0.0.0.0"):
                with socket.socket() as probe:
                    probe.bind((address, port))
            return port
        except OSError:
            continue
    raise RuntimeError("no free port")


class Install:
    """An installation in a temporary folder (or in parent) whose name holds a blank; its program
    is the stack driver, or the given launcher. brand: the configuration of a branded
    distribution (brand=1) instead of the developer's (brand=0)."""

    def __init__(self, port, program=DRIVER, parent=None, brand=False):
        self.root = tempfile.mkdtemp(prefix="corvala bench ", dir=parent)
        register_folder(self.root)
        self.port = port
        os.chmod(self.root, 0o755)
        self.program = os.path.join(self.root, "corvala")
        shutil.copy2(program, self.program)
        subprocess.run(["cp", "-al", os.path.join(KIT_TREE, "bin"), os.path.join(self.root, "bin")], check=True)
        subprocess.run(["cp", "-al", os.path.join(KIT_TREE, "www"), os.path.join(self.root, "www")], check=True)
        subprocess.run(["cp", "-a", os.path.join(KIT_TREE, "data"), os.path.join(self.root, "data")], check=True)
        config = ("[INI]\r\nfullscreen=0\r\ntitle=Corvala\r\nport=%d\r\nip=127.0.0.1\r\n"
                  "copyfilestoharddisk=0\r\nbrand=%d" % (port, 1 if brand else 0))
        ini = self.root + ".ini"
        with open(ini, "w", newline="") as handle:
            handle.write(config)
        subprocess.run([RESTOOL, "set", self.program, "10", "RES_CONFIG_INI", "0", ini], check=True)
        os.remove(ini)

    def add_page(self, name, text):
        # www is linked into the kit tree: replace the link, never write through it.
        path = os.path.join(self.root, "www", name)
        if os.path.exists(path):
            os.remove(path)
        with open(path, "w") as handle:
            handle.write(text)

    def remove(self):
        """Stops whatever still runs from the installation, then deletes it."""
        stop_everything([self.root])
        shutil.rmtree(self.root, ignore_errors=True)
        unregister_folder(self.root)


class Launcher:
    """The stack driver started as a child; its report lines become values."""

    def __init__(self, install):
        self.spawned = time.monotonic()
        self.process = spawn([install.program], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, text=True)
        self.output = LineReader(self.process.stdout)
        self.values = {}

    def first_line(self):
        line = self.output.line(START_SECONDS, "the launcher's first line")
        if line is None:
            raise RuntimeError("the launcher ended without a word (exit code %s)" % self.process.wait(STOP_SECONDS))
        return line

    def read_until(self, last, seconds=START_SECONDS):
        deadline = time.monotonic() + seconds
        while True:
            line = self.output.line(max(0.0, deadline - time.monotonic()), "the launcher's \"%s\"" % last)
            if line is None:
                return None
            if "=" in line:
                key, value = line.split("=", 1)
                self.values[key] = value
            if line == last or line.startswith("error=") or line == "already-running":
                return line

    def wait_ready(self):
        line = self.read_until("ready")
        if line != "ready":
            raise RuntimeError("launcher did not start: %s" % line)

    def stop(self):
        self.process.stdin.write("stop\n")
        self.process.stdin.flush()
        self.read_until("stopped", STOP_SECONDS)
        return self.process.wait(timeout=STOP_SECONDS)

    def kill(self):
        self.process.send_signal(signal.SIGKILL)
        self.process.wait(timeout=STOP_SECONDS)

    def value(self, key):
        return self.values.get(key, "")


class HandServers:
    """MySQL and Apache started directly, on copies of the files a launcher generated."""

    def __init__(self, install, work):
        self.install = install
        self.folder = tempfile.mkdtemp(prefix="corvala-hand-")
        for name in ("httpd.conf", "php.ini", "my.ini", "mysql-init.sql"):
            with open(os.path.join(work, name), "rb") as source:
                text = source.read().replace(work.encode(), self.folder.encode())
            with open(os.path.join(self.folder, name), "wb") as target:
                target.write(text)
        sessions = os.path.join(self.folder, "sessions")
        os.makedirs(sessions, exist_ok=True)
        make_server_folders(os.path.join(self.folder, "my.ini"))
        if os.geteuid() == 0:
            os.chmod(self.folder, 0o711)
            shutil.chown(sessions, "nobody", "nogroup")
        self.servers = []

    def start(self, mysql_port):
        bin_folder = os.path.join(self.install.root, "bin")
        environment = dict(os.environ, PHPRC=self.folder, PHP_INI_SCAN_DIR="")
        user = ["--user=root"] if os.geteuid() == 0 else []
        # Their output goes to files, never to the caller's pipes, which a server must not hold open.
        with open(os.path.join(self.folder, "mysqld.log"), "ab") as mysql_log, \
                open(os.path.join(self.folder, "apache.log"), "ab") as apache_log:
            self.servers = [
                spawn([os.path.join(bin_folder, "mysql/bin/mysqld"), "--defaults-file=%s/my.ini" % self.folder,
                       "--port=%d" % mysql_port, "--language=%s/mysql/share/english" % bin_folder] + user,
                      env=environment, stdout=subprocess.DEVNULL, stderr=mysql_log, start_new_session=True),
                spawn([os.path.join(bin_folder, "Apache/Apache"), "-f", "%s/httpd.conf" % self.folder,
                       "-DFOREGROUND"], env=environment, stdout=subprocess.DEVNULL, stderr=apache_log,
                      start_new_session=True)]

    def check_running(self):
        check_servers("hand-started", zip(("mysqld", "Apache"), self.servers,
                                          (os.path.join(self.folder, "mysqld.log"),
                                           os.path.join(self.folder, "apache.log"))))

    def stop(self):
        try:
            # MariaDB may hang for good on a SIGTERM that arrives while it is still starting.
            def connected():
                self.check_running()
                return "MySQL connected" in http_get(self.install.port, "/index.php", timeout=2)[1]

            wait_for(connected, START_SECONDS, "the hand-started servers' page with MySQL connected")
        finally:
            for server in self.servers:
                if server.poll() is None:
                    server.send_signal(signal.SIGTERM)
            try:
                for server in self.servers:
                    server.wait(timeout=STOP_SECONDS)
            finally:
                stop_everything([os.path.join(self.install.root, "bin")])

    def remove(self):
        shutil.rmtree(self.folder, ignore_errors=True)


def log_tail(path):
    """The last lines of a log, on one line; empty when there is no such file."""
    try:
        with open(path, errors="replace") as handle:
            return " | ".join(handle.read().splitlines()[-5:])
    except OSError:
        return ""


def check_servers(what, servers):
    """RuntimeError naming the first of servers ((name, process, log path) each) that has ended,
    with the last lines of its log."""
    for name, process, log in servers:
        if process.poll() is not None:
            raise RuntimeError("%s %s ended with %d: %s" % (what, name, process.returncode, log_tail(log)))


def make_server_folders(my_ini):
    """The folders a copied my.ini names that the launcher makes beside it: the server refuses to
    start without its folder for LOAD_FILE and INTO OUTFILE, and InnoDB without its temporary one."""
    for key in ("secure_file_priv", "tmpdir"):
        os.makedirs(my_ini_value(my_ini, key), mode=0o700, exist_ok=True)


def my_ini_value(path, key):
    """The value of key in a generated my.ini, without the quotes around a path."""
    with open(path) as handle:
        for line in handle:
            name, _, value = line.strip().partition("=")
            if name == key:
                value = value.strip()
                if len(value) >= 2 and value[0] == value[-1] == '"':
                    value = re.sub(r'\\(.)', r'\1', value[1:-1])
                return value
    raise RuntimeError("no %s in %s" % (key, path))


def wait_first_ok(port, since_ns, path="/index.php", check=None, seconds=START_SECONDS):
    """Seconds from since_ns (monotonic) to the first HTTP 200 of path; check, when given, runs
    before each try and raises when a server has ended."""
    deadline = time.monotonic() + seconds
    while True:
        if check:
            check()
        status, _ = http_get(port, path, timeout=2)
        if status == 200:
            return (time.monotonic_ns() - since_ns) / 1e9
        if time.monotonic() > deadline:
            raise TimeoutError("no HTTP 200 from port %d%s within %d s" % (port, path, seconds))
        time.sleep(0.005)


def http_get(port, path, timeout=10):
    """(status, body) of GET http://127.0.0.1:port/path; (0, '') when nothing answered."""
    try:
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
        connection.request("GET", path)
        response = connection.getresponse()
        body = response.read().decode("utf-8", "replace")
        connection.close()
        return response.status, body
    except OSError:
        return 0, ""


def processes_below(folder):
    """Pids of the running processes whose executable lies below folder."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            target = os.readlink("/proc/%s/exe" % entry)
        except OSError:
            continue
        if target.startswith(folder + "/"):
            found.append(int(entry))
    return found


def median_ms(samples):
    return statistics.median(samples) * 1000.0
