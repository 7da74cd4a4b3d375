#!/usr/bin/env bash
# Runs the Google Benchmark targets on the generated songs of about 100 KB, 1 MB and 16 MB and
# prints, per step, the throughput in MB/s (10^6 bytes of song a second) and how the cost grows
# with the size: the time on the 16 MB song over the time on the 1 MB song, next to the ratio of
# their sizes (about 16 where the cost is linear, about 256 where it is quadratic).
#
# Usage: scripts/benchmark.sh [BUILD_DIR] [extra Google Benchmark options]
#   BUILD_DIR defaults to build/release; the benchmarks are built with the project
#   (ZEPHRANE_BUILD_BENCHMARKS, on by default). The raw results are left in
#   BUILD_DIR/benchmark.json.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/release}
shift || true
bench="$build/bench/zephrane_bench"
if [ ! -x "$bench" ]; then
    echo "benchmark.sh: $bench not found; build the project first" >&2
    exit 1
fi

json="$build/benchmark.json"
"$bench" --benchmark_filter='/(102400|1048576|16777216)' --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true --benchmark_out="$json" \
    --benchmark_out_format=json "$@" >/dev/null

/usr/bin/python3 - "$json" <<'EOF'
import json
import sys

with open(sys.argv[1]) as f:
    results = json.load(f)["benchmarks"]

# Median of the repetitions: "BM_Scan/1048576_median" and the like.
steps = {}
for row in results:
    if row.get("aggregate_name") != "median":
        continue
    name = row["run_name"].split("/")
    step, size = name[0], int(name[1])
    seconds = row["real_time"] * {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[row["time_unit"]]
    steps.setdefault(step, {})[size] = (seconds, row.get("song_bytes", size))

labels = {102400: "100 KB", 1048576: "1 MB", 16777216: "16 MB"}
print(f"{'step':24} {'100 KB':>16} {'1 MB':>16} {'16 MB':>16} {'16 MB/1 MB':>11} {'sizes':>6}")
for step, sizes in steps.items():
    cells = []
    for size in (102400, 1048576, 16777216):
        if size in sizes:
            seconds, song = sizes[size]
            cells.append(f"{seconds * 1e3:7.2f} ms {song / seconds / 1e6:5.0f}")
        else:
            cells.append("-")
    if 1048576 in sizes and 16777216 in sizes:
        (t1, b1), (t16, b16) = sizes[1048576], sizes[16777216]
        growth = f"{t16 / t1:11.1f} {b16 / b1:6.1f}"
    else:
        growth = ""
    print(f"{step[3:]:24} " + " ".join(f"{c:>16}" for c in cells) + " " + growth)
print("cells: median wall time and MB/s; last columns: time ratio and size ratio 16 MB / 1 MB")
EOF
