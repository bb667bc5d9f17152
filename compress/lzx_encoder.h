// Encoder of the newer page coding of compressed ROM streams: one LZX stream per page, as the
// platform's own streams hold them.
#ifndef TARNWICK_COMPRESS_LZX_ENCODER_H_
#define TARNWICK_COMPRESS_LZX_ENCODER_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace codec {

namespace lzx {
class LzxParser;
struct Item;
}  // namespace lzx

class LzxPageEncoder {
 public:
  // nullptr when the tables cannot be allocated.
  [[nodiscard]] static std::unique_ptr<LzxPageEncoder> Create();
  ~LzxPageEncoder();

  // Writes the record of `page` (1 to 4096 bytes) to `out`: the 16-byte header, the
  // signature and one verbatim or aligned-offset block covering the page, whichever is
  // smaller, after the forward E8 translation. The bytes written, or nullopt when they do not
  // fit `out` (nothing is written past its end). The same page always gives the same record.
  [[nodiscard]] std::optional<size_t> Encode(std::span<const uint8_t> page, std::span<uint8_t> out);

 private:
  struct Tables;
  LzxPageEncoder() = default;
  // Parses the page (already in the tables and searched) in each pass and keeps the tokens and
  // code of the smallest block.
  void ChooseBlock();
  // Writes the record of the kept block for a page of `n` bytes.
  [[nodiscard]] std::optional<size_t> WriteRecord(uint32_t n, std::span<uint8_t> out);
  std::unique_ptr<lzx::LzxParser> parser_;
  std::unique_ptr<Tables> t_;
};

}  // namespace codec

#endif  // TARNWICK_COMPRESS_LZX_ENCODER_H_
