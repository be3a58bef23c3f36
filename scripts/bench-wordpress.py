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
import http.client
import os
import re
import statistics
import subprocess
import time
import urllib.parse

import stacklab

WORDPRESS = "/usr/share/wordpress"

WP_CONFIG = """<?php
define('DB_NAME', 'wordpress');
define('DB_USER', 'root');
define('DB_PASSWORD', '');
// 'localhost': through the socket the generated php.ini names.
define('DB_HOST', 'localhost');
define('DB_CHARSET', 'utf8mb4');
define('DB_COLLATE', '');
foreach (['AUTH_KEY', 'SECURE_AUTH_KEY', 'LOGGED_IN_KEY', 'NONCE_KEY', 'AUTH_SALT', 'SECURE_AUTH_SALT',
          'LOGGED_IN_SALT', 'NONCE_SALT'] as $key)
    define($key, 'bench ' . $key);
$table_prefix = 'wp_';
// No request of its own to wp-cron.php or to the update servers while it is measured.
define('DISABLE_WP_CRON', true);
define('AUTOMATIC_UPDATER_DISABLED', true);
define('WP_AUTO_UPDATE_CORE', false);
define('WP_HTTP_BLOCK_EXTERNAL', true);
if (!defined('ABSPATH'))
    define('ABSPATH', __DIR__ . '/');
require_once ABSPATH . 'wp-settings.php';
"""

CREATE_DATABASE = """<?php
$db = new mysqli('localhost', 'root', '');
$db->query('CREATE DATABASE IF NOT EXISTS wordpress');
echo 'created';
"""

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


def add_wordpress(install):
    target = os.path.join(install.root, "www", "wordpress")
    # Debian's package links some of its files to other packages' files: copies of them go in.
    subprocess.run(["cp", "-rL", WORDPRESS, target], check=True)
    os.remove(os.path.join(target, "wp-config.php"))
    with open(os.path.join(target, "wp-config.php"), "w") as handle:
        handle.write(WP_CONFIG)
    install.add_page("bench-db.php", CREATE_DATABASE)
    install.add_page("bench-settings.php", SETTINGS)
    if os.geteuid() == 0:
        # Apache's workers run as nobody and WordPress writes into its content folder.
        subprocess.run(["chown", "-R", "nobody:nogroup", os.path.join(target, "wp-content")], check=True)


def post(port, path, fields):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=stacklab.START_SECONDS)
    connection.request("POST", path, urllib.parse.urlencode(fields),
                       {"Content-Type": "application/x-www-form-urlencoded"})
    response = connection.getresponse()
    body = response.read().decode("utf-8", "replace")
    connection.close()
    return response.status, body


def install_wordpress(port):
    status, body = stacklab.http_get(port, "/bench-db.php")
    if status != 200 or body != "created":
        raise RuntimeError("the database was not created: %d %s" % (status, body[:300]))
    status, body = post(port, "/wordpress/wp-admin/install.php?step=2", {
        "weblog_title": "Corvala Bench", "user_name": "admin", "admin_password": "bench-Password-1",
        "admin_password2": "bench-Password-1", "pw_weak": "1", "admin_email": "admin@example.com",
        "blog_public": "0", "language": ""})
    if status != 200 or "Success!" not in body:
        raise RuntimeError("WordPress was not installed: %d %s" % (status, re.sub(r"\s+", " ", body)[:500]))


def front_page(port):
    status, body = stacklab.http_get(port, "/wordpress/")
    if status != 200 or "Corvala Bench" not in body:
        raise RuntimeError("the front page answered %d: %s" % (status, re.sub(r"\s+", " ", body)[:300]))
    return len(body)


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
    if not os.path.exists(os.path.join(WORDPRESS, "wp-settings.php")):
        raise SystemExit("needs Debian's wordpress package: apt-get install wordpress wordpress-theme-twentytwentythree")

    installs, launchers, ports = {}, {}, {}
    rates = {name: [] for name, *_ in sides}
    try:
        for (name, brand, xdebug), first_port in zip(sides, (18480, 18580)):
            installs[name] = stacklab.Install(stacklab.free_port(first_port), brand=brand)
            if not xdebug:
                remove_xdebug(installs[name])
            add_wordpress(installs[name])
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
