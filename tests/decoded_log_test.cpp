// A zstd or gzip log reads as the plain log it holds, however it is read and
// however many frames or members it has; a damaged one fails at the offset
// where the damage was found, never as a shorter log.

#include "decode/decoded_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "compressed_forms.h"
#include "decode/gzip_decoder.h"
#include "decode/zstd_decoder.h"
#include "slow_pipe.h"
#include "stream_log.h"
#include "system/failure.h"
#include "system/memory_file.h"

namespace {

// What input holds from offset on, read size bytes at a time.
std::string readFrom(const InputFile& input, uint64_t offset, size_t size) {
  std::string bytes, buffer(size, '\0');
  for (size_t got; (got = input.readAt(offset + bytes.size(), buffer.data(), size)) > 0;)
    bytes.append(buffer.data(), got);
  return bytes;
}

// The message of the Failure reading compressed whole throws; empty when none.
std::string failureOf(const std::string& compressed) {
  try {
    readFrom(*decodedLog(std::make_unique<MemoryInputFile>("log.z", compressed)), 0, 1 << 20);
  } catch (const Failure& failure) {
    return failure.what();
  }
  return "";
}

// The offset a decoding failure names.
uint64_t offsetIn(const std::string& message) {
  size_t at = message.find(" at offset ");
  return at == message.npos ? UINT64_MAX : std::stoull(message.substr(at + 11));
}

// A zstd frame made by hand: its header asks for a window of 2^(10 + e)
// plus eighths, which the library checks before any block; then raw blocks
// (type 0), the last of them marked, or a block of type 3, which no encoder
// writes.
std::string handMadeFrame(unsigned exponent, unsigned eighths,
                          const std::vector<std::pair<uint32_t, std::string>>& blocks) {
  std::string frame("\x28\xb5\x2f\xfd\x00", 5);
  frame += static_cast<char>(exponent << 3 | eighths);
  for (size_t i = 0; i < blocks.size(); ++i) {
    const auto& [type, bytes] = blocks[i];
    uint32_t header =
        (i + 1 == blocks.size()) | type << 1 | static_cast<uint32_t>(bytes.size()) << 3;
    for (int byte = 0; byte < 3; ++byte)
      frame += static_cast<char>(header >> (8 * byte) & 0xff);
    frame += bytes;
  }
  return frame;
}

std::string frameWithWindow(unsigned exponent, unsigned eighths) {
  return handMadeFrame(exponent, eighths, {{0, "-- TPC-H Query 1\n"}});
}

const std::string kLog = StreamLog().query(3, 40).query(16, 60000).query(20, 7).text();

}  // namespace

TEST(DecodedLog, EachFormReadsAsThePlainLog) {
  const size_t third = kLog.size() / 3;
  const std::string a = kLog.substr(0, third), b = kLog.substr(third, third),
                    c = kLog.substr(2 * third);
  struct Case {
    const char* name;
    std::string compressed, plain;
  };
  const std::vector<Case> cases = {
      {"zstd", zstdOf(kLog), kLog},
      {"zstd without a checksum", zstdOf(kLog, 1, false), kLog},
      {"zstd in three frames", zstdOf(a) + zstdOf(b) + zstdOf(c), kLog},
      {"zstd after a skippable frame", skippableFrame(9) + zstdOf(kLog), kLog},
      {"zstd with an empty frame between", zstdOf(a) + zstdOf("") + zstdOf(b + c), kLog},
      {"zstd whose window is the most allowed", frameWithWindow(17, 0), "-- TPC-H Query 1\n"},
      {"gzip", gzipOf(kLog), kLog},
      {"gzip in three members", gzipOf(a) + gzipOf(b) + gzipOf(c), kLog},
      {"gzip of nothing", gzipOf(""), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto file = [&] { return decodedLog(std::make_unique<MemoryInputFile>("f", c.compressed)); };
    EXPECT_TRUE(readFrom(*file(), 0, 1 << 20) == c.plain);
    EXPECT_TRUE(readFrom(*file(), 0, 4093) == c.plain);
    // A jump ahead decodes what it skips; a read behind the kept bytes starts again.
    std::unique_ptr<InputFile> jumping = file();
    const uint64_t middle = c.plain.size() / 2, behind = DecodedInputFile::kKeptBytes + 1;
    EXPECT_TRUE(readFrom(*jumping, middle, 1 << 16) == c.plain.substr(middle));
    if (c.plain.size() > behind) {
      EXPECT_TRUE(readFrom(*jumping, behind, 1 << 16) == c.plain.substr(behind));
    }
    EXPECT_TRUE(readFrom(*jumping, 0, 7) == c.plain);
    std::unique_ptr<InputFile> piped = decodedLog(std::make_unique<SlowPipe>(c.compressed, 1000));
    EXPECT_TRUE(readFrom(*piped, 0, 1 << 16) == c.plain);
  }
}

TEST(DecodedLog, EachDamageFailsAtItsOffset) {
  const std::string zstd = zstdOf(kLog), gzip = gzipOf(kLog);
  const uint64_t z = zstd.size(), g = gzip.size(), zMiddle = z / 2, gMiddle = g / 2;
  auto flipped = [](std::string bytes, size_t at) {
    bytes[at] = static_cast<char>(bytes[at] ^ 0x40);
    return bytes;
  };
  struct Case {
    const char* name;
    std::string compressed;
    std::string says;   // what the message starts with, after the file's name
    uint64_t from, to;  // the offset named lies between them
  };
  const std::vector<Case> cases = {
      {"zstd a byte short", zstd.substr(0, z - 1), "cut short", z - 1, z - 1},
      {"zstd cut in its header", zstd.substr(0, 6), "cut short", 6, 6},
      {"zstd's second frame cut short", zstd + zstd.substr(0, 9), "cut short", z + 9, z + 9},
      {"gzip a byte short", gzip.substr(0, g - 1), "cut short", g - 1, g - 1},
      {"gzip cut after its header", gzip.substr(0, 10), "cut short", 10, 10},
      {"zstd a byte changed", flipped(zstd, zMiddle), "damaged zstd data", zMiddle, z},
      {"zstd's checksum changed", flipped(zstd, z - 1), "damaged zstd data", z - 4, z - 1},
      {"gzip a byte changed", flipped(gzip, gMiddle), "damaged gzip data", gMiddle, g},
      {"gzip's CRC changed", flipped(gzip, g - 8), "damaged gzip data", g - 8, g},
      {"gzip's length changed", flipped(gzip, g - 1), "damaged gzip data", g - 4, g},
      {"zstd and a line of text", zstd + "\n", "trailing data", z, z},
      {"zstd and three bytes of a frame's four", zstd + "\x28\xb5\x2f", "trailing data", z, z},
      {"gzip and zeros", gzip + std::string(2, '\0'), "trailing data", g, g},
      {"gzip and a zstd frame", gzip + zstdOf("x"), "trailing data", g, g},
      // The library tells no offset: the block is found by decoding again.
      {"zstd a reserved block after two good ones",
       handMadeFrame(17, 0, {{0, kLog.substr(0, 100000)}, {0, kLog.substr(0, 100000)}, {3, "x"}}),
       "damaged zstd data", 200012, 200014},
      {"zstd window an eighth over the most", frameWithWindow(17, 1), "a zstd frame at offset 0", 0,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string message = failureOf(c.compressed);
    EXPECT_TRUE(message.starts_with("log.z: " + c.says)) << message;
    EXPECT_EQ(message.find('\n'), message.npos);
    uint64_t offset = offsetIn(message);
    EXPECT_TRUE(offset >= c.from && offset <= c.to) << message;
  }
  EXPECT_TRUE(failureOf(frameWithWindow(17, 1))
                  .ends_with("needs a 144 MiB window, more than the 128 MiB allowed; unpack it "
                             "first with unzstd --long=28 (or --memory=144MB) log.z"));
}

TEST(DecodedLog, FormatIsToldByItsSignatureWhole) {
  struct Case {
    std::string first;
    const CompressedFormat* format;
  };
  const std::vector<Case> cases = {
      {"\x28\xb5\x2f\xfd", &kZstdFormat}, {"\x28\xb5\x2f", nullptr},
      {"\x28\xb5\x2f\xfe", nullptr},      {"\x50\x2a\x4d\x18", &kZstdFormat},
      {"\x5f\x2a\x4d\x18", &kZstdFormat}, {"\x4f\x2a\x4d\x18", nullptr},
      {"\x60\x2a\x4d\x18", nullptr},      {"\x1f\x8b\x08", &kGzipFormat},
      {"\x1f\x8b\x07", nullptr},          {"\x1f\x8b", nullptr},
      {"-- TPC-H Query 16\n", nullptr},
  };
  for (const Case& c : cases)
    EXPECT_EQ(compressedFormatOf(c.first), c.format) << c.first;
}

TEST(DecodedLog, OutputNamedAsCompressedIsRefused) {
  struct Case {
    std::string name;
    bool refused;
  };
  const std::vector<Case> cases = {
      {"cut.log.gz", true},    {"cut.log.GZ", true},
      {"cut.log.Zst", true},   {"cut.log.tgz", false},
      {"cut.log.gzip", false}, {"cut.log.zst.txt", false},
      {"cut.log.z", false},    {"", false},
  };
  for (const Case& c : cases) {
    bool refused = false;
    try {
      refuseCompressedOutputName(c.name);
    } catch (const Failure& failure) {
      refused =
          std::string(failure.what())
              .starts_with(c.name +
                           ": a compressed file's name, but the cut log is written uncompressed");
    }
    EXPECT_EQ(refused, c.refused) << c.name;
  }
}
