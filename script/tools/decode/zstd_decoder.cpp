#include "decode/zstd_decoder.h"

#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr int kMaxWindowLog = 27;
static_assert(kMaxWindowBytes == uint64_t{1} << kMaxWindowLog);
// A frame header's most bytes: magic, descriptor, window, dictionary ID, content size.
constexpr size_t kMostHeaderBytes = 4 + 1 + 1 + 4 + 8;

// The window a frame's header asks for, read as the format defines it (the
// library tells it only through its unstable interface): the window
// descriptor's 2^(10 + exponent) plus eighths, or for a single-segment frame
// its content size. 0 when the header is not all there.
uint64_t windowOf(std::string_view header) {
  if (header.size() < 5)
    return 0;
  auto byte = [&](size_t i) { return static_cast<unsigned char>(header[i]); };
  unsigned descriptor = byte(4);
  bool singleSegment = (descriptor >> 5) & 1;
  size_t at = 5;
  if (!singleSegment) {
    if (header.size() <= at)
      return 0;
    unsigned exponent = byte(at) >> 3, mantissa = byte(at) & 7;
    uint64_t base = uint64_t{1} << (10 + exponent);
    return base + base / 8 * mantissa;
  }
  constexpr size_t kDictionaryBytes[] = {0, 1, 2, 4};
  constexpr size_t kSizeBytes[] = {1, 2, 4, 8};  // with the single-segment flag set
  at += kDictionaryBytes[descriptor & 3];
  size_t sizeBytes = kSizeBytes[descriptor >> 6];
  if (header.size() < at + sizeBytes)
    return 0;
  uint64_t size = 0;
  for (size_t i = sizeBytes; i-- > 0;)
    size = size << 8 | byte(at + i);
  return sizeBytes == 2 ? size + 256 : size;
}

class ZstdDecoder final : public StreamDecoder {
 public:
  ZstdDecoder() : context_(ZSTD_createDCtx()) {
    if (context_ == nullptr ||
        ZSTD_isError(ZSTD_DCtx_setParameter(context_, ZSTD_d_windowLogMax, kMaxWindowLog))) {
      ZSTD_freeDCtx(context_);
      throw std::bad_alloc();
    }
  }
  ~ZstdDecoder() override { ZSTD_freeDCtx(context_); }
  ZstdDecoder(const ZstdDecoder&) = delete;
  ZstdDecoder& operator=(const ZstdDecoder&) = delete;

  void startUnit() override {
    ZSTD_DCtx_reset(context_, ZSTD_reset_session_only);
    headerSize_ = 0;
  }

  DecodeStep decode(const char* in, size_t inSize, char* out, size_t outSize) override {
    keepHeader(in, inSize);
    ZSTD_inBuffer input = {in, inSize, 0};
    ZSTD_outBuffer output = {out, outSize, 0};
    size_t result = ZSTD_decompressStream(context_, &output, &input);
    if (ZSTD_isError(result))
      fail(result);
    return {input.pos, output.pos, result == 0};
  }

 private:
  // The frame's first bytes, to tell its window when it is too large: the
  // library only says that it is.
  void keepHeader(const char* in, size_t inSize) {
    size_t count = std::min(inSize, sizeof header_ - headerSize_);
    std::memcpy(header_ + headerSize_, in, count);
    headerSize_ += count;
  }

  // libzstd does not tell how far into the call's input the damage lay.
  [[noreturn]] void fail(size_t error) const {
    if (ZSTD_getErrorCode(error) == ZSTD_error_frameParameter_windowTooLarge) {
      if (uint64_t window = windowOf(std::string_view(header_, headerSize_)); window > 0)
        throw WindowTooLarge(window);
    }
    throw DamagedData(ZSTD_getErrorName(error), std::nullopt);
  }

  ZSTD_DCtx* context_;
  char header_[kMostHeaderBytes];
  size_t headerSize_ = 0;
};

// A frame's magic number, or a skippable frame's (0x184D2A50 to 0x184D2A5F),
// little-endian.
bool startsZstdFrame(std::string_view bytes) {
  if (bytes.size() < 4)
    return false;
  auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  bool skippable =
      (byte(0) & 0xF0) == 0x50 && byte(1) == 0x2A && byte(2) == 0x4D && byte(3) == 0x18;
  return skippable || bytes.substr(0, 4) == "\x28\xb5\x2f\xfd";
}

std::unique_ptr<StreamDecoder> makeZstdDecoder() {
  return std::make_unique<ZstdDecoder>();
}

}  // namespace

const CompressedFormat kZstdFormat = {"zstd",   "frame",         4,
                                      "unzstd", startsZstdFrame, makeZstdDecoder};
