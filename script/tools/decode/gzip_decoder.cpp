#include "decode/gzip_decoder.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <new>

namespace {

// 16 + MAX_WBITS: a gzip member with its header and trailer, nothing else
// (not a bare zlib stream).
constexpr int kGzipWindowBits = 16 + MAX_WBITS;

class GzipDecoder final : public StreamDecoder {
 public:
  GzipDecoder() {
    if (inflateInit2(&stream_, kGzipWindowBits) != Z_OK)
      throw std::bad_alloc();
  }
  ~GzipDecoder() override { inflateEnd(&stream_); }
  GzipDecoder(const GzipDecoder&) = delete;
  GzipDecoder& operator=(const GzipDecoder&) = delete;

  void startUnit() override { inflateReset(&stream_); }

  DecodeStep decode(const char* in, size_t inSize, char* out, size_t outSize) override {
    // zlib counts in unsigned int, narrower than size_t on 64-bit systems.
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in));
    stream_.avail_in = static_cast<uInt>(std::min<size_t>(inSize, UINT_MAX));
    stream_.next_out = reinterpret_cast<Bytef*>(out);
    stream_.avail_out = static_cast<uInt>(std::min<size_t>(outSize, UINT_MAX));
    int result = inflate(&stream_, Z_NO_FLUSH);
    size_t consumed = static_cast<size_t>(reinterpret_cast<const char*>(stream_.next_in) - in);
    size_t produced = static_cast<size_t>(reinterpret_cast<char*>(stream_.next_out) - out);
    switch (result) {
      case Z_OK:
      case Z_BUF_ERROR:  // no progress possible now: the input is all taken
        return {consumed, produced, false};
      case Z_STREAM_END:
        return {consumed, produced, true};
      case Z_MEM_ERROR:
        throw std::bad_alloc();
      case Z_NEED_DICT:
        throw DamagedData("the member needs a preset dictionary", consumed);
      default:
        throw DamagedData(stream_.msg != nullptr ? stream_.msg : "invalid data", consumed);
    }
  }

 private:
  z_stream stream_ = {};
};

// The gzip magic number and the one method it defines, deflate.
bool startsGzipMember(std::string_view bytes) {
  return bytes.substr(0, 3) == "\x1f\x8b\x08";
}

std::unique_ptr<StreamDecoder> makeGzipDecoder() {
  return std::make_unique<GzipDecoder>();
}

}  // namespace

const CompressedFormat kGzipFormat = {"gzip",      "member",         3,
                                      "gunzip -k", startsGzipMember, makeGzipDecoder};
