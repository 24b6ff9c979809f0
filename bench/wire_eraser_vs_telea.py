#!/usr/bin/python3
"""Times the Wire Eraser's dab against OpenCV's Telea inpainting of the same dabs.

    /usr/bin/python3 bench/wire_eraser_vs_telea.py [BUILD_DIR] [--repetitions N]

Runs build/bench/quill_bench_wire_eraser (BM_WireEraserDab at Size 5, 25 and 50)
and, in turns with it, cv2.inpaint(INPAINT_TELEA, radius 3) on the benchmark's dabs:
the same photo and the same walk of 64 dab centres, each dab's disc (the pixels the
Wire Eraser's power-disc mask covers) as the mask and the dab's square grown by the
radius, clipped to the photo, as the image handed in. Prints the median CPU time per
dab of both, over the repetitions, and their ratio.

Needs Debian's python3-opencv and python3-numpy, which
`bash -c '. scripts/setup.sh && quill_setup_bench'` installs; the build itself does not.
"""

import argparse
import json
import math
import os
import statistics
import subprocess
import sys
import time

try:
    import cv2
    import numpy
except ImportError:
    sys.exit("wire_eraser_vs_telea: needs python3-opencv (apt-get install python3-opencv)")

SIZES = (5, 25, 50)
RADIUS = 3
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PHOTO = os.path.join(ROOT, "images", "astronaut.png")


def power_disc(size):
    """The Wire Eraser's dab mask (peak 255, exponent 160/16) as a boolean square."""
    half = size // 2
    covered = numpy.zeros((2 * half + 1, 2 * half + 1), bool)
    for dy in range(-half, half + 1):
        for dx in range(-half, half + 1):
            t = 2 * math.sqrt(dx * dx + dy * dy) / size
            covered[dy + half, dx + half] = t < 1 and round((1 - math.pow(t, 10.0)) * 255) != 0
    return covered


def telea_inputs(photo, size):
    """The windows and masks of the benchmark's 64 dabs of Size."""
    height, width = photo.shape[:2]
    disc = power_disc(size)
    half = size // 2
    inputs = []
    for i in range(64):
        # The benchmark's walk: a diagonal across the photo.
        cx = 20 + i * (width - 40) // 64
        cy = 20 + i * (height - 40) // 64
        left, top = max(cx - half - RADIUS, 0), max(cy - half - RADIUS, 0)
        right, bottom = min(cx + half + 1 + RADIUS, width), min(cy + half + 1 + RADIUS, height)
        window = numpy.ascontiguousarray(photo[top:bottom, left:right])
        mask = numpy.zeros(window.shape[:2], numpy.uint8)
        # The disc's part inside the window.
        for dy in range(-half, half + 1):
            for dx in range(-half, half + 1):
                x, y = cx + dx - left, cy + dy - top
                if disc[dy + half, dx + half] and 0 <= x < window.shape[1] and 0 <= y < window.shape[0]:
                    mask[y, x] = 255
        inputs.append((window, mask))
    return inputs


def time_telea(inputs, min_seconds):
    """Mean CPU time per dab in microseconds over whole walks lasting at least min_seconds."""
    dabs = 0
    start = time.process_time()
    while True:
        for window, mask in inputs:
            cv2.inpaint(window, mask, RADIUS, cv2.INPAINT_TELEA)
        dabs += len(inputs)
        elapsed = time.process_time() - start
        if elapsed >= min_seconds:
            return elapsed / dabs * 1e6


def time_wire_eraser(binary, min_seconds):
    """CPU time per dab in microseconds of BM_WireEraserDab, by Size."""
    output = subprocess.run(
        [binary, "--benchmark_filter=BM_WireEraserDab", "--benchmark_format=json",
         f"--benchmark_min_time={min_seconds}"],
        check=True, capture_output=True, text=True).stdout
    times = {}
    for run in json.loads(output)["benchmarks"]:
        size = int(run["name"].split("/")[1])
        scale = {"us": 1, "ns": 1e-3, "ms": 1e3}[run["time_unit"]]
        times[size] = run["cpu_time"] * scale
    return times


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build_dir", nargs="?", default=os.path.join(ROOT, "build"))
    parser.add_argument("--repetitions", type=int, default=15)
    parser.add_argument("--min-time", type=float, default=0.2, help="seconds per measurement")
    args = parser.parse_args()
    binary = os.path.join(args.build_dir, "bench", "quill_bench_wire_eraser")
    if not os.access(binary, os.X_OK):
        sys.exit(f"wire_eraser_vs_telea: {binary} not found; build the benchmarks first")

    photo = cv2.imread(PHOTO, cv2.IMREAD_COLOR)
    inputs = {size: telea_inputs(photo, size) for size in SIZES}
    cv2.setNumThreads(1)  # one thread, like the engine
    ours = {size: [] for size in SIZES}
    telea = {size: [] for size in SIZES}
    for _ in range(args.repetitions):
        for size, value in time_wire_eraser(binary, args.min_time).items():
            ours[size].append(value)
        for size in SIZES:
            telea[size].append(time_telea(inputs[size], args.min_time))

    print(f"median time per dab over {args.repetitions} repetitions (microseconds)")
    print(f"{'Size':>4} {'Wire Eraser':>12} {'Telea':>10} {'ratio':>7}")
    for size in SIZES:
        a, b = statistics.median(ours[size]), statistics.median(telea[size])
        print(f"{size:>4} {a:>12.2f} {b:>10.1f} {a / b:>7.3f}")


if __name__ == "__main__":
    main()
