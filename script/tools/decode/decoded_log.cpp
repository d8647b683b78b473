#include "decode/decoded_log.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "decode/gzip_decoder.h"
#include "decode/zstd_decoder.h"
#include "system/failure.h"

namespace {

// Compressed bytes asked of the file at a time: enough that a read costs
// little next to decoding it.
constexpr size_t kCompressedBlock = 256 * 1024;
// Where skipped bytes are decoded to.
constexpr size_t kSkipBlock = 128 * 1024;

constexpr const CompressedFormat* kFormats[] = {&kZstdFormat, &kGzipFormat};

// "1 byte", "2 bytes": the count and its noun.
std::string bytesText(uint64_t count) {
  return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

// "2 GiB", "130 MiB": a window rounded up to a whole MiB.
std::string windowText(uint64_t bytes) {
  uint64_t mib = (bytes + (uint64_t{1} << 20) - 1) >> 20;
  if (mib % 1024 == 0)
    return std::to_string(mib / 1024) + " GiB";
  return std::to_string(mib) + " MiB";
}

// Decodes the unit again with a decoder of its own, up to callStart as
// before, then a byte at a time: the byte that makes it fail is where the
// damage was found. A pipe cannot be read again: callStart is all it tells.
uint64_t locateDamage(const InputFile& source, const CompressedFormat& format, uint64_t unitStart,
                      uint64_t callStart) {
  if (source.isPipe())
    return callStart;
  std::unique_ptr<StreamDecoder> decoder = format.makeDecoder();
  decoder->startUnit();
  std::vector<char> in(kCompressedBlock), out(kSkipBlock);
  uint64_t offset = unitStart;
  try {
    while (offset < callStart + in.size()) {
      size_t want = offset < callStart ? std::min<uint64_t>(in.size(), callStart - offset) : 1;
      size_t got = source.readAt(offset, in.data(), want);
      if (got == 0)
        break;
      for (size_t taken = 0; taken < got;) {
        DecodeStep step = decoder->decode(in.data() + taken, got - taken, out.data(), out.size());
        taken += step.consumed;
        if (step.unitEnded || (step.consumed == 0 && step.produced == 0))
          return callStart;
      }
      offset += got;
    }
  } catch (const DamagedData&) {
    return offset;
  }
  return callStart;
}

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
  size_t got = 0;
  // A pipe may deliver its first bytes one read at a time.
  for (size_t count = 1; got < sizeof first && count > 0; got += count)
    count = source->readAt(got, first + got, sizeof first - got);
  const CompressedFormat* format = compressedFormatOf(std::string_view(first, got));
  if (format == nullptr)
    return source;
  return std::make_unique<DecodedInputFile>(std::move(source), *format);
}

DecodedInputFile::DecodedInputFile(std::unique_ptr<InputFile> source,
                                   const CompressedFormat& format)
    : InputFile(source->path()),
      source_(std::move(source)),
      format_(format),
      decoder_(format.makeDecoder()),
      in_(kCompressedBlock) {}

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
  skipTo(offset);
  return offset == position_ ? decodeSome(buffer, size) : 0;
}

void DecodedInputFile::skipTo(uint64_t offset) const {
  std::vector<char> scratch;
  while (position_ < offset) {
    if (scratch.empty())
      scratch.resize(kSkipBlock);
    size_t wanted = static_cast<size_t>(std::min<uint64_t>(offset - position_, scratch.size()));
    if (decodeSome(scratch.data(), wanted) == 0)
      return;
  }
}

void DecodedInputFile::restart() const {
  decoder_ = format_.makeDecoder();
  inBegin_ = inEnd_ = 0;
  sourceRead_ = unitStart_ = position_ = 0;
  inUnit_ = ended_ = false;
}

size_t DecodedInputFile::decodeSome(char* out, size_t size) const {
  while (!ended_) {
    if (inBegin_ == inEnd_ && !refill()) {
      if (inUnit_)
        failAt(sourceRead_, "cut short",
               "the file ends inside a " + std::string(format_.name) + " " + format_.unit);
      ended_ = true;
      break;
    }
    if (!inUnit_)
      beginUnit();
    uint64_t callStart = compressedPosition();
    DecodeStep step;
    try {
      step = decoder_->decode(in_.data() + inBegin_, inEnd_ - inBegin_, out, size);
    } catch (const DamagedData& damage) {
      uint64_t at = damage.consumedBeforeDamage
                        ? callStart + *damage.consumedBeforeDamage
                        : locateDamage(*source_, format_, unitStart_, callStart);
      failAt(at, "damaged " + std::string(format_.name) + " data", damage.what());
    } catch (const WindowTooLarge& large) {
      failWindow(large.window);
    }
    inBegin_ += step.consumed;
    if (step.unitEnded)
      inUnit_ = false;
    if (step.produced > 0) {
      keep(out, step.produced);
      position_ += step.produced;
      return step.produced;
    }
    if (step.consumed == 0 && !step.unitEnded)
      throw Failure(path(), "the " + std::string(format_.name) + " decoder stopped at offset " +
                                std::to_string(callStart) + " of the compressed file");
  }
  return 0;
}

void DecodedInputFile::keep(const char* bytes, size_t count) const {
  if (position_ == kept_.size() && position_ < kKeptBytes)
    kept_.append(bytes, std::min<uint64_t>(count, kKeptBytes - position_));
}

bool DecodedInputFile::refill() const {
  if (inBegin_ > 0) {
    std::memmove(in_.data(), in_.data() + inBegin_, inEnd_ - inBegin_);
    inEnd_ -= inBegin_;
    inBegin_ = 0;
  }
  size_t got = source_->readAt(sourceRead_, in_.data() + inEnd_, in_.size() - inEnd_);
  sourceRead_ += got;
  inEnd_ += got;
  return got > 0;
}

// A unit after the first must start as one: anything else after the last
// unit (zeros, text, another format) is no part of the log.
void DecodedInputFile::beginUnit() const {
  unitStart_ = compressedPosition();
  if (unitStart_ > 0) {
    while (inEnd_ - inBegin_ < format_.signatureSize && refill()) {
    }
    std::string_view start(in_.data() + inBegin_,
                           std::min(inEnd_ - inBegin_, format_.signatureSize));
    if (!format_.startsUnit(start)) {
      uint64_t size = source_->stamp().size;
      std::string count = size > unitStart_ ? bytesText(size - unitStart_) : "bytes";
      failAt(unitStart_, "trailing data",
             count + " after the last " + format_.name + " " + format_.unit + ", not a " +
                 format_.unit + "'s start");
    }
  }
  decoder_->startUnit();
  inUnit_ = true;
}

void DecodedInputFile::failAt(uint64_t offset, const std::string& what,
                              const std::string& detail) const {
  throw Failure(path(), what + " at offset " + std::to_string(offset) +
                            " of the compressed file (" + detail +
                            "); the log cannot be read whole");
}

// zstd's own options name the memory a window needs: --long=N for 2^N
// bytes, --memory for any size.
void DecodedInputFile::failWindow(uint64_t window) const {
  int log = 0;
  while ((uint64_t{1} << log) < window && log < 63)
    ++log;
  uint64_t mib = (window + (uint64_t{1} << 20) - 1) >> 20;
  throw Failure(path(), "a zstd frame at offset " + std::to_string(unitStart_) +
                            " of the compressed file needs a " + windowText(window) +
                            " window, more than the " + windowText(kMaxWindowBytes) +
                            " allowed; unpack it first with unzstd --long=" + std::to_string(log) +
                            " (or --memory=" + std::to_string(mib) + "MB) " +
                            printableName(path()));
}
