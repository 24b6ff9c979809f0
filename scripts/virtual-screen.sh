# Sourced by the scripts that run the program on a virtual screen (Xvfb), so that no
# display or window manager of the user's is touched. Defines:
#
#   quill_virtual_screen WORK GEOMETRY [XVFB_OPTION...]
#     starts Xvfb with one screen of GEOMETRY (such as 1280x800x24) on a free display
#     number, which it writes to WORK/display; sets quill_screen_pid to its process and
#     quill_display to the display (":N"). Status 1 when it does not come up within
#     five seconds.
#
#   quill_clean_up_on_exit WORK
#     when the script exits, for whatever reason, ends the program whose process the
#     script keeps in quill_program (when set) and the virtual screen (when started),
#     and removes the folder WORK.
quill_clean_up_on_exit() {
  quill_work="$1"
  quill_program=""
  quill_screen_pid=""
  trap quill_clean_up EXIT
}
quill_clean_up() {
  [ -n "${quill_program:-}" ] && kill "$quill_program" 2>/dev/null || true
  [ -n "${quill_screen_pid:-}" ] && kill "$quill_screen_pid" 2>/dev/null || true
  rm -rf "$quill_work"
}

quill_virtual_screen() {
  local work="$1" geometry="$2"
  shift 2
  # Xvfb picks the number and writes it to fd 3.
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp "$@" >/dev/null 2>&1 &
  quill_screen_pid=$!
  exec 3>&-
  local _
  for _ in $(seq 50); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  [ -s "$work/display" ] || return 1
  quill_display=":$(head -n1 "$work/display")"
}
