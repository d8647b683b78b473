// decode/: the compressed logs both programs read directly, gzip and zstd:
// which format a log's first bytes show (decoded_log.h), the log decoded in
// the process behind the InputFile interface, and one decoder per format
// (gzip_decoder.h, zstd_decoder.h, on zlib and libzstd); it builds on
// system/ only.
//
// One compressed format and its decoder. A compressed log is a run of units
// (zstd frames, skippable ones included, or gzip members), each decoded on
// its own and their output joined, as `zstd -dc` and `gzip -dc` join them.

#ifndef STREAMTRIM_STREAM_DECODER_H
#define STREAMTRIM_STREAM_DECODER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// What one call of StreamDecoder::decode did.
struct DecodeStep {
  size_t consumed = 0;     // compressed bytes taken from the input
  size_t produced = 0;     // decoded bytes written to the output
  bool unitEnded = false;  // the unit's last byte was taken and its output all written
};

// Thrown by decode() for data the format's decoder rejects: a corrupted
// block, a checksum that does not match. reason is the library's words.
struct DamagedData : std::runtime_error {
  // consumed: how many bytes of the call's input the decoder had taken when
  // it found the damage, where the library tells it; unknown otherwise.
  DamagedData(const std::string& reason, std::optional<size_t> consumed)
      : std::runtime_error(reason), consumedBeforeDamage(consumed) {}
  std::optional<size_t> consumedBeforeDamage;
};

// Thrown by decode() for a zstd frame whose window exceeds kMaxWindowBytes:
// decoding it would take that much memory.
struct WindowTooLarge : std::runtime_error {
  explicit WindowTooLarge(uint64_t bytes) : std::runtime_error("window too large"), window(bytes) {}
  uint64_t window;  // the frame's window, in bytes
};

// The most memory a frame's window may take, zstd's own default limit.
inline constexpr uint64_t kMaxWindowBytes = uint64_t{1} << 27;

class StreamDecoder {
 public:
  virtual ~StreamDecoder() = default;

  // Makes ready for a unit's first byte, forgetting the unit before.
  virtual void startUnit() = 0;

  // Decodes from in into out as far as either allows, never past the end of
  // the unit. REQUIRES outSize > 0. Returns what it did; it takes input or
  // writes output unless in is empty and the unit's output is all written.
  // Throws DamagedData or WindowTooLarge; std::bad_alloc when the library
  // cannot get its memory.
  virtual DecodeStep decode(const char* in, size_t inSize, char* out, size_t outSize) = 0;
};

struct CompressedFormat {
  const char* name;           // as messages name it: "zstd", "gzip"
  const char* unit;           // what it is a run of: "frame", "member"
  size_t signatureSize;       // bytes startsUnit needs
  const char* unpackCommand;  // that unpacks a file named after it, keeping it
  // Whether bytes (signatureSize of them, or fewer at the file's end) start a unit.
  bool (*startsUnit)(std::string_view bytes);
  std::unique_ptr<StreamDecoder> (*makeDecoder)();
};

#endif  // STREAMTRIM_STREAM_DECODER_H
