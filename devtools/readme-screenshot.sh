#!/usr/bin/env bash
# Remakes docs/screenshot.png, the README's picture of Quillmere: the program built
# in build/, started on the bundled sample photograph on a virtual screen (Xvfb), the
# screen's picture cut to the program's window. No display or window manager of the
# user's is touched; the program's settings go to a folder of their own, so every
# picture shows the program as it first starts, once its demo list is closed.
#
#   devtools/readme-screenshot.sh [OUTPUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
output="${1:-docs/screenshot.png}"

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build --target Quillmere

. scripts/virtual-screen.sh
work="$(mktemp -d)"
quill_clean_up_on_exit "$work"

# -fbdir keeps the screen's pixels in an XWD file in the work folder; no pointer is
# drawn.
quill_virtual_screen "$work" 1280x860x24 -fbdir "$work" -nocursor
display=$quill_display

XDG_CONFIG_HOME="$work/config" DISPLAY="$display" \
  build/editor/Quillmere "$(pwd)/images/astronaut-wire.png" &
quill_program=$!
# Start-up takes well under a second. A first start offers the demo list: Esc closes it
# and the photo opens. The waits leave the windows time to be painted.
sleep 2
DISPLAY="$display" xdotool key Escape
sleep 2
python3 devtools/xwd-to-png.py "$work/Xvfb_screen0" "$output"
echo "Wrote $output"
