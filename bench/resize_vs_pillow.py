#!/usr/bin/python3
"""Times the resize tool's resize to half against Pillow's LANCZOS resize.

    /usr/bin/python3 bench/resize_vs_pillow.py [BUILD_DIR] [--repetitions N]

Runs BM_ResizeToolToHalf of build/bench/quill_bench_geometry (the sample portrait
enlarged to 6000 x 4000, resized to 3000 x 2000 as the resize tool does it, with the
images before kept for undo) and, in turns with it, Pillow's Image.resize((3000,
2000), Image.LANCZOS) of the same portrait enlarged to 6000 x 4000 as RGB. Prints the
median CPU time of both over the repetitions and their ratio. Both run on one core.
With --pillow-only PHOTO it times Pillow alone, once, on PHOTO, in wall-clock time
like the program's own resize that devtools/quill-latency times beside it (on a busy
machine CPU time would leave out the waits the program's figure includes).

Needs Debian's python3-pil (quill_setup_bench in scripts/setup.sh installs it).
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import time

try:
    from PIL import Image
except ImportError:
    sys.exit("resize_vs_pillow: needs python3-pil (apt-get install python3-pil)")

HERE = os.path.dirname(os.path.abspath(__file__))
PHOTO = os.path.join(HERE, "..", "images", "astronaut.png")


def quill_milliseconds(build_dir):
    output = subprocess.run(
        [os.path.join(build_dir, "bench", "quill_bench_geometry"),
         "--benchmark_filter=BM_ResizeToolToHalf", "--benchmark_format=json"],
        check=True, capture_output=True, text=True).stdout
    runs = json.loads(output)["benchmarks"]
    return runs[0]["cpu_time"]  # milliseconds per iteration


def pillow_milliseconds(large, iterations=5):
    start = time.process_time()
    for _ in range(iterations):
        large.resize((3000, 2000), Image.LANCZOS)
    return (time.process_time() - start) * 1000 / iterations


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir", nargs="?", default=os.path.join(HERE, "..", "build"))
    parser.add_argument("--repetitions", type=int, default=3)
    parser.add_argument("--pillow-only", metavar="PHOTO",
                        help="time Pillow alone resizing PHOTO to half once and print the CPU milliseconds")
    args = parser.parse_args()
    if args.pillow_only:
        photo = Image.open(args.pillow_only).convert("RGB")
        start = time.perf_counter()
        photo.resize((photo.width // 2, photo.height // 2), Image.LANCZOS)
        print(f"{(time.perf_counter() - start) * 1000:.1f}")
        return
    large = Image.open(PHOTO).convert("RGB").resize((6000, 4000), Image.LANCZOS)
    quill, pillow = [], []
    for _ in range(args.repetitions):
        quill.append(quill_milliseconds(args.build_dir))
        pillow.append(pillow_milliseconds(large))
    q, p = statistics.median(quill), statistics.median(pillow)
    print(f"resize tool to half: {q:.1f} ms CPU")
    print(f"Pillow LANCZOS:      {p:.1f} ms CPU")
    print(f"ratio:               {q / p:.2f}")


if __name__ == "__main__":
    main()
