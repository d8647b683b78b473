#include "decode/compressed_stream.h"

#include <algorithm>
#include <cstring>

#include "system/failure.h"

namespace {

// Compressed bytes asked of the file at a time: enough that a read costs
// little next to decoding it.
constexpr size_t kCompressedBlock = 256 * 1024;
// Where the bytes decoded again to find damage go.
constexpr size_t kSkipBlock = 128 * 1024;

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

CompressedStream::CompressedStream(const InputFile& source, const CompressedFormat& format)
    : source_(source), format_(format), decoder_(format.makeDecoder()), in_(kCompressedBlock) {}

size_t CompressedStream::read(char* out, size_t size) {
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
                        : locateDamage(source_, format_, unitStart_, callStart);
      failAt(at, "damaged " + std::string(format_.name) + " data", damage.what());
    } catch (const WindowTooLarge& large) {
      failWindow(large.window);
    }
    inBegin_ += step.consumed;
    if (step.unitEnded)
      inUnit_ = false;
    if (step.produced > 0)
      return step.produced;
    if (step.consumed == 0 && !step.unitEnded)
      throw Failure(source_.path(), "the " + std::string(format_.name) +
                                        " decoder stopped at offset " + std::to_string(callStart) +
                                        " of the compressed file");
  }
  return 0;
}

bool CompressedStream::refill() {
  if (inBegin_ > 0) {
    std::memmove(in_.data(), in_.data() + inBegin_, inEnd_ - inBegin_);
    inEnd_ -= inBegin_;
    inBegin_ = 0;
  }
  size_t got = source_.readAt(sourceRead_, in_.data() + inEnd_, in_.size() - inEnd_);
  sourceRead_ += got;
  inEnd_ += got;
  return got > 0;
}

// A unit after the first must start as one: anything else after the last
// unit (zeros, text, another format) is no part of the log.
void CompressedStream::beginUnit() {
  unitStart_ = compressedPosition();
  if (unitStart_ > 0) {
    while (inEnd_ - inBegin_ < format_.signatureSize && refill()) {
    }
    std::string_view start(in_.data() + inBegin_,
                           std::min(inEnd_ - inBegin_, format_.signatureSize));
    if (!format_.startsUnit(start)) {
      uint64_t size = source_.stamp().size;
      std::string count = size > unitStart_ ? bytesText(size - unitStart_) : "bytes";
      failAt(unitStart_, "trailing data",
             count + " after the last " + format_.name + " " + format_.unit + ", not a " +
                 format_.unit + "'s start");
    }
  }
  decoder_->startUnit();
  inUnit_ = true;
}

void CompressedStream::failAt(uint64_t offset, const std::string& what,
                              const std::string& detail) const {
  throw Failure(source_.path(), what + " at offset " + std::to_string(offset) +
                                    " of the compressed file (" + detail +
                                    "); the log cannot be read whole");
}

// zstd's own options name the memory a window needs: --long=N for 2^N
// bytes, --memory for any size.
void CompressedStream::failWindow(uint64_t window) const {
  int log = 0;
  while ((uint64_t{1} << log) < window && log < 63)
    ++log;
  uint64_t mib = (window + (uint64_t{1} << 20) - 1) >> 20;
  throw Failure(
      source_.path(),
      "a zstd frame at offset " + std::to_string(unitStart_) + " of the compressed file needs a " +
          windowText(window) + " window, more than the " + windowText(kMaxWindowBytes) +
          " allowed; unpack it first with unzstd --long=" + std::to_string(log) +
          " (or --memory=" + std::to_string(mib) + "MB) " + printableName(source_.path()));
}
