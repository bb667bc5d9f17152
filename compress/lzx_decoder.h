// Decoder of the newer page coding of compressed ROM streams: one LZX stream per page.
#ifndef TARNWICK_COMPRESS_LZX_DECODER_H_
#define TARNWICK_COMPRESS_LZX_DECODER_H_

#include <array>
#include <cstdint>
#include <span>

#include "compress/huffman_decoder.h"
#include "compress/lzx_constants.h"

namespace codec {

// The page record header {16, USize, record length - 16, USize} and the signature 5B 80 80 8D.
inline constexpr uint32_t kLzxRecordHeaderSize = 16;
inline constexpr uint32_t kLzxSignatureSize = 4;
inline constexpr uint32_t kLzxSignature = 0x8D80805B;

// True when `record` starts with the header and signature of an LZX page of `page_bytes`.
[[nodiscard]] bool IsLzxRecord(std::span<const uint8_t> record, uint32_t page_bytes);

// Decodes LZX page records. Holds only the fixed tables of one page's trees, so one decoder
// serves every page of a stream without allocating.
class LzxPageDecoder {
 public:
  // Decodes `record` (header, signature and LZX bit stream) into `page`, whose size is the
  // page's size, and undoes the E8 translation. False for any defect: a header or signature
  // that does not match, a bad block, an over-subscribed or incomplete code, a run of code
  // lengths past its part, a bad distance, a match past its block, blocks that do not add up
  // to the page, or a bit stream that needs more bits than the record holds. Never reads
  // outside `record` nor writes outside `page`; on failure the page's bytes are unspecified.
  [[nodiscard]] bool Decode(std::span<const uint8_t> record, std::span<uint8_t> page);

 private:
  class BitReader;
  // Reads the code lengths of symbols [start, end) and appends those that are not 0 to `used`.
  // In the page's first block every previous length is 0.
  [[nodiscard]] bool ReadLengths(BitReader& in, bool first_block, uint8_t* lengths,
                                 uint32_t start, uint32_t end, uint16_t* used,
                                 uint32_t& used_count);
  template <bool kAligned>
  [[nodiscard]] bool DecodeBlockTokens(BitReader& in, uint8_t* page, uint32_t pos, uint32_t end);

  // The main tree's table always has 2^kMainRootBits entries, so that its index is a fixed
  // shift in the token loop.
  static constexpr uint32_t kMainRootBits = 10;
  HuffmanDecoder<lzx::kMainSymbols, kMainRootBits, true> main_;
  HuffmanDecoder<lzx::kLengthSymbols, 8> length_;
  HuffmanDecoder<lzx::kAlignedSymbols, 7> aligned_;
  HuffmanDecoder<lzx::kPretreeSymbols, 8> pretree_;
  // Code lengths carried from block to block, with slack behind them for fixed-size clears.
  static constexpr uint32_t kLengthSlack = 64;
  std::array<uint8_t, lzx::kMainSymbols + kLengthSlack> main_lengths_{};
  std::array<uint8_t, lzx::kLengthSymbols + kLengthSlack> length_lengths_{};
  std::array<uint32_t, lzx::kNumRepeats> repeats_{};
};

}  // namespace codec

#endif  // TARNWICK_COMPRESS_LZX_DECODER_H_
