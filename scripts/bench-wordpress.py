#!/usr/bin/env python3
"""WordPress's front page under a distribution's PHP settings (brand=1: Debian's php.ini-production
and production opcache settings) against the developer's (brand=0: php.ini-development), in one run.

Two installations of the kit tree run side by side, each with WordPress from Debian's archive (the
wordpress and wordpress-theme-twentytwentythree packages: apt-get install wordpress
wordpress-theme-twentytwentythree) copied into www/wordpress and installed into its own MySQL.
Requests alternate between the two, one at a time on a new connection each, so that both see the
same moments of the machine's load; each round of them gives requests per second (the requests
over the time they took); medians of the rounds. Also reported: the PHP settings each installation
runs with, Apache's CPU time per page over the rounds (which the machine's other load disturbs less
than the wall time) and its memory (PSS) after them. --smoke: one short round, to show the benchmark
runs; its figures are not judged. --xdebug: instead, the developer's settings with the debugger off
(Xdebug in the tree, Server Settings' box off) against a tree without Xdebug."""

import argparse
import os
import re
import statistics
import time

import stacklab
from wordpresslab import add_wordpress, front_page, install_wordpress, require_package

SETTINGS = """<?php
foreach (['display_errors', 'error_reporting', 'zend.assertions', 'mysqlnd.collect_memory_statistics',
          'opcache.revalidate_freq', 'opcache.memory_consumption', 'opcache.max_accelerated_files'] as $key)
    echo $key, '=', ini_get($key), ' ';
echo 'xdebug=', extension_loaded('xdebug') ? 'loaded' : 'not loaded';
"""

# Each side: its name, whether it is a distribution, whether its tree keeps Xdebug.
SIDES = (("distribution", True, True), ("developer", False, True))
XDEBUG_SIDES = (("xdebug off", False, True), ("no xdebug", False, False))


def remove_xdebug(install):
    # bin is linked into the kit tree: only this installation's link goes.
    os.remove(os.path.join(install.root, "bin", "php", "ext", "xdebug.so"))


def apache_pss_kib(install):
    total = 0
    for pid in stacklab.processes_below(os.path.join(install.root, "bin", "Apache")):
        try:
            with open("/proc/%d/smaps_rollup" % pid) as handle:
                total += int(re.search(r"^Pss:\s+(\d+) kB", handle.read(), re.M).group(1))
        except OSError:
            continue
    return total


def apache_cpu_seconds(install):
    """CPU time (user and system) of the installation's Apache processes, workers that ended
    included."""
    ticks = 0
    for pid in stacklab.processes_below(os.path.join(install.root, "bin", "Apache")):
        try:
            with open("/proc/%d/stat" % pid) as handle:
                fields = handle.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        # utime, stime, cutime, cstime: fields 14 to 17 of stat, counted from the state (field 3).
        ticks += sum(int(value) for value in fields[11:15])
    return ticks / os.sysconf("SC_CLK_TCK")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--requests", type=int, default=40, help="front pages per round and installation")
    parser.add_argument("--warmup", type=int, default=10)
    parser.add_argument("--smoke", action="store_true", help="one short round; the figures are not judged")
    parser.add_argument("--xdebug", action="store_true",
                        help="the debugger off against a tree without Xdebug, instead of the two settings")
    args = parser.parse_args()
    sides = XDEBUG_SIDES if args.xdebug else SIDES
    first, second = sides[0][0], sides[1][0]
    if args.smoke:
        args.rounds, args.requests, args.warmup = 1, 3, 1
    require_package()

    installs, launchers, ports = {}, {}, {}
    rates = {name: [] for name, *_ in sides}
    try:
        for (name, brand, xdebug), first_port in zip(sides, (18480, 18580)):
            installs[name] = stacklab.Install(stacklab.free_port(first_port), brand=brand)
            if not xdebug:
                remove_xdebug(installs[name])
            # As root, Apache's workers run as nobody, and WordPress writes into its content folder.
            add_wordpress(os.path.join(installs[name].root, "www"),
                          worker_user="nobody:nogroup" if os.geteuid() == 0 else None)
            installs[name].add_page("bench-settings.php", SETTINGS)
        for name, *_ in sides:
            launchers[name] = stacklab.Launcher(installs[name])
            launchers[name].wait_ready()
            ports[name] = int(launchers[name].value("apache_port"))
            install_wordpress(ports[name])
        settings = {name: stacklab.http_get(ports[name], "/bench-settings.php")[1] for name, *_ in sides}
        sizes = {}
        for name, *_ in sides:
            for _ in range(args.warmup):
                sizes[name] = front_page(ports[name])
        cpu_before = {name: apache_cpu_seconds(installs[name]) for name, *_ in sides}
        for _ in range(args.rounds):
            seconds = {name: 0.0 for name, *_ in sides}
            for request in range(args.requests):
                # Each side goes first every other time, so neither always follows the other.
                for name, *_ in sides if request % 2 == 0 else sides[::-1]:
                    began = time.monotonic()
                    front_page(ports[name])
                    seconds[name] += time.monotonic() - began
            for name, *_ in sides:
                rates[name].append(args.requests / seconds[name])
        cpu = {name: apache_cpu_seconds(installs[name]) - cpu_before[name] for name, *_ in sides}
        memory = {name: apache_pss_kib(installs[name]) for name, *_ in sides}
        for name, *_ in sides:
            if launchers[name].stop() != 0:
                raise RuntimeError("the %s launcher's stop failed" % name)
    finally:
        for install in installs.values():
            install.remove()

    if args.smoke:
        print("smoke run: one short round; the figures are not judged")
    print("WordPress front page, %d rounds of %d requests to each (alternating, after %d untimed)" % (
        args.rounds, args.requests, args.warmup))
    for name, *_ in sides:
        print("%-12s %s" % (name + ":", settings[name].strip()))
    for name, *_ in sides:
        print("%-12s median %.1f requests/s (%s); page %d bytes; Apache's PSS after the rounds %.1f MB" % (
            name + ":", statistics.median(rates[name]), ", ".join("%.1f" % rate for rate in rates[name]),
            sizes[name], memory[name] / 1024))
    print("%s against %s: %.2fx" % (first, second, statistics.median(rates[first]) / statistics.median(rates[second])))
    pages = args.rounds * args.requests
    print("Apache's CPU time (PHP included) per front page, less sensitive to the machine's other load: "
          "%s %.1f ms, %s %.1f ms; %.2fx" % (first, cpu[first] * 1000 / pages, second, cpu[second] * 1000 / pages,
                                             cpu[second] / cpu[first]))


if __name__ == "__main__":
    stacklab.run(main)
