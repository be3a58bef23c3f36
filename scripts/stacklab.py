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
    """An installation in a temporary folder whose name holds a blank."""

    def __init__(self, port):
        self.root = tempfile.mkdtemp(prefix="corvala bench ")
        os.chmod(self.root, 0o755)
        self.program = os.path.join(self.root, "corvala")
        shutil.copy2(DRIVER, self.program)
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
