#!/usr/bin/env python3
"""PHP page time with opcache against without, in one run.

Two installations of the kit tree run side by side: one as shipped (opcache loaded by the generated
php.ini), one whose tree lacks opcache.so (as a down-sized tree does, so no opcache line is
written). Each serves the same page that includes a few hundred PHP files, and phpMyAdmin's main
page; requests alternate between the two so both see the same machine load. Reported: the median
of the timed requests of each page, after a few untimed ones that fill the cache."""

import argparse
import os
import time

import stacklab

# One included file: a class with a little of everything a framework file holds.
INCLUDED = """<?php
namespace Bench\\Part{n};

interface Shape{n} {{ public function area(): float; }}

final class Item{n} implements Shape{n}
{{
    public const NAMES = ['alpha', 'beta', 'gamma', 'delta', 'epsilon', 'zeta', 'eta', 'theta'];
    private array $values = [];

    public function __construct(private float $width = {n}.5, private float $height = 2.0)
    {{
        foreach (self::NAMES as $index => $name) {{
            $this->values[$name] = $index * $width;
        }}
    }}

    public function area(): float {{ return $this->width * $this->height; }}

    public function describe(string $prefix = 'item'): string
    {{
        $parts = [];
        foreach ($this->values as $name => $value) {{
            $parts[] = sprintf('%s-%s=%0.2f', $prefix, $name, $value);
        }}
        return implode(';', $parts);
    }}

    public static function make(array $options): self
    {{
        $width = isset($options['width']) ? (float) $options['width'] : {n}.5;
        $height = $options['height'] ?? 2.0;
        return new self($width, $height);
    }}
}}

function helper{n}(int $x): int {{ return match (true) {{ $x < 0 => -$x, $x > 100 => 100, default => $x }}; }}
"""

PAGE = """<?php
$total = 0.0;
for ($n = 0; $n < {count}; $n++) {{
    require __DIR__ . "/parts/part$n.php";
    $class = "\\\\Bench\\\\Part$n\\\\Item$n";
    $total += $class::make(['width' => $n])->area();
}}
echo "parts {count} total $total";
"""


def add_site(install, count):
    """The bench page and its parts in a folder of its own (www's files are links into the kit)."""
    folder = os.path.join(install.root, "www", "bench")
    os.makedirs(os.path.join(folder, "parts"))
    for n in range(count):
        with open(os.path.join(folder, "parts", "part%d.php" % n), "w") as handle:
            handle.write(INCLUDED.format(n=n))
    with open(os.path.join(folder, "index.php"), "w") as handle:
        handle.write(PAGE.format(count=count))
    # Older than opcache's protection for files still being written, so they are cached at once.
    past = time.time() - 60
    for root, _, files in os.walk(folder):
        for name in files:
            os.utime(os.path.join(root, name), (past, past))


def timed_get(port, path):
    began = time.monotonic()
    status, body = stacklab.http_get(port, path)
    return time.monotonic() - began, status, body


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--requests", type=int, default=20)
    parser.add_argument("--warmup", type=int, default=3)
    parser.add_argument("--parts", type=int, default=200)
    parser.add_argument("--smoke", action="store_true", help="a few requests; the figures are not judged")
    args = parser.parse_args()
    if args.smoke:
        args.requests, args.warmup, args.parts = 2, 1, 20

    installs = {}
    launchers = {}
    try:
        for name, start in (("with", 18180), ("without", 18380)):
            install = stacklab.Install(stacklab.free_port(start))
            installs[name] = install
            add_site(install, args.parts)
        # Only this installation's link goes; the kit tree keeps its file.
        os.remove(os.path.join(installs["without"].root, "bin", "php", "ext", "opcache.so"))
        for name, install in installs.items():
            launcher = stacklab.Launcher(install)
            launcher.wait_ready()
            launchers[name] = launcher

        pages = {"bench page (%d included files)" % (args.parts + 1): "/bench/index.php",
                 "phpMyAdmin main page": "/phpmyadmin/index.php"}
        times = {(page, name): [] for page in pages for name in installs}
        for page, path in pages.items():
            for run in range(args.warmup + args.requests):
                for name in installs:
                    port = int(launchers[name].value("apache_port"))
                    elapsed, status, body = timed_get(port, path)
                    if status != 200:
                        raise RuntimeError("%s answered %d (%s): %s" % (path, status, name, body[:200]))
                    if run >= args.warmup:
                        times[(page, name)].append(elapsed)

        opcache_status = {}
        for name in installs:
            install = installs[name]
            install.add_page("opcache-state.php",
                             "<?php echo function_exists('opcache_get_status') && opcache_get_status(false) ? "
                             "'enabled' : 'off';")
            opcache_status[name] = stacklab.http_get(int(launchers[name].value("apache_port")),
                                                     "/opcache-state.php")[1]
    finally:
        for launcher in launchers.values():
            launcher.stop()
        for install in installs.values():
            install.remove()

    print("requests per page and installation: %d (after %d untimed)" % (args.requests, args.warmup))
    print("opcache: with=%s, without=%s" % (opcache_status["with"], opcache_status["without"]))
    for page in pages:
        with_ms = stacklab.median_ms(times[(page, "with")])
        without_ms = stacklab.median_ms(times[(page, "without")])
        print("%s: median %.1f ms with opcache, %.1f ms without; %.2fx faster (goal: at least 3x)" % (
            page, with_ms, without_ms, without_ms / with_ms))


if __name__ == "__main__":
    stacklab.run(main)
