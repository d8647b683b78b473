#include "log/line_reader.h"

#include <algorithm>
#include <cstring>

namespace {

// Room for the whole log and the read that finds its end, up to a block; a
// block for a pipe, whose size is unknown.
size_t firstCapacity(const InputFile& input) {
  if (input.isPipe())
    return LineReader::kBlockSize;
  return static_cast<size_t>(std::clamp<uint64_t>(
      input.stamp().size + 1, LineReader::kSmallestBuffer, LineReader::kBlockSize));
}

}  // namespace

LineReader::LineReader(const InputFile& input) : input_(input), buffer_(firstCapacity(input)) {}

bool LineReader::next(Line& line) {
  size_t searched = begin_;
  for (;;) {
    const char* start = buffer_.data() + searched;
    const void* newline = std::memchr(start, '\n', end_ - searched);
    if (newline != nullptr) {
      size_t stop = static_cast<size_t>(static_cast<const char*>(newline) - buffer_.data());
      line.text = std::string_view(buffer_.data() + begin_, stop - begin_);
      line.offset = bufferOffset_ + begin_;
      begin_ = stop + 1;
      return true;
    }
    size_t unreturned = end_ - begin_;
    if (!fill()) {
      if (unreturned == 0)
        return false;
      line.text = std::string_view(buffer_.data() + begin_, unreturned);
      line.offset = bufferOffset_ + begin_;
      begin_ = end_;
      return true;
    }
    searched = begin_ + unreturned;  // fill() moved the partial line to begin_
  }
}

bool LineReader::fill() {
  if (atEnd_)
    return false;
  size_t keep = begin_;  // the bytes before the next line are done with, unless held
  if (held_ >= bufferOffset_ && held_ - bufferOffset_ < keep)
    keep = static_cast<size_t>(held_ - bufferOffset_);
  if (keep > 0) {
    std::memmove(buffer_.data(), buffer_.data() + keep, end_ - keep);
    bufferOffset_ += keep;
    end_ -= keep;
    begin_ -= keep;
  }
  // A block-sized buffer keeps room for half a block, so that no read is
  // small; a smaller one, made for the whole log, grows only when full, which
  // only a log that has grown since the reader was made can fill.
  size_t room = buffer_.capacity() - end_;
  if (buffer_.capacity() < kBlockSize ? room == 0 : room < kBlockSize / 2)
    buffer_.reserve(end_ + std::min(buffer_.capacity(), kBlockSize));
  size_t wanted = std::min(buffer_.capacity() - end_, readSize_);
  readSize_ = std::min(readSize_ * 2, kBlockSize);
  size_t got = input_.readAt(bufferOffset_ + end_, buffer_.data() + end_, wanted);
  if (got == 0) {
    atEnd_ = true;
    return false;
  }
  end_ += got;
  if (observer_ != nullptr)
    observer_->blockRead(input_.storedOffset(bufferOffset_ + end_), got);
  return true;
}

std::string_view LineReader::buffered() const {
  return std::string_view(buffer_.data() + begin_, end_ - begin_);
}

void LineReader::skip(size_t bytes) {
  begin_ += bytes;
}

uint64_t LineReader::offset() const {
  return bufferOffset_ + begin_;
}

void LineReader::seek(uint64_t offset) {
  if (offset >= bufferOffset_ && offset <= bufferOffset_ + end_) {
    begin_ = static_cast<size_t>(offset - bufferOffset_);
    return;
  }
  bufferOffset_ = offset;
  begin_ = end_ = 0;
  readSize_ = kFirstReadAfterSeek;
  atEnd_ = false;
}
