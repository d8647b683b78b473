// zstd logs, decoded with libzstd: every frame of a file (several, as pzstd
// and `cat a.zst b.zst` write, and skippable frames), each frame's checksum
// checked where it has one, its window at most kMaxWindowBytes.

#ifndef STREAMTRIM_ZSTD_DECODER_H
#define STREAMTRIM_ZSTD_DECODER_H

#include "decode/stream_decoder.h"

extern const CompressedFormat kZstdFormat;

#endif  // STREAMTRIM_ZSTD_DECODER_H
