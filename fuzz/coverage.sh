#!/usr/bin/env bash
# Builds the fuzz targets with clang's source-based coverage into
# build-coverage/, runs each of them on its committed corpus (without
# libFuzzer: fuzz/replay_main.cpp), and prints the line and branch coverage
# of each file in script/tools/ that the targets run. The last two lines give
# the share of lines run in the scanner, the cutter, the sampler and the
# checker, and in decode/ (the compressed logs).
#
# usage: bash fuzz/coverage.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-coverage"
rm -rf "$build"
mkdir -p "$build/obj" "$build/profiles"

flags=(-std=c++20 -O0 -g -Wall -Wextra -Werror -ffp-contract=off -I "$root/script/tools"
  -I "$root/fuzz" -DSTREAMTRIM_HAVE_ST_MTIM -DSTREAMTRIM_HAVE_POSIX_FADVISE)

pids=()
compile() { # at most two compilers at a time
  clang++-14 "$@" &
  pids+=($!)
  if ((${#pids[@]} >= 2)); then
    wait "${pids[0]}"
    pids=("${pids[@]:1}")
  fi
}

echo "== building the targets with coverage in $build"
# The tool's code is measured; the harness's is not.
source "$root/fuzz/tool_sources.sh"
mapfile -t sources < <(tool_sources "$root")
for source in "${sources[@]}"; do
  compile "${flags[@]}" -fprofile-instr-generate -fcoverage-mapping \
    -c "$source" -o "$build/obj/tool_$(basename "$source" .cpp).o"
done
for source in fuzz_support cut_model replay_main cutter_fuzzer round_trip_fuzzer checker_fuzzer \
  compressed_fuzzer; do
  compile "${flags[@]}" -c "$root/fuzz/$source.cpp" -o "$build/obj/$source.o"
done
for pid in "${pids[@]}"; do
  wait "$pid"
done

# From an archive, only the files the targets use are linked and reported.
ar rcs "$build/libtool.a" "$build"/obj/tool_*.o
targets=(cutter round_trip checker compressed)
objects=()
for target in "${targets[@]}"; do
  clang++-14 -fprofile-instr-generate "$build/obj/fuzz_support.o" "$build/obj/cut_model.o" \
    "$build/obj/replay_main.o" "$build/obj/${target}_fuzzer.o" "$build/libtool.a" -lzstd -lz \
    -o "$build/$target"
  echo "== $target on fuzz/corpus/$target"
  LLVM_PROFILE_FILE="$build/profiles/$target.profraw" "$build/$target" \
    "$root/fuzz/corpus/$target" 2>/dev/null
  objects+=(-object "$build/$target")
done
llvm-profdata-14 merge -sparse "$build"/profiles/*.profraw -o "$build/coverage.profdata"

echo "== coverage of script/tools/ (file, lines, lines missed, line coverage, branches, missed, branch coverage)"
llvm-cov-14 report "${objects[@]:1}" -instr-profile="$build/coverage.profdata" \
  "$root/script/tools" >"$build/report.txt"
# Columns of llvm-cov's report: file, regions (3), functions (3), lines (3),
# branches (3); the files are named relative to script/tools/.
awk 'NR > 2 && NF == 13 && $1 !~ /^-/ && $1 != "TOTAL" {
  printf "%-40s %6s %6s %8s %6s %6s %8s\n", $1, $8, $9, $10, $11, $12, $13
}' "$build/report.txt" | sort
awk '
  $1 == "TOTAL" { printf "%-40s %6s %6s %8s %6s %6s %8s\n", $1, $8, $9, $10, $11, $12, $13 }
  $1 ~ /^([a-z_]+\/)?(scanner|result_cutter|sampler|verifier|cut_shape|original_log|cut_log_syntax|numbered_line_reader|problem_text|sample_replay)\.cpp$/ {
    lines += $8; missed += $9
  }
  $1 ~ /^decode\/.*\.cpp$/ { decodeLines += $8; decodeMissed += $9 }
  END {
    printf "coverage: %.1f%% of the lines of the scanner, cutter, sampler and checker\n",
      100 * (lines - missed) / lines
    printf "coverage: %.1f%% of the lines of decode/, the compressed logs\n",
      100 * (decodeLines - decodeMissed) / decodeLines
  }' "$build/report.txt"
