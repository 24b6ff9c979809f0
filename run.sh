#!/usr/bin/env bash
# Builds the wire-repair driver and runs it on the bundled sample photograph.
set -euo pipefail
cd "$(dirname "$0")"

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build --target quill-wire-repair
mkdir -p out
build/bench/quality/quill-wire-repair images/astronaut-wire.png images/astronaut-wire.dabs \
    out/astronaut-repaired.png
echo "The repaired picture was written to $(pwd)/out/astronaut-repaired.png"
