"""Shared pieces of the stack benchmarks and the soak test: a fresh installation made from the
kit tree, the window-less launcher (the stack driver) as a child, and plain HTTP on loopback."""

import http.client
import os
import shutil
import signal
import socket
import statistics
import subprocess
import tempfile
import time

BUILD = os.environ.get("CORVALA_BUILD", os.path.join(os.path.dirname(__file__), "..", "build"))
KIT_TREE = os.path.join(BUILD, "dist")
DRIVER = os.path.join(BUILD, "tests", "e2e", "corvala_stack_driver")
RESTOOL = os.path.join(BUILD, "src", "restool", "corvala-res")


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
    is the stack driver, or the given launcher."""

    def __init__(self, port, program=DRIVER, parent=None):
        self.root = tempfile.mkdtemp(prefix="corvala bench ", dir=parent)
        self.port = port
        os.chmod(self.root, 0o755)
        self.program = os.path.join(self.root, "corvala")
        shutil.copy2(program, self.program)
        subprocess.run(["cp", "-al", os.path.join(KIT_TREE, "bin"), os.path.join(self.root, "bin")], check=True)
        subprocess.run(["cp", "-al", os.path.join(KIT_TREE, "www"), os.path.join(self.root, "www")], check=True)
        subprocess.run(["cp", "-a", os.path.join(KIT_TREE, "data"), os.path.join(self.root, "data")], check=True)
        config = ("[INI]\r\nfullscreen=0\r\ntitle=Corvala\r\nport=%d\r\nip=127.0.0.1\r\n"
                  "copyfilestoharddisk=0\r\nbrand=0" % port)
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
        shutil.rmtree(self.root, ignore_errors=True)


class Launcher:
    """The stack driver started as a child; its report lines become values."""

    def __init__(self, install):
        self.spawned = time.monotonic()
        self.process = subprocess.Popen([install.program], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True)
        self.values = {}

    def read_until(self, last):
        for line in self.process.stdout:
            line = line.rstrip("\n")
            if "=" in line:
                key, value = line.split("=", 1)
                self.values[key] = value
            if line == last or line.startswith("error=") or line == "already-running":
                return line
        return None

    def wait_ready(self):
        line = self.read_until("ready")
        if line != "ready":
            raise RuntimeError("launcher did not start: %s" % line)

    def stop(self):
        self.process.stdin.write("stop\n")
        self.process.stdin.flush()
        self.read_until("stopped")
        return self.process.wait(timeout=60)

    def kill(self):
        self.process.send_signal(signal.SIGKILL)
        self.process.wait()

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
        if os.geteuid() == 0:
            os.chmod(self.folder, 0o711)
            shutil.chown(sessions, "nobody", "nogroup")
        self.servers = []

    def start(self, mysql_port):
        bin_folder = os.path.join(self.install.root, "bin")
        environment = dict(os.environ, PHPRC=self.folder, PHP_INI_SCAN_DIR="")
        self.servers = [
            subprocess.Popen([os.path.join(bin_folder, "mysql/bin/mysqld"), "--defaults-file=%s/my.ini" % self.folder,
                              "--port=%d" % mysql_port,
                              "--language=%s/mysql/share/english" % bin_folder, "--user=root"],
                             env=environment, stderr=subprocess.DEVNULL, start_new_session=True),
            subprocess.Popen([os.path.join(bin_folder, "Apache/Apache"), "-f", "%s/httpd.conf" % self.folder,
                              "-DFOREGROUND"], env=environment, stderr=subprocess.DEVNULL, start_new_session=True)]

    def stop(self):
        # MariaDB may hang for good on a SIGTERM that arrives while it is still starting.
        while http_get(self.install.port, "/index.php")[1].find("MySQL connected") < 0:
            time.sleep(0.01)
        for server in self.servers:
            server.send_signal(signal.SIGTERM)
        for server in self.servers:
            server.wait(timeout=30)

    def remove(self):
        shutil.rmtree(self.folder, ignore_errors=True)


def wait_first_ok(port, since_ns, path="/index.php"):
    """Seconds from since_ns (monotonic) to the first HTTP 200 of path."""
    while True:
        status, _ = http_get(port, path, timeout=2)
        if status == 200:
            return (time.monotonic_ns() - since_ns) / 1e9
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
