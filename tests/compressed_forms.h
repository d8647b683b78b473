// Compressed forms of a log for the tests, made with the libraries' own
// encoders as the command-line tools make them.

#ifndef STREAMTRIM_TESTS_COMPRESSED_FORMS_H
#define STREAMTRIM_TESTS_COMPRESSED_FORMS_H

#include <zlib.h>
#include <zstd.h>

#include <stdexcept>
#include <string>

// One zstd frame of text, with its checksum as `zstd` writes it unless
// checksum is false.
inline std::string zstdOf(const std::string& text, int level = 3, bool checksum = true) {
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, level);
  ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, checksum ? 1 : 0);
  std::string frame(ZSTD_compressBound(text.size()), '\0');
  size_t size = ZSTD_compress2(context, frame.data(), frame.size(), text.data(), text.size());
  ZSTD_freeCCtx(context);
  if (ZSTD_isError(size))
    throw std::runtime_error(ZSTD_getErrorName(size));
  frame.resize(size);
  return frame;
}

// One gzip member of text, as `gzip -6` writes it.
inline std::string gzipOf(const std::string& text) {
  z_stream stream = {};
  if (deflateInit2(&stream, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  std::string member(deflateBound(&stream, static_cast<uLong>(text.size())) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(member.data());
  stream.avail_out = static_cast<uInt>(member.size());
  int result = deflate(&stream, Z_FINISH);
  member.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END)
    throw std::runtime_error("deflate");
  return member;
}

// A zstd skippable frame of size payload bytes, as pzstd writes one first.
inline std::string skippableFrame(uint32_t size) {
  std::string frame("\x50\x2a\x4d\x18", 4);
  for (int i = 0; i < 4; ++i)
    frame += static_cast<char>(size >> (8 * i) & 0xff);
  return frame + std::string(size, 'p');
}

#endif  // STREAMTRIM_TESTS_COMPRESSED_FORMS_H
