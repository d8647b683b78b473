// A gzip or zstd log read as the plain log it holds.
//
// Both programs open their logs here: a log whose first bytes are a zstd
// frame's (or a skippable frame's) or a gzip member's is decoded in the
// process on every read, so that a kept log is cut and checked without the
// room for its plain bytes on disk; any other file is returned as it is.
// The format is told by the signature, never by the name.
//
// Each pass of the tool opens the log afresh and decodes it from the start:
// a plain zstd or gzip file has no point to start decoding elsewhere. A read
// ahead decodes the bytes between and drops them; a read behind the position
// starts again from the top, except within the first kKeptBytes, which stay
// in memory for the refusals that read a log's first bytes. A pipe (the
// checker's) is decoded as it arrives and never read again.
//
// A damaged stream fails, it never ends early: a frame or member cut short,
// one the library rejects (a corrupted block, a checksum), or bytes after the
// last one that start none, each a Failure naming the file and the offset in
// the compressed file where the decoder found it. Its memory stays flat: the
// library's state, a zstd frame's window (at most kMaxWindowBytes, beyond
// which a frame is refused with the unzstd option that decodes it) and a
// few buffers.

#ifndef STREAMTRIM_DECODED_LOG_H
#define STREAMTRIM_DECODED_LOG_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "decode/compressed_stream.h"
#include "decode/decode_ahead.h"
#include "decode/stream_decoder.h"
#include "system/input_file.h"

// The format the first bytes of a file show it is in and both programs read
// directly, or null for any other file.
const CompressedFormat* compressedFormatOf(std::string_view firstBytes);

// Opens path as openInputFile does, then decodedLog(). Throws a Failure as
// openInputFile does.
std::unique_ptr<InputFile> openLog(const std::string& path,
                                   Readable readable = Readable::kRegularFile);

// source decoded when its first bytes show a format read directly; source
// itself otherwise. Throws a Failure when its first bytes cannot be read.
std::unique_ptr<InputFile> decodedLog(std::unique_ptr<InputFile> source);

// Throws a Failure naming output when its name ends in .gz or .zst (in any
// case): the cut log is written uncompressed, never plain text under a
// compressed name. The message tells how to compress it afterwards.
void refuseCompressedOutputName(const std::string& output);

class DecodedInputFile final : public InputFile {
 public:
  // The decoded bytes that stay in memory for a read at the start again.
  static constexpr size_t kKeptBytes = 64 * 1024;

  // Decodes source, which starts with a unit of format: a file a few blocks
  // ahead on a thread of its own (decode_ahead.h), a pipe as it is read.
  DecodedInputFile(std::unique_ptr<InputFile> source, const CompressedFormat& format);
  ~DecodedInputFile() override;

  // The compressed file's: a log changed between passes is a compressed file changed.
  FileStamp stamp() const override { return source_->stamp(); }

  // Reads the decoded bytes at offset. Throws a Failure naming the file and
  // the compressed offset for a damaged stream (compressed_stream.h), and
  // for an offset behind the position, beyond the kept bytes, on a pipe.
  size_t readAt(uint64_t offset, char* buffer, size_t size) const override;

  bool isPipe() const override { return source_->isPipe(); }

  // How much of the compressed file lies behind the bytes read.
  uint64_t storedOffset(uint64_t) const override { return block_.compressedEnd; }

  const CompressedFormat& format() const { return format_; }

  // How many decoded bytes have been read: the plain log's size, once read to the end.
  uint64_t decodedBytes() const { return position_; }

 private:
  void restart() const;
  bool nextBlock() const;  // false at the end
  void keep(const char* bytes, size_t count) const;

  std::unique_ptr<InputFile> source_;
  const CompressedFormat& format_;
  // Reading is decoding, as readAt on a file is reading.
  mutable std::unique_ptr<CompressedStream> stream_;
  mutable std::unique_ptr<DecodeAhead> ahead_;  // null for a pipe
  mutable std::vector<char> inline_;            // a pipe's block
  mutable DecodedBlock block_;                  // the bytes at and after position_ ...
  mutable size_t blockUsed_ = 0;                // ... are block_.data[blockUsed_, size)
  mutable uint64_t position_ = 0;               // the decoded offset of the next byte read
  mutable std::string kept_;  // the first min(position_, kKeptBytes) decoded bytes
};

#endif  // STREAMTRIM_DECODED_LOG_H
