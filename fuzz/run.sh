#!/usr/bin/env bash
# Builds the fuzz target with clang++-14 (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) into build-fuzz/ and runs it for SECONDS
# (default 90) on a scratch copy of the seed corpus, so that the inputs the
# fuzzer adds never touch the committed seeds. Exits non-zero on a finding;
# the input that caused it is left in build-fuzz/artifacts/.
#
# usage: bash fuzz/run.sh [SECONDS]
set -euo pipefail
seconds="${1:-90}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
rm -rf "$build/obj" "$build/artifacts"
mkdir -p "$build/obj" "$build/artifacts"

# -ffp-contract=off as in the main build: the row sample depends on it.
flags=(-std=c++20 -O1 -g -Wall -Wextra -ffp-contract=off -fno-omit-frame-pointer
  -fno-sanitize-recover=all -I "$root/script/tools")

echo "== building $build/streamtrim_fuzzer"
# Only the tool's code carries coverage instrumentation: the harness's own
# branches would lead the fuzzer nowhere and slow every run down.
pids=()
for source in "$root"/script/tools/*.cpp; do
  case "$(basename "$source")" in driver.cpp | verify_driver.cpp) continue ;; esac
  clang++-14 "${flags[@]}" -fsanitize=fuzzer-no-link,address,undefined \
    -fsanitize-coverage-ignorelist="$root/fuzz/coverage_ignore.txt" \
    -c "$source" -o "$build/obj/$(basename "$source" .cpp).o" &
  pids+=($!)
  if ((${#pids[@]} >= 2)); then
    wait "${pids[0]}"
    pids=("${pids[@]:1}")
  fi
done
clang++-14 "${flags[@]}" -O2 -fsanitize=address,undefined \
  -c "$root/fuzz/streamtrim_fuzzer.cpp" -o "$build/obj/streamtrim_fuzzer.o"
for pid in "${pids[@]}"; do
  wait "$pid"
done
clang++-14 -fsanitize=fuzzer,address,undefined "$build"/obj/*.o -o "$build/streamtrim_fuzzer"

rm -rf "$build/corpus"
cp -r "$root/fuzz/corpus" "$build/corpus"

echo "== fuzzing for ${seconds}s"
"$build/streamtrim_fuzzer" -max_total_time="$seconds" -dict="$root/fuzz/dict" \
  -max_len=4096 -timeout=60 -print_final_stats=1 \
  -artifact_prefix="$build/artifacts/" "$build/corpus"
