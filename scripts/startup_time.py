#!/usr/bin/env python3
"""How long the desktop program takes from its start until its window has painted itself.

    scripts/startup_time.py [--runs N] [BUILD_DIR]

Starts BUILD_DIR/gui/zephrane --exit-when-shown N times (default 20; BUILD_DIR defaults to
build) and prints the minimum, median and maximum time from the process start to the line
"shown" it writes after its first paint. Run it under the display to be measured: a desktop
session, `xvfb-run -a`, or QT_QPA_PLATFORM=offscreen. The settings of a throw-away home folder
are used, so that a first start is measured every time.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time


def one_start(program, env):
    started = time.perf_counter()
    process = subprocess.Popen([program, "--exit-when-shown"], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, env=env, text=True)
    line = process.stdout.readline()
    shown = time.perf_counter()
    process.wait(timeout=30)
    if line.strip() != "shown":
        sys.exit(f"{program} ended without showing its window (status {process.returncode})")
    return (shown - started) * 1000.0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build_dir", nargs="?", default="build")
    parser.add_argument("--runs", type=int, default=20)
    args = parser.parse_args()
    program = os.path.join(args.build_dir, "gui", "zephrane")
    with tempfile.TemporaryDirectory() as home:
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   XDG_DATA_HOME=os.path.join(home, ".local", "share"))
        one_start(program, env)  # the first run fills the system's file caches
        times = sorted(one_start(program, env) for _ in range(args.runs))
    print(f"{args.runs} starts: min {times[0]:.0f} ms, median {statistics.median(times):.0f} ms, "
          f"max {times[-1]:.0f} ms")


if __name__ == "__main__":
    main()
