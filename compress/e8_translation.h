// The x86 call translation that the LZX page coding applies to every page.
#ifndef TARNWICK_COMPRESS_E8_TRANSLATION_H_
#define TARNWICK_COMPRESS_E8_TRANSLATION_H_

#include <cstdint>
#include <span>

namespace codec {

// Turns the absolute call targets that the encoder wrote back into the page's relative ones.
// Runs over one decoded page in place; positions count from the page start.
void UndoE8Translation(std::span<uint8_t> page);

// The encoder's pass before coding: relative call targets become absolute ones. Exactly
// undone by UndoE8Translation, for any bytes.
void ApplyE8Translation(std::span<uint8_t> page);

}  // namespace codec

#endif  // TARNWICK_COMPRESS_E8_TRANSLATION_H_
