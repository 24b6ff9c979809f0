#!/usr/bin/env bash
# Fuzzes the parsers of untrusted input: fuzz/run.sh [-j JOBS] TARGET|all SECONDS
#
# Configures and builds the clang build (build-fuzz, QUILL_FUZZ=ON), seeds each target's
# corpus with generated small files and the project's real inputs (tests/data, images/,
# languages/), then runs each target for SECONDS in libFuzzer's fork mode, which goes on
# after a crash. One target uses JOBS worker processes; "all" runs up to JOBS targets at
# once with one worker each. JOBS defaults to 1: the machine is shared.
#
# Kept between runs: the corpus in build-fuzz/fuzz-corpus/TARGET/, the logs in
# build-fuzz/fuzz-logs/. Crash, timeout and out-of-memory inputs go to
# fuzz/crashes/TARGET/ (not committed); see fuzz/README.md for what to do with them.
# Prints one line per target: executions, coverage, corpus size and crash files.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=1
if [ "${1:-}" = "-j" ]; then
  jobs=$2
  shift 2
fi
if [ $# -ne 2 ] || ! [[ $2 =~ ^[0-9]+$ ]] || ! [[ $jobs =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: fuzz/run.sh [-j JOBS] TARGET|all SECONDS" >&2
  exit 2
fi
target=$1
seconds=$2

# The targets are the sources in fuzz/targets/.
all_targets=()
for source in fuzz/targets/*.cpp; do
  all_targets+=("$(basename "$source" .cpp)")
done
if [ "$target" = all ]; then
  targets=("${all_targets[@]}")
  workers=1
elif [ -f "fuzz/targets/$target.cpp" ]; then
  targets=("$target")
  workers=$jobs
else
  echo "run.sh: no target $target; targets: ${all_targets[*]}" >&2
  exit 2
fi

source scripts/setup.sh
quill_setup_fuzz

build=build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DQUILL_FUZZ=ON -DQUILL_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target quill-fuzz-seeds "${targets[@]/#/quill-fuzz-}"

# Seeds: the generated files, then the real inputs of the targets that read them.
seeds=$build/fuzz-seeds
rm -rf "$seeds"
"$build/fuzz/quill-fuzz-seeds" "$seeds"
copy_real() {  # copy_real TARGET FILE...
  local into=$seeds/$1 file
  shift
  mkdir -p "$into"
  for file in "$@"; do cp "$file" "$into/real-$(basename "$file")"; done
}
copy_real image tests/data/*.jpg images/*.png
copy_real describe tests/data/*.jpg images/*.png
copy_real jpeg tests/data/*.jpg
copy_real png images/*.png
copy_real language languages/*.ini
mkdir -p "$seeds/lossless_jpeg"
for file in tests/data/*.jpg; do  # after the control block of a plain resave
  { head -c 12 /dev/zero; cat "$file"; } >"$seeds/lossless_jpeg/real-$(basename "$file")"
done

mkdir -p "$build/fuzz-logs"
# fuzz_one TARGET: one fuzzing run; its log in build-fuzz/fuzz-logs/TARGET.log.
fuzz_one() {
  local name=$1
  local corpus=$build/fuzz-corpus/$name crashes=fuzz/crashes/$name scratch=$build/fuzz-tmp/$name
  # The open dialog's description and thumbnail must fit in 256 MB whatever the file:
  # the target measures the heap it holds (the process's size would count the
  # sanitizer's quarantine too), and no single allocation may come near that.
  local rss=2560 malloc=1024
  if [ "$name" = describe ]; then malloc=256; fi
  mkdir -p "$corpus" "$crashes" "$scratch"
  TMPDIR=$PWD/$scratch ASAN_OPTIONS=detect_leaks=1 \
    "$build/fuzz/quill-fuzz-$name" -fork="$workers" -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -timeout=10 -rss_limit_mb="$rss" -malloc_limit_mb="$malloc" -max_total_time="$seconds" -artifact_prefix="$crashes/" \
    "$corpus" "$seeds/$name" >"$build/fuzz-logs/$name.log" 2>&1 || true
  rm -rf "$scratch"
}

running=0
for name in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  echo "fuzzing $name for ${seconds}s"
  fuzz_one "$name" &
  running=$((running + 1))
done
wait

# The last status line of fork mode: "#EXECS: cov: C ft: F corp: N exec/s: E
# oom/timeout/crash: O/T/X time: Ss ...".
for name in "${targets[@]}"; do
  status=$(grep -E '^#[0-9]+: cov:' "$build/fuzz-logs/$name.log" | tail -n 1 || true)
  files=$(find "fuzz/crashes/$name" -type f | wc -l)
  echo "$name: ${status:-no status line, see $build/fuzz-logs/$name.log}; $files files in fuzz/crashes/$name"
done
