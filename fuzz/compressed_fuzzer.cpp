// Fuzz target of the compressed logs: bytes behind a zstd or gzip signature
// are read through decodedLog (decode/decoded_log.h) and cut, and the cut
// must be the cut of the plain bytes the library itself decodes from them,
// or the run must fail with one Failure of one line.
//
// The input's first byte chooses what follows it. Its two low bits:
//   0: a zstd frame's magic number, then the rest of the input as it is;
//   1: a gzip member's magic number and method, then the rest as it is;
//   2: the rest taken as a log (fuzz_support.h, its directives too),
//      once, or twice when bit 3 is set, compressed here with zstd in
//      two frames, the second at a third of the log;
//   3: the same, with gzip in two members.
// Bits 2 and 3 give 0 and 1 a limit to each read of the decoded log (for 2
// and 3 a 0xF9 directive does), bits 4 and 5 one to each read of the
// compressed bytes: kReadLimits, 0 for none. Small reads of the decoded log
// make the cut's jumps over deleted rows skip decoded bytes, and logs past
// DecodedInputFile::kKeptBytes make the second pass decode from the top
// again. The seeds of 0 and 1 are real compressed logs, whose bytes the
// fuzzer changes; 2 and 3 reach large valid streams.
//
// Each input runs twice through the tool: trimLog, the program's own run
// with its refusals, the log opened afresh for each pass and the program's
// cut sizes; and the cutter's two passes over one decoded log with the
// targets' small sizes (fuzz_support.h), so that a cut skips rows and the
// second pass starts the decoding again from the top.

#include <zlib.h>
#include <zstd.h>

#include <algorithm>
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
// them but time. Twice the bytes a decoded log keeps (64 KiB) is enough to
// decode some of it again.
constexpr size_t kMaxDecodedBytes = size_t{1} << 17;
constexpr size_t kReadLimits[] = {0, 7, 100, 4096};

// A file whose reads return at most maxRead bytes each (0: no limit).
class LimitedReads final : public InputFile {
 public:
  LimitedReads(std::unique_ptr<InputFile> file, size_t maxRead)
      : InputFile(file->path()), file_(std::move(file)), maxRead_(maxRead) {}
  FileStamp stamp() const override { return file_->stamp(); }
  size_t readAt(uint64_t offset, char* buffer, size_t size) const override {
    return file_->readAt(offset, buffer, maxRead_ == 0 ? size : std::min(size, maxRead_));
  }
  bool isPipe() const override { return file_->isPipe(); }
  uint64_t storedOffset(uint64_t readEnd) const override { return file_->storedOffset(readEnd); }

 private:
  std::unique_ptr<InputFile> file_;
  size_t maxRead_;
};

// How the input asks the logs to be read.
struct Reads {
  size_t compressed = 0;  // each read of the compressed bytes, at most
  size_t decoded = 0;     // each read of the decoded log, at most
};

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
std::unique_ptr<InputFile> opened(std::string_view bytes, const Reads& reads, bool decode,
                                  uint64_t id = 0) {
  if (!decode)
    return memoryLog("log", bytes, reads.decoded, id);
  return std::make_unique<LimitedReads>(decodedLog(memoryLog("log", bytes, reads.compressed, id)),
                                        reads.decoded);
}

// trimLog on the log, opened afresh for each pass.
Outcome trimmed(std::string_view bytes, const Reads& reads, bool decode) {
  return outcomeOf([&] {
    std::string cut;
    uint64_t id = 0;
    TrimFiles files{[&] {
                      auto log = opened(bytes, reads, decode, id);
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
Outcome cutWithSizes(std::string_view bytes, const Reads& reads, bool decode,
                     const CutSizes& sizes) {
  return outcomeOf([&] {
    std::unique_ptr<InputFile> log = opened(bytes, reads, decode);
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
              (compressed.failed || plain.failed
                   ? ""
                   : ": " + firstDifference(compressed.text, plain.text)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  unsigned mode = data[0] % 4;
  bool zstd = mode % 2 == 0;
  unsigned choice = (data[0] >> 2) % 4;
  Reads reads{kReadLimits[(data[0] >> 4) % 4], kReadLimits[choice]};
  std::string compressed;
  FuzzLog log;
  if (mode < 2) {
    compressed = std::string(zstd ? "\x28\xb5\x2f\xfd" : "\x1f\x8b\x08") + std::string(rest);
  } else {
    log = decodeLog(rest);
    // At least 64 bytes a read: smaller reads of a log twice 64 KiB took a
    // quarter of a second, and the cutter target has them.
    reads.decoded = log.maxRead == 0 ? 0 : std::max<size_t>(log.maxRead, 64);
    if (choice >= 2)
      log.log += log.log;
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
  check("trimLog", trimmed(compressed, reads, true),
        damaged ? Outcome{} : trimmed(plain, reads, false), damaged);
  check("the cutter's passes", cutWithSizes(compressed, reads, true, log.sizes),
        damaged ? Outcome{} : cutWithSizes(plain, reads, false, log.sizes), damaged);
  return 0;
}
