#!/usr/bin/env bash
# Writes the seeds of the compressed target (fuzz/compressed_fuzzer.cpp) into
# fuzz/corpus/compressed/: a small log of two results, one of them cut at the
# targets' sizes, compressed with the zstd and gzip commands, in one unit and
# in several (a skippable zstd frame between two frames), each after the byte
# that chooses its format and without the signature the target puts back;
# one of each cut short and one of each followed by bytes that start no
# unit, one with a byte changed; and the same log as the target's own input
# for its library-compressed modes, once read a few bytes at a time, and a
# log past the bytes a decoded log keeps. Run it again only to renew the
# seeds: the fuzzer's findings are added beside them.
#
# usage: bash fuzz/compressed_seeds.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/fuzz/corpus/compressed"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

{
  printf 'TPC-H Query 16\n===\n'
  for i in $(seq 1 20); do printf 'Brand#%d|PROMO|%d\n' "$i" "$i"; done
  printf '(20 rows)\nTPC-H Query 3\n===\na|1\n(1 rows)\n'
} >"$work/log"
head -c 40 "$work/log" >"$work/head"
tail -c +41 "$work/log" >"$work/tail"

zstd -q -3 -c "$work/log" >"$work/log.zst"
gzip -6 -n -c "$work/log" >"$work/log.gz"
zstd -q -3 -c "$work/head" >"$work/head.zst"
zstd -q -3 -c "$work/tail" >"$work/tail.zst"
gzip -6 -n -c "$work/head" >"$work/head.gz"
gzip -6 -n -c "$work/tail" >"$work/tail.gz"
# A skippable frame: its magic number, a length of 4 and 4 bytes.
printf '\x50\x2a\x4d\x18\x04\x00\x00\x00skip' >"$work/skippable"

# seed NAME CHOOSER SIGNATURE_BYTES FILE...: the chooser byte, then the
# files' bytes joined, less the first SIGNATURE_BYTES.
seed() {
  local name="$1" chooser="$2" skip="$3"
  shift 3
  { printf "\\x$chooser"; cat "$@" | tail -c +$((skip + 1)); } >"$out/$name"
}
seed zstd_one_frame 00 4 "$work/log.zst"
seed zstd_frames_and_skippable 00 4 "$work/head.zst" "$work/skippable" "$work/tail.zst"
seed gzip_one_member 01 3 "$work/log.gz"
seed gzip_two_members 01 3 "$work/head.gz" "$work/tail.gz"
head -c -5 "$work/log.zst" >"$work/short.zst"
seed zstd_cut_short 00 4 "$work/short.zst"
head -c -5 "$work/log.gz" >"$work/short.gz"
seed gzip_cut_short 01 3 "$work/short.gz"
# The CRC's first byte changed.
size="$(stat -c %s "$work/log.gz")"
{ head -c $((size - 8)) "$work/log.gz"; printf '\x00'; tail -c 7 "$work/log.gz"; } >"$work/crc.gz"
seed gzip_crc_changed 01 3 "$work/crc.gz"
# Bytes after the last unit that start none: zeros, as a padded copy has,
# and a line of text.
{ cat "$work/log.gz"; printf '\0\0\0\0\0\0\0\0'; } >"$work/zeros.gz"
seed gzip_trailing_zeros 01 3 "$work/zeros.gz"
{ cat "$work/log.zst"; printf 'end of log\n'; } >"$work/text.zst"
seed zstd_trailing_text 00 4 "$work/text.zst"
{ printf '\x02'; cat "$work/log"; } >"$out/library_zstd"
{ printf '\x03'; cat "$work/log"; printf '\xf9' ; printf '3\n'; } >"$out/library_gzip_short_reads"
# A zstd frame that asks for a window of 256 MiB, more than is allowed: a
# header without a checksum or a size, its window descriptor, and one last
# raw block of 4 bytes.
{ printf '\x00\x00\x90\x21\x00\x00a|b\n'; } >"$out/zstd_window_256_mib"
# A single-segment frame whose content size, 256 MiB, is its window.
{ printf '\x00\xa0\x00\x00\x00\x10\x21\x00\x00a|b\n'; } >"$out/zstd_single_segment_256_mib"
# A zstd frame with a byte of its compressed block changed, which libzstd
# finds without saying where.
size="$(stat -c %s "$work/log.zst")"
{ head -c 40 "$work/log.zst"; printf '\xff'; tail -c $((size - 41)) "$work/log.zst"; } >"$work/changed.zst"
seed zstd_byte_changed 00 4 "$work/changed.zst"
# Logs past the 64 KiB a decoded log keeps in memory, read 100 bytes at a
# time (0xF9), so that the cut skips decoded rows and the second pass decodes
# from the top again: a result of 300 rows of 200 bytes, the log twice over
# (chooser bit 3), the gzip one's compressed bytes read 7 at a time (bits 4
# and 5).
big() {
  printf 'TPC-H Query 16\n===\nx|\n\xfd100\n\xff300\n(302 rows)\nTPC-H Query 3\n===\na|1\n\xf9100\n'
}
{ printf '\x0e'; big; } >"$out/library_zstd_past_kept_bytes"
{ printf '\x1f'; big; } >"$out/library_gzip_past_kept_bytes"
ls -l "$out"
