// Building canonical Huffman codes for the encoder: code lengths from symbol counts, limited
// in length and always complete, and the codes themselves.
#ifndef TARNWICK_COMPRESS_HUFFMAN_BUILDER_H_
#define TARNWICK_COMPRESS_HUFFMAN_BUILDER_H_

#include <cstdint>

namespace codec {

// Sets lengths[0, n) (n <= 512) for a code of minimal size under the limit `max_length`
// (<= 16): symbols of count 0 get length 0. The code is complete whenever a symbol is used:
// a single used symbol gets a partner of count 0 so that both have length 1. With no symbol
// used every length is 0. Equal inputs give equal lengths.
void BuildHuffmanLengths(const uint32_t* counts, uint32_t n, uint32_t max_length, uint8_t* lengths);

// Canonical codes of the lengths: shorter codes first, equal lengths in symbol order.
// The code of symbol s is the low lengths[s] bits of codes[s].
void CanonicalCodes(const uint8_t* lengths, uint32_t n, uint16_t* codes);

}  // namespace codec

#endif  // TARNWICK_COMPRESS_HUFFMAN_BUILDER_H_
