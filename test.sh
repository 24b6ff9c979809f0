#!/usr/bin/env bash
# Builds Quillmere and runs the whole test suite twice: a release build, then a debug
# build under AddressSanitizer and UndefinedBehaviorSanitizer. Installs what the build
# needs first. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"

bash scripts/setup.sh

# build_and_test FOLDER CMAKE-OPTIONS...: configure, build and run every test.
build_and_test() {
  local folder=$1
  shift
  cmake -S . -B "$folder" -G Ninja "$@"
  cmake --build "$folder"
  ctest --test-dir "$folder" --output-on-failure -j "$(nproc)"
}

echo "== Release build =="
build_and_test build -DCMAKE_BUILD_TYPE=Release

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build =="
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:strict_string_checks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
build_and_test build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILL_SANITIZE=ON -DQUILL_BENCHMARKS=OFF
