#!/usr/bin/env python3
"""Makes a Corvala tree carry what its programs load.

    bundle.py servers TREE          the server programs, modules and extensions under TREE/bin
    bundle.py launcher TREE FILE    the launcher FILE (at the top of TREE) and its Qt runtime

Every shared library these programs load, except those of the base set every X11 desktop has
(a minbase Debian 12 plus scripts/base-packages.txt), is copied into TREE/bin/lib, and every ELF
file of the tree gets a RUNPATH relative to $ORIGIN that finds them. The launcher's Qt runtime
(plugins, the engine's helper process, its resources and locales) goes into TREE/bin/qt. The
copyright file of each package that contributed a file goes into TREE/licenses.

Incremental: a library whose copy carries its source's modification time is not copied again.
"""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
LIB = Path("bin/lib")
QT = Path("bin/qt")
HOST_LIBS = Path("/usr/lib/x86_64-linux-gnu")
QT_HOST_PLUGINS = HOST_LIBS / "qt6/plugins"
QT_HOST_LIBEXEC = Path("/usr/lib/qt6/libexec")
QT_HOST_DATA = Path("/usr/share/qt6")
XKB_HOST = Path("/usr/share/X11/xkb")
# The engine compiles the keyboard layout from a fixed system folder, and a machine without X's
# keyboard data has none. Its bundled copy looks in the tree instead: the path is relative, and the
# launcher's working folder is its own folder. The replacement is padded to the same length.
BINARY_PATCHES = {"libQt6WebEngineCore.so.6": (b"/usr/share/X11/xkb\0", b"bin/qt/xkb\0".ljust(19, b"\0"))}
# Only the plugins the launcher uses: X11 with its GL integrations, input methods, image formats.
QT_PLUGINS = ["platforms/libqxcb.so", "xcbglintegrations", "platforminputcontexts", "imageformats", "iconengines"]
# NSS opens its soft token, trust and database modules by path at run time, from its own folder;
# no ELF file names them.
NSS_MODULES = ["libsoftokn3.so", "libfreebl3.so", "libfreeblpriv3.so", "libnssckbi.so", "libnssdbm3.so"]
# "\tlibz.so.1 => /usr/lib/x86_64-linux-gnu/libz.so.1 (0x00007f...)" or "\tlibz.so.1 => not found".
LDD_LINE = re.compile(r"^\s*(\S+) => (.*?)(?: \(0x[0-9a-f]+\))?$")
# The engine's helper process reads this beside itself; the launcher carries the same text inside.
QT_CONF_HELPER = "[Paths]\nPrefix=..\nPlugins=plugins\nLibraryExecutables=libexec\nData=.\nTranslations=translations\n"


def fail(message):
    print(f"bundle: {message}", file=sys.stderr)
    sys.exit(1)


def is_elf(path):
    try:
        with open(path, "rb") as file:
            return file.read(4) == b"\x7fELF"
    except OSError:
        return False


def elf_files(folder):
    if folder.is_file():
        if is_elf(folder):
            yield folder
        return
    for dirpath, _, names in os.walk(folder):
        for name in sorted(names):
            path = Path(dirpath) / name
            if path.is_file() and not path.is_symlink() and is_elf(path):
                yield path


def run(args, **kwargs):
    return subprocess.run(args, check=False, capture_output=True, text=True, **kwargs)


def dependencies(path):
    """The shared libraries path loads, as the host's loader resolves them: {soname: host path}."""
    result = run(["ldd", str(path)])
    found = {}
    for line in result.stdout.splitlines():
        # A path may hold blanks, so the line is split at its fixed words, never at every blank.
        match = LDD_LINE.match(line)
        if match is None:
            continue
        soname, host = match.groups()
        if host == "not found":
            fail(f"{path} needs {soname}, which this machine does not have")
        found[soname] = Path(host)
    return found


def owners(paths):
    """Debian package of each host file: {path: package}; files of no package are left out."""
    wanted = {}
    for path in paths:
        real = Path(os.path.realpath(path))
        # With merged /usr a file may be registered under /lib as well as /usr/lib.
        for spelling in (path, real, Path(str(real).removeprefix("/usr")), Path("/usr" + str(real))):
            wanted.setdefault(str(spelling), path)
    found = {}
    names = list(wanted)
    for start in range(0, len(names), 200):
        result = run(["dpkg-query", "-S", *names[start:start + 200]])
        for line in result.stdout.splitlines():
            package, _, file = line.partition(": ")
            if file in wanted and "," not in package:
                found.setdefault(wanted[file], package.split(":")[0])
    return found


def base_packages():
    """A minbase Debian 12 (its required packages and apt) plus the base set and what they depend on.
    Where a dependency names alternatives, the first is what a fresh install takes."""
    result = run(["dpkg-query", "-W", "-f=${Package} ${Priority}\n"])
    packages = {line.split()[0] for line in result.stdout.splitlines() if line.endswith(" required")}
    packages.add("apt")
    listed = (HERE / "base-packages.txt").read_text().split("\n")
    packages.update(line.strip() for line in listed if line.strip() and not line.startswith("#"))
    # One recursive query gives every package's dependencies; the walk then takes first alternatives.
    result = run(["apt-cache", "depends", "--recurse", "--no-recommends", "--no-suggests", "--no-conflicts",
                  "--no-breaks", "--no-replaces", "--no-enhances", *sorted(packages)])
    depends = {}
    current = None
    skip_next = False
    for line in result.stdout.splitlines():
        if not line.startswith(" "):
            current = depends.setdefault(line.strip(), [])
            skip_next = False
            continue
        kind, separator, name = line.strip().partition(": ")
        if not separator:
            continue
        if not skip_next and not name.startswith("<") and current is not None:
            current.append(name.split(":")[0])
        skip_next = kind.startswith("|")
    pending = list(packages)
    while pending:
        for name in depends.get(pending.pop(), []):
            if name not in packages:
                packages.add(name)
                pending.append(name)
    return packages


class Bundle:
    def __init__(self, tree):
        self.tree = Path(tree).resolve()
        self.lib = self.tree / LIB
        self.base = base_packages()
        self.sources = {}  # host library -> its package, for the licences

    def needed(self, files):
        """Host libraries that files need, outside the base set."""
        wanted = {}
        for file in files:
            for soname, host in dependencies(file).items():
                wanted.setdefault(soname, host)
        inside = {soname: host for soname, host in wanted.items() if self.lib in Path(host).resolve().parents}
        outside = {soname: host for soname, host in wanted.items() if soname not in inside}
        packages = owners(outside.values())
        result = {}
        for soname, host in outside.items():
            package = packages.get(host)
            if package is None:
                fail(f"{host} belongs to no Debian package; cannot tell whether it is part of the base set")
            if package not in self.base:
                result[soname] = (host, package)
        return result

    def set_runpath(self, file):
        relative = os.path.relpath(self.lib, file.parent)
        runpath = "$ORIGIN" if relative == "." else f"$ORIGIN/{relative}"
        if run(["patchelf", "--print-needed", str(file)]).stdout.strip() == "":
            return
        current = run(["patchelf", "--print-rpath", str(file)]).stdout.strip()
        if current == runpath:
            return
        stat = file.stat()
        temporary = file.with_name(file.name + ".bundle-tmp")
        shutil.copy2(file, temporary)
        result = run(["patchelf", "--set-rpath", runpath, str(temporary)])
        if result.returncode != 0:
            temporary.unlink()
            fail(f"patchelf failed on {file}: {result.stderr.strip()}")
        os.utime(temporary, ns=(stat.st_atime_ns, stat.st_mtime_ns))
        os.replace(temporary, file)

    def copy_library(self, soname, host, package):
        destination = self.lib / soname
        source = Path(os.path.realpath(host))
        self.sources[source] = package
        if destination.exists() and destination.stat().st_mtime_ns == source.stat().st_mtime_ns:
            return False
        self.lib.mkdir(parents=True, exist_ok=True)
        temporary = destination.with_name(soname + ".bundle-tmp")
        shutil.copy2(source, temporary)
        os.chmod(temporary, 0o644)
        if soname in BINARY_PATCHES:
            patch_bytes(temporary, *BINARY_PATCHES[soname])
        os.replace(temporary, destination)
        self.set_runpath(destination)
        return True

    def carry(self, files):
        """Copies every library that files need, and what those need, and gives all of them RUNPATHs."""
        files = list(files)
        copied = 0
        pending = files
        while pending:
            needed = self.needed(pending)
            pending = []
            for soname, (host, package) in sorted(needed.items()):
                if self.copy_library(soname, host, package):
                    copied += 1
                    pending.append(self.lib / soname)
        for file in files:
            self.set_runpath(file)
        return copied

    def licences(self, extra_packages=()):
        packages = set(self.sources.values()) | set(extra_packages)
        folder = self.tree / "licenses"
        folder.mkdir(exist_ok=True)
        for package in sorted(packages):
            source = Path("/usr/share/doc") / package / "copyright"
            if source.is_file():
                destination = folder / f"{package}.copyright"
                if not destination.exists() or destination.stat().st_mtime_ns != source.stat().st_mtime_ns:
                    shutil.copy2(source, destination)
                    os.chmod(destination, 0o644)


def patch_bytes(path, old, new):
    data = path.read_bytes()
    if data.count(old) != 1:
        fail(f"{path.name} does not hold {old!r} exactly once; its patch needs a review")
    path.write_bytes(data.replace(old, new))


def copy_file(source, target):
    """Copies a file (symlinks followed) unless the copy already carries its modification time."""
    if target.exists() and target.stat().st_mtime_ns == source.stat().st_mtime_ns:
        return
    target.parent.mkdir(parents=True, exist_ok=True)
    temporary = target.with_name(target.name + ".bundle-tmp")
    shutil.copy2(source, temporary)
    os.replace(temporary, target)


def copy_tree(source, destination):
    if source.is_file():
        copy_file(source, destination / source.name)
        return
    for dirpath, _, names in os.walk(source):
        for name in names:
            path = Path(dirpath) / name
            copy_file(path, destination / path.relative_to(source))


def bundle_servers(tree):
    bundle = Bundle(tree)
    bin_folder = bundle.tree / "bin"
    programs = [file for file in elf_files(bin_folder)
                if bundle.lib not in file.parents and bundle.tree / QT not in file.parents]
    copied = bundle.carry(programs)
    server_files = [Path("/usr/sbin/apache2"), Path("/usr/sbin/mariadbd"), Path("/etc/mime.types"),
                    Path("/usr/bin/php8.2"), Path("/usr/bin/mariadb"), Path("/usr/bin/mariadb-dump")]
    server_files += sorted(Path("/usr/lib/php/20220829").glob("*.so"))
    server_files += [Path("/usr/lib/apache2/modules/libphp8.2.so"), Path("/usr/lib/php/8.2/php.ini-development"),
                     Path("/usr/share/mysql/english/errmsg.sys"), Path("/usr/share/phpmyadmin/index.php")]
    bundle.licences(owners([file for file in server_files if file.exists()]).values())
    print(f"bundle: the servers' libraries are in {bundle.lib} ({copied} copied now)")


def bundle_launcher(tree, launcher):
    bundle = Bundle(tree)
    qt = bundle.tree / QT
    for entry in QT_PLUGINS:
        # A single file keeps its folder; a folder is copied whole.
        target = qt / "plugins" / (Path(entry).parent if (QT_HOST_PLUGINS / entry).is_file() else entry)
        copy_tree(QT_HOST_PLUGINS / entry, target)
    copy_tree(QT_HOST_LIBEXEC / "QtWebEngineProcess", qt / "libexec")
    copy_tree(QT_HOST_DATA / "resources", qt / "resources")
    copy_tree(QT_HOST_DATA / "translations" / "qtwebengine_locales", qt / "translations" / "qtwebengine_locales")
    copy_tree(XKB_HOST, qt / "xkb")
    (qt / "libexec" / "qt.conf").write_text(QT_CONF_HELPER)
    helper = qt / "libexec" / "QtWebEngineProcess"
    os.chmod(helper, 0o755)
    launcher = Path(launcher).resolve()
    programs = [launcher, *elf_files(qt)]
    copied = bundle.carry(programs)
    if (bundle.lib / "libnss3.so").exists():
        modules = [bundle.lib / name for name in NSS_MODULES if (HOST_LIBS / name).exists()]
        for module in modules:
            copied += bundle.copy_library(module.name, HOST_LIBS / module.name, "libnss3")
            checksum = HOST_LIBS / (module.stem + ".chk")
            if checksum.exists():
                copy_file(checksum, bundle.lib / checksum.name)
        copied += bundle.carry(modules)
    host_files = [QT_HOST_LIBEXEC / "QtWebEngineProcess", QT_HOST_DATA / "resources" / "qtwebengine_resources.pak",
                  XKB_HOST / "rules" / "evdev"]
    host_files += [file for entry in QT_PLUGINS for file in elf_files(QT_HOST_PLUGINS / entry)]
    bundle.licences(owners(host_files).values())
    print(f"bundle: the launcher's Qt runtime in {qt} ({copied} libraries copied now)")


def main(argv):
    if len(argv) == 3 and argv[1] == "servers":
        bundle_servers(argv[2])
    elif len(argv) == 4 and argv[1] == "launcher":
        bundle_launcher(argv[2], argv[3])
    else:
        fail("usage: bundle.py servers TREE | bundle.py launcher TREE FILE")


if __name__ == "__main__":
    main(sys.argv)
