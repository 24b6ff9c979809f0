#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quillmere needs, skipping
# those already present; runs apt-get update only when something is missing.
#
# Takes no arguments and reads no environment. Run it (bash scripts/setup.sh) or
# source it; either way its status is 0 once every package is installed (and the
# de_DE.UTF-8 locale that the tests use is generated) and non-zero otherwise. Sourcing it defines the function quill_setup (the same check, to run
# again), quill_setup_fuzz (the same for what fuzz/run.sh needs besides: clang and
# its fuzzer runtime) and quill_setup_bench (the Python libraries that the comparison
# benchmarks time against: OpenCV, NumPy, Pillow; stress-ng and perf for measuring
# under load), and changes none of the caller's shell options or variables.
# Installing needs root.

quill_setup() {
  local packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
                  libpng-dev qt6-base-dev qt6-svg-dev libjpeg62-turbo-dev libtiff-dev zlib1g-dev libgif-dev
                  # The tools that check the image files the tests write.
                  libimage-exiftool-perl jpeginfo pngcheck libtiff-tools libjpeg-turbo-progs
                  # Renders the pages the print tests write to PDF.
                  poppler-utils
                  # Qt's own texts (dialog labels, message-box buttons) in the program's language.
                  qt6-translations-l10n
                  # A display server for looking at the running program without a screen,
                  # and keys typed into it (the README's screenshot closes the demo list).
                  xvfb xdotool
                  # devtools/quill-latency sends real input to the program (XTest) and reads
                  # the screen back (MIT-SHM).
                  libx11-dev libxext-dev libxtst-dev
                  # The program hands Qt's queued X requests (a painted frame) to the
                  # display before idle work runs.
                  libxcb1-dev
                  # The text tool's tests render with DejaVu Sans, the same on every machine.
                  fonts-dejavu-core
                  # xdg-open, through which Help and the About box's links open the help
                  # pages and web addresses in the desktop's browser.
                  xdg-utils
                  # A comma-decimal locale, in which the demo scripts' numbers are tested.
                  locales
                  # Checks the desktop entry that the installation writes.
                  desktop-file-utils)
  quill_install "${packages[@]}" && quill_locale de_DE UTF-8
}

# quill_locale LANGUAGE CHARSET: generates the locale LANGUAGE.CHARSET when it is missing.
quill_locale() {
  local name="$1.$2" normalised
  normalised="$1.$(printf '%s' "$2" | tr -d '-' | tr '[:upper:]' '[:lower:]')"
  if locale -a 2>/dev/null | grep -qxF -e "$name" -e "$normalised"; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing locale $name; run this script as root to generate it" >&2
    return 1
  fi
  echo "setup: generating the locale $name"
  localedef -i "$1" -f "$2" "$name"
}

quill_setup_fuzz() {
  quill_install clang libclang-rt-dev
}

quill_setup_bench() {
  # stress-ng keeps CPUs busy beside a measurement (quill-latency --stress); perf
  # shows where the time goes.
  quill_install python3-opencv python3-numpy python3-pil stress-ng linux-perf
}

# quill_install PACKAGE...: installs those of the packages that are missing.
quill_install() {
  local packages=("$@") missing=() package
  for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
  done
  if [ "${#missing[@]}" -eq 0 ]; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages: ${missing[*]}; run this script as root to install them" >&2
    return 1
  fi
  echo "setup: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get update -q || return 1
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" || return 1
}

quill_setup
