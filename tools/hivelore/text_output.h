// TextOutput: the registry text on its way to the output file, through a buffer of fixed size.
//
// The writer puts the text in byte by byte or in pieces; each full buffer goes on to a
// ChunkSink (the output file, or a string in tests). So the memory that the text takes stays
// the same however much text an input makes, and a limit on the total size ends the run of an
// input that would make far more text than any real registry.
#ifndef TARNWICK_TOOLS_HIVELORE_TEXT_OUTPUT_H_
#define TARNWICK_TOOLS_HIVELORE_TEXT_OUTPUT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace hivelore {

// Receives the text in chunks of at most TextOutput::kBufferSize bytes.
class ChunkSink {
 public:
  virtual ~ChunkSink() = default;
  // False when the chunk could not be taken; no further chunk is offered then.
  [[nodiscard]] virtual bool Write(std::string_view chunk) = 0;
};

// Appends every chunk to a string.
class StringSink : public ChunkSink {
 public:
  explicit StringSink(std::string& text) : text_(text) {}
  bool Write(std::string_view chunk) override {
    text_.append(chunk);
    return true;
  }

 private:
  std::string& text_;
};

class TextOutput {
 public:
  static constexpr size_t kBufferSize = 64 * 1024;

  // Hands the text to `sink`; once more than `limit` bytes would have been handed on, nothing
  // more is (limit_passed() is then true).
  TextOutput(ChunkSink& sink, uint64_t limit);
  TextOutput(const TextOutput&) = delete;
  TextOutput& operator=(const TextOutput&) = delete;

  void Put(char c) {
    if (used_ == kBufferSize) Flush();
    buffer_[used_++] = c;
  }
  void Append(std::string_view text) {
    if (text.size() <= kBufferSize - used_) {
      std::memcpy(buffer_.get() + used_, text.data(), text.size());
      used_ += text.size();
      return;
    }
    AppendInPieces(text);
  }
  // Room for `n` bytes (at most kBufferSize) to be written directly; Commit then says how many
  // of them were written.
  [[nodiscard]] char* Claim(size_t n) {
    if (kBufferSize - used_ < n) Flush();
    return buffer_.get() + used_;
  }
  void Commit(size_t n) { used_ += n; }

  // Hands the rest of the buffer on. False when the limit was passed or the sink failed.
  [[nodiscard]] bool Finish();

  // True once the limit was passed or the sink failed: whatever comes after is dropped.
  [[nodiscard]] bool stopped() const { return state_ != State::kOk; }
  [[nodiscard]] bool limit_passed() const { return state_ == State::kLimitPassed; }
  [[nodiscard]] uint64_t limit() const { return limit_; }

 private:
  enum class State { kOk, kLimitPassed, kSinkFailed };
  void Flush();
  void AppendInPieces(std::string_view text);

  ChunkSink& sink_;
  uint64_t limit_;
  uint64_t handed_on_ = 0;  // never above limit_
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
  State state_ = State::kOk;
};

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_TEXT_OUTPUT_H_
