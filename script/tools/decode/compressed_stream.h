// A compressed file's units decoded one after another, front to back, as
// one run of plain bytes.
//
// A damaged stream fails, it never ends early: a unit cut short, one the
// library rejects (a corrupted block, a checksum), or bytes after the last
// unit that start none, each a Failure naming the file and the offset in
// the compressed file where the decoder found it.

#ifndef STREAMTRIM_COMPRESSED_STREAM_H
#define STREAMTRIM_COMPRESSED_STREAM_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "decode/stream_decoder.h"
#include "system/input_file.h"

class CompressedStream {
 public:
  // Decodes source, which starts with a unit of format, from its first
  // byte. source must outlive the stream; only the stream reads it.
  CompressedStream(const InputFile& source, const CompressedFormat& format);

  // Decodes the next bytes into out, REQUIRES size > 0; returns the count, 0
  // at the end. Throws a Failure naming the file and the compressed offset
  // for a damaged stream or a zstd window over kMaxWindowBytes (naming the
  // unzstd option that decodes it); std::bad_alloc without memory.
  size_t read(char* out, size_t size);

  // How far into the compressed file the decoder has taken its bytes.
  uint64_t compressedPosition() const { return sourceRead_ - (inEnd_ - inBegin_); }

 private:
  bool refill();
  void beginUnit();
  [[noreturn]] void failAt(uint64_t offset, const std::string& what,
                           const std::string& detail) const;
  [[noreturn]] void failWindow(uint64_t window) const;

  const InputFile& source_;
  const CompressedFormat& format_;
  std::unique_ptr<StreamDecoder> decoder_;
  std::vector<char> in_;  // compressed bytes read, in_[inBegin_, inEnd_) not yet decoded
  size_t inBegin_ = 0;
  size_t inEnd_ = 0;
  uint64_t sourceRead_ = 0;  // the compressed offset just past in_[inEnd_ - 1]
  uint64_t unitStart_ = 0;   // the compressed offset of the current unit's first byte
  bool inUnit_ = false;
  bool ended_ = false;
};

#endif  // STREAMTRIM_COMPRESSED_STREAM_H
