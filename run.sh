#!/usr/bin/env bash
# Builds Quillmere and starts it on the bundled sample photograph when there is a
# display (DISPLAY or WAYLAND_DISPLAY). Without one it says so, then builds the
# wire-repair driver and runs it on the sample photograph and its recorded strokes.
set -euo pipefail
cd "$(dirname "$0")"

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  cmake --build build --target Quillmere
  exec build/editor/Quillmere "$(pwd)/images/astronaut-wire.png"
fi

echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): running the wire-repair driver instead of the program."
cmake --build build --target quill-wire-repair
mkdir -p out
build/bench/quality/quill-wire-repair images/astronaut-wire.png images/astronaut-wire.dabs \
    out/astronaut-repaired.png
echo "The repaired picture was written to $(pwd)/out/astronaut-repaired.png"
