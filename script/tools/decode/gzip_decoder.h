// gzip logs, decoded with zlib: every member of a file (several, as
// `cat a.gz b.gz`, pigz and bgzip write), each member's CRC and length
// checked.

#ifndef STREAMTRIM_GZIP_DECODER_H
#define STREAMTRIM_GZIP_DECODER_H

#include "decode/stream_decoder.h"

extern const CompressedFormat kGzipFormat;

#endif  // STREAMTRIM_GZIP_DECODER_H
