#!/usr/bin/env bash
# The installation as a user meets it: `cmake --install` of the build BUILD_DIR into a
# temporary prefix, and with DESTDIR into /usr; the installed program started from
# another folder on a photo under a virtual screen (Xvfb), where it finds its language
# files (the demo list's caption comes from them) and its demos; and the plug-in
# tests' host (HOST_TESTS) loading the installed plug-in, which finds the installed
# configuration and starts the installed program.
#
#   check-install.sh BUILD_DIR HOST_TESTS
set -euo pipefail
build="$1"
host_tests="$2"
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../../scripts/virtual-screen.sh"
work="$(mktemp -d)"
quill_clean_up_on_exit "$work"
fail() {
  echo "check-install: $*" >&2
  exit 1
}

# Into a prefix.
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
program_file="$prefix/lib/quillmere/Quillmere"
for file in lib/quillmere/Quillmere lib/quillmere/Languages/English.ini lib/quillmere/Languages/German.ini \
    lib/quillmere/Images/astronaut-wire.png lib/quillmere/Images/WireEraser.dsc lib/quillmere/help/index.html \
    lib/quillmere/plugin/QuillmerePlugin.so share/icons/hicolor/scalable/apps/quillmere.svg \
    share/applications/quillmere.desktop etc/xdg/Norvane/Pictoria/Quillmere.conf; do
  [ -f "$prefix/$file" ] || fail "$file was not installed"
done
[ -L "$prefix/bin/Quillmere" ] && [ "$(readlink -f "$prefix/bin/Quillmere")" = "$(readlink -f "$program_file")" ] ||
  fail "bin/Quillmere is no link to the program"
grep -qxF "Path=$program_file" "$prefix/etc/xdg/Norvane/Pictoria/Quillmere.conf" ||
  fail "the plug-in's configuration does not name the installed program"
desktop-file-validate "$prefix/share/applications/quillmere.desktop" || fail "desktop-file-validate refused the entry"
grep -qxF "Exec=\"$prefix/bin/Quillmere\" %f" "$prefix/share/applications/quillmere.desktop" ||
  fail "the desktop entry does not start the installed program"

# With DESTDIR: the files land below it, their contents name the final places, and
# /usr's configuration goes to /etc/xdg.
DESTDIR="$work/dest" cmake --install "$build" --prefix /usr >/dev/null
grep -qxF "Path=/usr/lib/quillmere/Quillmere" "$work/dest/etc/xdg/Norvane/Pictoria/Quillmere.conf" ||
  fail "DESTDIR: the configuration is not in /etc/xdg or names another program"
[ "$(readlink "$work/dest/usr/bin/Quillmere")" = "../lib/quillmere/Quillmere" ] || fail "DESTDIR: no relative link"
[ -f "$work/dest/usr/lib/quillmere/help/index.html" ] || fail "DESTDIR: the help is missing"

# A virtual screen.
quill_virtual_screen "$work" 1280x800x24 || fail "Xvfb did not start"
export DISPLAY="$quill_display"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
export XDG_CONFIG_HOME="$work/config"
# In the sanitizer build, leaks of the desktop's libraries do not count as the program's.
export LSAN_OPTIONS="suppressions=$here/system-leaks.supp"
# The keyboard library that Qt's X connection uses reads past a string's end with
# strndup, which the strict string checks of the test command report; it is not ours.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:strict_string_checks=0"

# The program through its link, from another folder, on a photo named relative to it.
mkdir -p "$work/elsewhere"
cp "$prefix/lib/quillmere/Images/astronaut-wire.png" "$work/elsewhere/photo.png"
(cd "$work/elsewhere" && exec "$prefix/bin/Quillmere" photo.png) 2>"$work/program.err" &
quill_program=$!
closed="$(bash "$here/close-program.sh" '^Quillmere - photo\.png$' 60 demos)" || fail "the installed program showed no window on the photo: $(cat "$work/program.err")"
[ "$closed" = "closed the demo list" ] || fail "the installed program offered no demo list (languages or demos not found)"
status=0
wait "$quill_program" || status=$?
quill_program=""
[ "$status" -eq 0 ] || fail "the installed program ended with $status: $(cat "$work/program.err")"

# The plug-in tests' host with the installed plug-in, configuration and program.
output="$(QUILL_INSTALLED_PREFIX="$prefix" QUILL_WINDOW_CLOSER="bash '$here/close-program.sh' 'Plug-in' 60" \
  "$host_tests" --gtest_filter='FilterHostTest.TheInstalledPlugInStartsTheInstalledProgram' 2>&1)" ||
  fail "the host with the installed plug-in failed: $output"
grep -q "\[  PASSED  \] 1 test" <<<"$output" || fail "the host's test did not run: $output"
echo "installed, started and run as a plug-in from $prefix"
