// A compressed stream decoded on a thread of its own, a few blocks ahead of
// its reader.
//
// Decoding costs several times what the scan of the decoded bytes costs: on
// a second processor it runs beside the scan, so that a pass over a
// compressed log takes about as long as decoding it. The blocks are handed
// over in order; the decoded bytes are the stream's, whatever the timing.

#ifndef STREAMTRIM_DECODE_AHEAD_H
#define STREAMTRIM_DECODE_AHEAD_H

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "decode/compressed_stream.h"

// A run of decoded bytes and how far into the compressed file they reach.
struct DecodedBlock {
  const char* data = nullptr;
  size_t size = 0;  // 0 at the stream's end
  uint64_t compressedEnd = 0;
};

class DecodeAhead {
 public:
  static constexpr size_t kBlockBytes = 1024 * 1024;
  static constexpr size_t kBlocks = 4;

  // Starts decoding stream, which must outlive this and be read by nothing
  // else while it lives.
  explicit DecodeAhead(CompressedStream& stream);
  // Stops the thread after the block it decodes; what it decoded is dropped.
  ~DecodeAhead();
  DecodeAhead(const DecodeAhead&) = delete;
  DecodeAhead& operator=(const DecodeAhead&) = delete;

  // The next block, valid until the next call; size 0 at the end. Throws
  // what the stream threw, once the blocks before it are handed over.
  DecodedBlock next();

 private:
  void run();
  // Fills block slot; false once the stream has ended or failed.
  bool fill(size_t slot);

  CompressedStream& stream_;
  std::vector<char> bytes_;  // kBlocks blocks of kBlockBytes
  size_t sizes_[kBlocks] = {};
  uint64_t compressedEnds_[kBlocks] = {};
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t produced_ = 0;  // blocks filled
  uint64_t consumed_ = 0;  // blocks handed over and done with
  bool holding_ = false;   // the reader reads block consumed_
  bool finished_ = false;  // nothing more will be filled
  bool stop_ = false;
  std::exception_ptr failure_;
  std::thread thread_;
};

#endif  // STREAMTRIM_DECODE_AHEAD_H
