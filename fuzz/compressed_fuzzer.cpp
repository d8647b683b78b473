// Fuzz target of the compressed logs: bytes behind a zstd or gzip signature
// are read through decodedLog (decode/decoded_log.h) and cut, and the cut
// must be the cut of the plain bytes the library itself decodes from them,
// or the run must fail with one Failure of one line.
//
// The input's first byte chooses what follows it (its value modulo 4):
//   0: a zstd frame's magic number, then the rest of the input as it is;
//   1: a gzip member's magic number and method, then the rest as it is;
//   2: the rest taken as a log (fuzz_support.h, its directives too),
//      compressed here with zstd in two frames, the second at a third of
//      the log;
//   3: the same, with gzip in two members.
// The seeds of 0 and 1 are real compressed logs, whose bytes the fuzzer
// changes; 2 and 3 reach large valid streams, read back a few bytes at a
// time with a 0xF9 directive.
//
// Each input runs twice through the tool: trimLog, the program's own run
// with its refusals, the log opened afresh for each pass and the program's
// cut sizes; and the cutter's two passes over one decoded log with the
// targets' small sizes (fuzz_support.h), so that a cut skips rows and the
// second pass starts the decoding again from the top.

#include <zlib.h>
#include <zstd.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "decode/decoded_log.h"
#include "fuzz_support.h"
#include "run/progress.h"
#include "system/failure.h"
#include "trim_run.h"

namespace {

// Decoded logs larger than this are left alone: a few bytes of an RLE block
// stand for hundreds of kilobytes, and a log in memory gains nothing from
// them but time.
constexpr size_t kMaxDecodedBytes = size_t{1} << 18;

enum class Decoded { kWhole, kDamaged, kTooLarge };

// Every zstd frame in turn, as `zstd -dc` reads them, by the library's
// streaming interface with its default window limit, the tool's too.
Decoded zstdDecode(std::string_view in, std::string& out) {
  std::unique_ptr<ZSTD_DCtx, size_t (*)(ZSTD_DCtx*)> context(ZSTD_createDCtx(), ZSTD_freeDCtx);
  ZSTD_inBuffer input{in.data(), in.size(), 0};
  char buffer[1 << 16];
  for (;;) {
    ZSTD_outBuffer output{buffer, sizeof buffer, 0};
    size_t result = ZSTD_decompressStream(context.get(), &output, &input);
    if (ZSTD_isError(result))
      return Decoded::kDamaged;
    out.append(buffer, output.pos);
    if (out.size() > kMaxDecodedBytes)
      return Decoded::kTooLarge;
    if (input.pos == input.size && result == 0)
      return Decoded::kWhole;
    if (input.pos == input.size && output.pos < output.size)
      return Decoded::kDamaged;  // the input ends inside a frame
  }
}

// Every gzip member in turn, by zlib's inflate.
Decoded gzipDecode(std::string_view in, std::string& out) {
  z_stream stream{};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
    violation("zlib starts");
  std::unique_ptr<z_stream, int (*)(z_stream*)> end(&stream, inflateEnd);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  stream.avail_in = static_cast<uInt>(in.size());
  char buffer[1 << 16];
  for (;;) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    int result = inflate(&stream, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - stream.avail_out);
    if (out.size() > kMaxDecodedBytes)
      return Decoded::kTooLarge;
    if (result == Z_STREAM_END) {
      if (stream.avail_in == 0)
        return Decoded::kWhole;
      inflateReset(&stream);
    } else if (result != Z_OK || (stream.avail_in == 0 && stream.avail_out > 0)) {
      return Decoded::kDamaged;  // rejected, or the input ends inside a member
    }
  }
}

std::string zstdEncode(std::string_view log) {
  std::string out(ZSTD_compressBound(log.size()), '\0');
  size_t size = ZSTD_compress(out.data(), out.size(), log.data(), log.size(), 1);
  if (ZSTD_isError(size))
    violation("zstd compresses the log");
  out.resize(size);
  return out;
}

std::string gzipEncode(std::string_view log) {
  z_stream stream{};
  if (deflateInit2(&stream, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    violation("zlib starts");
  std::string out(deflateBound(&stream, static_cast<uLong>(log.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(log.data()));
  stream.avail_in = static_cast<uInt>(log.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  if (deflate(&stream, Z_FINISH) != Z_STREAM_END)
    violation("zlib compresses the log");
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// Collects the cut log of a trimLog run.
class StringOutput final : public OutputFile {
 public:
  explicit StringOutput(std::string& bytes) : OutputFile("cut log"), bytes_(bytes) {}
  OutputKind kind() const override { return OutputKind::kFile; }
  void refuseToOverwrite(const FileStamp&) const override {}
  void begin() override { bytes_.clear(); }
  void close() override {}

 protected:
  void write(std::string_view first, std::string_view second) override {
    bytes_.append(first);
    bytes_.append(second);
  }

 private:
  std::string& bytes_;
};

// What a run came to: the cut, or the one line of its Failure.
struct Outcome {
  bool failed = false;
  std::string text;
};

// A Failure is an outcome; any other exception, or a Failure of more than
// one line, breaks the property.
template <typename Run>
Outcome outcomeOf(Run run) {
  Outcome outcome;
  try {
    outcome.text = run();
  } catch (const Failure& failure) {
    outcome = {true, failure.what()};
    if (outcome.text.empty() || outcome.text.find_first_of("\r\n") != std::string::npos)
      violation("a failure is one line: \"" + outcome.text + "\"");
  } catch (const std::exception& error) {
    violation(std::string("the tool fails only with a Failure (it threw: ") + error.what() + ")");
  }
  return outcome;
}

// The log in memory, through decodedLog when decode (as the programs open
// every log), as it is otherwise (for the plain bytes, which may hold a
// compressed file again).
std::unique_ptr<InputFile> opened(std::string_view bytes, size_t maxRead, bool decode,
                                  uint64_t id = 0) {
  std::unique_ptr<InputFile> log = memoryLog("log", bytes, maxRead, id);
  return decode ? decodedLog(std::move(log)) : std::move(log);
}

// trimLog on the log, opened afresh for each pass.
Outcome trimmed(std::string_view bytes, size_t maxRead, bool decode) {
  return outcomeOf([&] {
    std::string cut;
    uint64_t id = 0;
    TrimFiles files{[&] {
                      auto log = opened(bytes, maxRead, decode, id);
                      id = log->stamp().fileId;  // both passes open the same file
                      return log;
                    },
                    [&] { return std::make_unique<StringOutput>(cut); }};
    Progress progress(nullptr);
    trimLog(files, progress);
    return cut;
  });
}

// The cutter's two passes over one decoded log, with the targets' sizes.
Outcome cutWithSizes(std::string_view bytes, size_t maxRead, bool decode, const CutSizes& sizes) {
  return outcomeOf([&] {
    std::unique_ptr<InputFile> log = opened(bytes, maxRead, decode);
    return cutTwice(*log, *log, sizes);
  });
}

void check(const char* what, const Outcome& compressed, const Outcome& plain, bool damaged) {
  if (damaged) {
    if (!compressed.failed)
      violation(std::string(what) + ": a damaged stream fails");
    return;
  }
  if (compressed.failed != plain.failed || compressed.text != plain.text)
    violation(std::string(what) + ": the compressed log's outcome is the plain log's (" +
              (compressed.failed ? compressed.text : "cut") + " against " +
              (plain.failed ? plain.text : "cut") + ")" +
              (compressed.failed || plain.failed ? ""
                                                 : ": " + firstDifference(compressed.text,
                                                                          plain.text)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  unsigned mode = data[0] % 4;
  bool zstd = mode % 2 == 0;
  std::string compressed;
  FuzzLog log;
  if (mode < 2) {
    compressed = std::string(zstd ? "\x28\xb5\x2f\xfd" : "\x1f\x8b\x08") + std::string(rest);
  } else {
    log = decodeLog(rest);
    std::string_view plain(log.log);
    size_t split = plain.size() / 3;
    auto encode = zstd ? zstdEncode : gzipEncode;
    compressed = encode(plain.substr(0, split)) + encode(plain.substr(split));
  }
  std::string plain;
  Decoded decoded = zstd ? zstdDecode(compressed, plain) : gzipDecode(compressed, plain);
  if (decoded == Decoded::kTooLarge)
    return 0;
  if (mode >= 2 && (decoded != Decoded::kWhole || plain != log.log))
    violation("the library decodes what it encoded");
  bool damaged = decoded == Decoded::kDamaged;
  check("trimLog", trimmed(compressed, log.maxRead, true),
        damaged ? Outcome{} : trimmed(plain, 0, false), damaged);
  check("the cutter's passes", cutWithSizes(compressed, log.maxRead, true, log.sizes),
        damaged ? Outcome{} : cutWithSizes(plain, 0, false, log.sizes), damaged);
  return 0;
}
