#!/usr/bin/env bash
# Waits until a window whose name matches PATTERN shows on DISPLAY and closes it as a
# user would, closing the demo list ("Demos") first whenever it shows and saying so
# ("closed the demo list"); exits 0 once the window has gone, 1 when it never showed
# or would not close within SECONDS. With a third argument "demos" the window is left
# alone until the demo list has shown and been closed: at a first start the program
# shows its window on the photo before the demo list comes up, and a close sent in
# between would race the list.
#
#   close-program.sh PATTERN SECONDS [demos]
set -u
pattern="$1"
deadline=$((SECONDS + $2))
here="$(dirname "$0")"
seen=0
demos_closed=1
[ "${3:-}" = "demos" ] && demos_closed=0
while [ "$SECONDS" -lt "$deadline" ]; do
  demo="$(xdotool search --name '^Demos$' 2>/dev/null | head -n1)"
  window="$(xdotool search --name "$pattern" 2>/dev/null | head -n1)"
  if [ -n "$demo" ]; then
    python3 "$here/close-window.py" "$demo"
    echo "closed the demo list"
    demos_closed=1
  elif [ -n "$window" ] && [ "$demos_closed" -eq 1 ]; then
    seen=1
    python3 "$here/close-window.py" "$window"
  elif [ "$seen" -eq 1 ]; then
    exit 0
  fi
  sleep 0.2
done
echo "close-program: no window \"$pattern\" closed within $2 seconds" >&2
exit 1
