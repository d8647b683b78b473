#include "decode/decode_ahead.h"

DecodeAhead::DecodeAhead(CompressedStream& stream)
    : stream_(stream), bytes_(kBlocks * kBlockBytes), thread_([this] { run(); }) {}

DecodeAhead::~DecodeAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

DecodedBlock DecodeAhead::next() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (holding_) {
    ++consumed_;
    holding_ = false;
    changed_.notify_all();
  }
  changed_.wait(lock, [&] { return produced_ > consumed_ || finished_; });
  if (produced_ == consumed_) {
    if (failure_)
      std::rethrow_exception(failure_);
    return {nullptr, 0, stream_.compressedPosition()};
  }
  holding_ = true;
  size_t slot = consumed_ % kBlocks;
  return {bytes_.data() + slot * kBlockBytes, sizes_[slot], compressedEnds_[slot]};
}

void DecodeAhead::run() {
  for (;;) {
    size_t slot;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return produced_ - consumed_ < kBlocks || stop_; });
      if (stop_)
        return;
      slot = produced_ % kBlocks;
    }
    bool more = fill(slot);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (sizes_[slot] > 0)
        ++produced_;
      finished_ = !more;
    }
    changed_.notify_all();
    if (!more)
      return;
  }
}

bool DecodeAhead::fill(size_t slot) {
  char* block = bytes_.data() + slot * kBlockBytes;
  size_t size = 0;
  bool more = true;
  try {
    while (size < kBlockBytes && more) {
      size_t got = stream_.read(block + size, kBlockBytes - size);
      size += got;
      more = got > 0;
    }
  } catch (...) {
    // Handed over after the bytes decoded before it, which fill no block
    // now: the reader meets the failure where the stream did.
    std::lock_guard<std::mutex> lock(mutex_);
    failure_ = std::current_exception();
    more = false;
  }
  sizes_[slot] = size;
  compressedEnds_[slot] = stream_.compressedPosition();
  return more;
}
