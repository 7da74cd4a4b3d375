#!/usr/bin/python3
"""Times zephrane-cli against independent tools reading the same generated songs, in one run.

For each song of about 100 KB, 1 MB and 16 MB (written by make_bench_song, the generator the
benchmarks use) the commands run in turn, round after round, so that every tool meets the same
machine load:

  info     zephrane-cli info --raw SONG               (load and scan)
  style    zephrane-cli style --work-dir DIR --all-sections --auto-casm --force -o OUT.sty SONG
           (open and prepare, all fourteen sections, Auto CASM Set, save: the whole road)
  midicsv  midicsv SONG OUT.csv                       (C: the song converted to text)
  mido     python3 -c 'mido.MidiFile(SONG)'           (Python: the song loaded)

mido, much the slowest, runs fewer times. The median wall time of each is reported, with the
song's size over it in MB/s (10^6 bytes a second), and the ratios asked for: midicsv over style
(above 1 when the whole road is faster than midicsv's conversion) and midicsv over info. The peak memory of `style` comes from
/usr/bin/time -v.

Usage: scripts/compare-tools.py [--build BUILD_DIR] [--rounds N] [--keep DIR]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SIZES = [("100 KB", "100k"), ("1 MB", "1m"), ("16 MB", "16m")]


def run(command, **kwargs):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   **kwargs)


def timed(command):
    start = time.perf_counter()
    run(command)
    return time.perf_counter() - start


def peak_memory_kb(command):
    """Maximum resident set size of `command` in KB, as GNU time reports it."""
    result = subprocess.run(["/usr/bin/time", "-v"] + command, check=True,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    for line in result.stderr.splitlines():
        if "Maximum resident set size" in line:
            return int(line.split(":")[1])
    raise RuntimeError("no peak memory in the output of /usr/bin/time -v")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/release", help="build folder of the project")
    parser.add_argument("--rounds", type=int, default=7, help="runs of each command per song")
    parser.add_argument("--keep", help="folder for the songs and outputs (default: temporary)")
    args = parser.parse_args()

    cli = os.path.join(args.build, "cli", "zephrane-cli")
    generator = os.path.join(args.build, "bench", "make_bench_song")
    for program in (cli, generator):
        if not os.access(program, os.X_OK):
            sys.exit(f"compare-tools: {program} not found; build the project first")
    for tool in ("midicsv", "/usr/bin/time"):
        if shutil.which(tool) is None:
            sys.exit(f"compare-tools: {tool} is missing (scripts/install-deps.sh, package time)")

    folder = args.keep or tempfile.mkdtemp(prefix="zephrane-compare-")
    os.makedirs(folder, exist_ok=True)
    work = os.path.join(folder, "work")
    os.makedirs(work, exist_ok=True)
    try:
        print(f"{'song':7} {'bytes':>9} {'command':8} {'median':>10} {'MB/s':>8}")
        summary = []
        for label, size in SIZES:
            song = os.path.join(folder, f"song-{size}.mid")
            run([generator, size, song])
            nbytes = os.path.getsize(song)
            style = os.path.join(folder, f"song-{size}.sty")
            csv = os.path.join(folder, f"song-{size}.csv")
            commands = {
                "info": [cli, "info", "--raw", song],
                "style": [cli, "style", "--work-dir", work, "--all-sections", "--auto-casm",
                          "--force", "-o", style, song],
                "midicsv": ["midicsv", song, csv],
                "mido": ["/usr/bin/python3", "-c",
                         "import sys, mido; mido.MidiFile(sys.argv[1])", song],
            }
            times = {name: [] for name in commands}
            # mido takes some forty times longer than the others: fewer runs of it.
            mido_rounds = 1 if nbytes > 4 * 1024 * 1024 else min(args.rounds, 3)
            for round_number in range(args.rounds):
                for name, command in commands.items():
                    if name == "mido" and round_number >= mido_rounds:
                        continue
                    times[name].append(timed(command))
            medians = {name: statistics.median(values) for name, values in times.items()}
            for name, seconds in medians.items():
                print(f"{label:7} {nbytes:9} {name:8} {seconds * 1e3:7.1f} ms "
                      f"{nbytes / seconds / 1e6:8.1f}")
            memory = peak_memory_kb(commands["style"])
            summary.append((label, nbytes, medians, memory))

        print()
        print(f"{'song':7} {'midicsv/style':>13} {'midicsv/info':>12} {'mido/style':>10} "
              f"{'style peak':>11} {'limit':>9}")
        for label, nbytes, medians, memory in summary:
            # The goal for the peak memory: four times the song plus 20 MB.
            limit = (4 * nbytes + 20 * 1024 * 1024) // 1024
            print(f"{label:7} {medians['midicsv'] / medians['style']:13.2f} "
                  f"{medians['midicsv'] / medians['info']:12.2f} "
                  f"{medians['mido'] / medians['style']:10.2f} "
                  f"{memory / 1024:8.1f} MB {limit / 1024:6.1f} MB")
    finally:
        if not args.keep:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
