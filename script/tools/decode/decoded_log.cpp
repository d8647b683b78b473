#include "decode/decoded_log.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "decode/gzip_decoder.h"
#include "decode/zstd_decoder.h"
#include "system/failure.h"

namespace {

constexpr const CompressedFormat* kFormats[] = {&kZstdFormat, &kGzipFormat};

}  // namespace

const CompressedFormat* compressedFormatOf(std::string_view firstBytes) {
  for (const CompressedFormat* format : kFormats) {
    if (format->startsUnit(firstBytes))
      return format;
  }
  return nullptr;
}

void refuseCompressedOutputName(const std::string& output) {
  struct Suffix {
    std::string_view suffix;
    const char* command;
  };
  for (Suffix known : {Suffix{".gz", "gzip"}, Suffix{".zst", "zstd --rm"}}) {
    if (output.size() <= known.suffix.size())
      continue;
    std::string_view end = std::string_view(output).substr(output.size() - known.suffix.size());
    if (!std::equal(end.begin(), end.end(), known.suffix.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) == b;
        }))
      continue;
    throw Failure(output,
                  "a compressed file's name, but the cut log is written uncompressed; "
                  "name the output without " +
                      std::string(known.suffix) +
                      ", then compress it if you wish, for example with " + known.command);
  }
}

std::unique_ptr<InputFile> openLog(const std::string& path, Readable readable) {
  return decodedLog(openInputFile(path, readable));
}

std::unique_ptr<InputFile> decodedLog(std::unique_ptr<InputFile> source) {
  char first[4];
  const CompressedFormat* format = compressedFormatOf(firstBytesOf(*source, first, sizeof first));
  if (format == nullptr)
    return source;
  return std::make_unique<DecodedInputFile>(std::move(source), *format);
}

DecodedInputFile::DecodedInputFile(std::unique_ptr<InputFile> source,
                                   const CompressedFormat& format)
    : InputFile(source->path()), source_(std::move(source)), format_(format) {
  restart();
}

// The thread stops before the stream it reads goes.
DecodedInputFile::~DecodedInputFile() {
  ahead_.reset();
}

size_t DecodedInputFile::readAt(uint64_t offset, char* buffer, size_t size) const {
  if (size == 0)
    return 0;
  if (offset < position_) {
    if (offset < kept_.size()) {
      size_t count = std::min(size, kept_.size() - static_cast<size_t>(offset));
      std::memcpy(buffer, kept_.data() + offset, count);
      return count;
    }
    if (source_->isPipe())
      throw Failure(path(), "a compressed pipe cannot be read again at offset " +
                                std::to_string(offset) + " of its decoded bytes");
    restart();
  }
  // Bytes before offset are decoded and dropped: a plain stream has no other
  // way to them.
  for (;;) {
    size_t left = block_.size - blockUsed_;
    if (left == 0) {
      if (!nextBlock())
        return 0;
      continue;
    }
    if (position_ < offset) {
      size_t skipped = static_cast<size_t>(std::min<uint64_t>(left, offset - position_));
      keep(block_.data + blockUsed_, skipped);
      blockUsed_ += skipped;
      position_ += skipped;
      continue;
    }
    size_t count = std::min(size, left);
    std::memcpy(buffer, block_.data + blockUsed_, count);
    keep(buffer, count);
    blockUsed_ += count;
    position_ += count;
    return count;
  }
}

void DecodedInputFile::restart() const {
  ahead_.reset();
  stream_ = std::make_unique<CompressedStream>(*source_, format_);
  if (!source_->isPipe())
    ahead_ = std::make_unique<DecodeAhead>(*stream_);
  block_ = {};
  blockUsed_ = 0;
  position_ = 0;
}

bool DecodedInputFile::nextBlock() const {
  if (ahead_ != nullptr) {
    block_ = ahead_->next();
  } else {
    inline_.resize(DecodeAhead::kBlockBytes);
    size_t size = stream_->read(inline_.data(), inline_.size());
    block_ = {inline_.data(), size, stream_->compressedPosition()};
  }
  blockUsed_ = 0;
  return block_.size > 0;
}

void DecodedInputFile::keep(const char* bytes, size_t count) const {
  if (position_ == kept_.size() && position_ < kKeptBytes)
    kept_.append(bytes, std::min<uint64_t>(count, kKeptBytes - position_));
}
