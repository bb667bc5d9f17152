// The bounded buffer between the REGEDIT4 writer and the output file.
#include "tools/hivelore/text_output.h"

#include <algorithm>
#include <cstring>

namespace hivelore {

TextOutput::TextOutput(ChunkSink& sink, uint64_t limit)
    : sink_(sink), limit_(limit), buffer_(new char[kBufferSize]) {}

void TextOutput::AppendInPieces(std::string_view text) {
  while (!text.empty()) {
    if (used_ == kBufferSize) Flush();
    const size_t n = std::min(text.size(), kBufferSize - used_);
    std::memcpy(buffer_.get() + used_, text.data(), n);
    used_ += n;
    text.remove_prefix(n);
  }
}

void TextOutput::Flush() {
  if (state_ == State::kOk && used_ > 0) {
    if (used_ > limit_ - handed_on_) {
      state_ = State::kLimitPassed;
    } else if (!sink_.Write(std::string_view(buffer_.get(), used_))) {
      state_ = State::kSinkFailed;
    } else {
      handed_on_ += used_;
    }
  }
  used_ = 0;
}

bool TextOutput::Finish() {
  Flush();
  return state_ == State::kOk;
}

}  // namespace hivelore
