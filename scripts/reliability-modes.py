#!/usr/bin/env python3
"""Kills "/config" and "/icon" at random moments and checks the target after each kill.

Each round copies a pristine target (a small program carrying the shipped resources and a ballast
resource that makes an update take a while), starts the real program in one of the two modes on
it, kills it with SIGKILL after a random delay, and then checks that the target file is byte for
byte either the old file or the file an undisturbed run makes, and that the target still starts
and lists exactly the resources of that state. Prints the figures; exits 1 on any failure.

usage: reliability-modes.py [--build-dir build] [--rounds 200] [--max-delay-ms MS] [--seed N]
"""

import argparse
import glob
import hashlib
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

MODES = ("/config", "/icon")


def md5_of(path):
    with open(path, "rb") as f:
        return hashlib.md5(f.read()).hexdigest()


def icon_file(sizes):
    """An icon file with one image per size, laid out after the directory."""
    header = struct.pack("<HHH", 0, 1, len(sizes))
    offset = len(header) + 16 * len(sizes)
    entries, images = b"", b""
    for i, size in enumerate(sizes):
        entries += struct.pack("<BBBBHHII", 16 * (i + 1), 16 * (i + 1), 0, 0, 1, 32, size, offset)
        images += bytes([0x61 + i]) * size
        offset += size
    return header + entries + images


def mode_environment():
    env = dict(os.environ)
    # Without a display an error goes to standard error instead of a box waiting for OK.
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    return env


class Bench:
    def __init__(self, build_dir, work, ballast_kib):
        self.work = work
        self.program = os.path.join(work, "corvala")
        self.pristine = os.path.join(work, "pristine")
        self.target = os.path.join(work, "target")
        self.inputs = {
            "/config": os.path.join(work, "new config.ini"),
            "/icon": os.path.join(work, "new.ico"),
        }
        shutil.copy2(os.path.join(build_dir, "dist", "corvala"), self.program)
        shutil.copy2(os.path.join(build_dir, "src", "restool", "resource_probe"), self.pristine)
        ballast = os.path.join(work, "ballast.bin")
        with open(ballast, "wb") as f:
            f.write(random.Random(1).randbytes(ballast_kib * 1024))
        tool = os.path.join(build_dir, "src", "restool", "corvala-res")
        subprocess.run([tool, "set", self.pristine, "RCDATA", "RES_BALLAST", "0", ballast], check=True)
        with open(self.inputs["/config"], "wb") as f:
            f.write(b"[INI]\r\ntitle=Reliability\r\nport=8181\r\nip=127.0.0.1")
        with open(self.inputs["/icon"], "wb") as f:
            f.write(icon_file([300, 500, 700]))
        self.env = mode_environment()

    def fresh_target(self):
        shutil.copy2(self.pristine, self.target)

    def start(self, mode):
        return subprocess.Popen([self.program, mode, self.target, self.inputs[mode]], env=self.env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def listing(self):
        """What a new process of the target reads from its own file; None when it does not run."""
        run = subprocess.run([self.target], capture_output=True, timeout=60)
        return run.stdout if run.returncode == 0 else None

    def leftovers(self):
        return glob.glob(os.path.join(self.work, ".target.*"))


def calibrate(bench, mode):
    """The undisturbed result of a mode and how long the mode process takes."""
    durations, results = [], set()
    for _ in range(3):
        bench.fresh_target()
        began = time.monotonic()
        process = bench.start(mode)
        _, errors = process.communicate()
        durations.append(time.monotonic() - began)
        if process.returncode != 0:
            sys.exit(f"{mode} failed undisturbed: {errors.decode(errors='replace')}")
        results.add(md5_of(bench.target))
    if len(results) != 1:
        sys.exit(f"{mode} does not give the same file each time; the check needs that")
    return results.pop(), bench.listing(), sorted(durations)[1]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default="build")
    parser.add_argument("--rounds", type=int, default=200)
    parser.add_argument("--max-delay-ms", type=float, default=0.0,
                        help="upper end of the random delay; default 1.2 x an undisturbed run of the mode")
    parser.add_argument("--ballast-kib", type=int, default=8192)
    parser.add_argument("--seed", type=int, default=None)
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)

    work = tempfile.mkdtemp(prefix="corvala reliability ")
    try:
        bench = Bench(os.path.abspath(args.build_dir), work, args.ballast_kib)
        old_md5 = md5_of(bench.pristine)
        bench.fresh_target()
        old_listing = bench.listing()
        expected = {}
        for mode in MODES:
            new_md5, new_listing, duration = calibrate(bench, mode)
            max_delay = args.max_delay_ms / 1000 if args.max_delay_ms > 0 else 1.2 * duration
            expected[mode] = (new_md5, new_listing, max_delay)
            print(f"{mode}: undisturbed run {duration * 1000:.0f} ms, delays 0..{max_delay * 1000:.0f} ms")

        figures = {key: 0 for key in ("killed", "ended", "mid_update", "old", "new", "failures")}
        per_mode = {mode: {"old": 0, "new": 0} for mode in MODES}
        for round_number in range(args.rounds):
            mode = MODES[round_number % 2]
            new_md5, new_listing, max_delay = expected[mode]
            bench.fresh_target()
            process = bench.start(mode)
            time.sleep(rng.uniform(0, max_delay))
            if process.poll() is None:
                process.send_signal(signal.SIGKILL)
                figures["killed"] += 1
            else:
                figures["ended"] += 1
            process.communicate()
            leftovers = bench.leftovers()
            if leftovers:
                # Killed while the new file was being written beside the target.
                figures["mid_update"] += 1
                for path in leftovers:
                    os.remove(path)
            state = {old_md5: "old", new_md5: "new"}.get(md5_of(bench.target))
            listing = bench.listing()
            wanted = old_listing if state == "old" else new_listing
            if state is None or listing is None or listing != wanted:
                figures["failures"] += 1
                print(f"round {round_number} ({mode}): target is {state or 'neither old nor new'}, "
                      f"{'does not run' if listing is None else 'runs'}"
                      f"{'' if listing == wanted else ', lists other resources'}")
                continue
            figures[state] += 1
            per_mode[mode][state] += 1

        print(f"seed {seed}, rounds {args.rounds}")
        print(f"killed while running {figures['killed']}, ended before the kill {figures['ended']}")
        print(f"kills that landed mid-update (new file begun, not yet in place) {figures['mid_update']}")
        print(f"target old {figures['old']}, new {figures['new']}; "
              + ", ".join(f"{m} old {c['old']} new {c['new']}" for m, c in per_mode.items()))
        print(f"failures {figures['failures']}")
        return 1 if figures["failures"] else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
