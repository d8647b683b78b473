#!/usr/bin/env bash
# Builds the fuzz targets with clang++-14 (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) into build-fuzz/ and runs each of them for
# SECONDS (default 60), one after the other, on a scratch copy of its seed
# corpus, so that the inputs the fuzzer adds never touch the committed seeds.
# libFuzzer's final statistics are printed for each. Exits non-zero when a
# target finds anything; the input that caused it is left in
# build-fuzz/artifacts/, named after the target.
#
# usage: bash fuzz/run.sh [SECONDS [TARGET...]]
#   SECONDS: 0 builds the targets only
#   TARGET: cutter, round_trip, checker or compressed (all four by default)
set -euo pipefail
seconds="${1:-60}"
shift || true
targets=("$@")
((${#targets[@]} > 0)) || targets=(cutter round_trip checker compressed)
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
rm -rf "$build/obj" "$build/artifacts"
mkdir -p "$build/obj" "$build/artifacts"

# -ffp-contract=off as in the main build: the row sample depends on it.
flags=(-std=c++20 -O1 -g -Wall -Wextra -Werror -ffp-contract=off -fno-omit-frame-pointer
  -fno-sanitize-recover=all -I "$root/script/tools" -I "$root/fuzz"
  -DSTREAMTRIM_HAVE_ST_MTIM -DSTREAMTRIM_HAVE_POSIX_FADVISE)

pids=()
compile() { # at most two compilers at a time
  clang++-14 "$@" &
  pids+=($!)
  if ((${#pids[@]} >= 2)); then
    wait "${pids[0]}"
    pids=("${pids[@]:1}")
  fi
}

echo "== building ${targets[*]} in $build"
# Only the tool's code carries coverage instrumentation: the harness's own
# branches would lead the fuzzer nowhere and slow every run down. Nor are
# its comparisons traced: that took a third of the time, and the
# dictionaries hold the values the tool compares with. (Its memcmp calls,
# which libFuzzer intercepts, still feed the mutations.)
source "$root/fuzz/tool_sources.sh"
mapfile -t sources < <(tool_sources "$root")
for source in "${sources[@]}"; do
  compile "${flags[@]}" -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-coverage=trace-cmp \
    -fsanitize-coverage-ignorelist="$root/fuzz/coverage_ignore.txt" \
    -c "$source" -o "$build/obj/tool_$(basename "$source" .cpp).o"
done
for source in fuzz_support cut_model cutter_fuzzer round_trip_fuzzer checker_fuzzer compressed_fuzzer; do
  compile "${flags[@]}" -O2 -fsanitize=address,undefined \
    -c "$root/fuzz/$source.cpp" -o "$build/obj/$source.o"
done
for pid in "${pids[@]}"; do
  wait "$pid"
done
for target in "${targets[@]}"; do
  clang++-14 -fsanitize=fuzzer,address,undefined "$build"/obj/tool_*.o \
    "$build/obj/fuzz_support.o" "$build/obj/cut_model.o" "$build/obj/${target}_fuzzer.o" \
    -lzstd -lz -o "$build/${target}_fuzzer"
done

((seconds > 0)) || exit 0

# Each input is small: a few bytes expand to logs of hundreds of lines, and
# the checker's raw cut logs need no more than a few kB.
status=0
for target in "${targets[@]}"; do
  rm -rf "$build/corpus/$target"
  mkdir -p "$build/corpus"
  cp -r "$root/fuzz/corpus/$target" "$build/corpus/$target"
  echo "== fuzzing $target for ${seconds}s"
  if ! "$build/${target}_fuzzer" -max_total_time="$seconds" -dict="$root/fuzz/$target.dict" \
    -max_len=4096 -timeout=60 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$target-" "$build/corpus/$target"; then
    echo "== $target: a finding, left in $build/artifacts/"
    status=1
  fi
done
exit "$status"
