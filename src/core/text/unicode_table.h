// The target character set against Unicode, generated from the standard
// mappings of Shift_JIS (src/tools/make_unicode_table): which code points
// the set holds and which Shift_JIS code each converts as, and how every
// Shift_JIS character decodes, for naming those the set lacks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace morvane {

// A code point of a character the target set holds, and the Shift_JIS code
// it is read as: a byte below 0x100 (the half-width kana, the yen sign and
// the overline), else the lead byte * 256 + the trail byte. Sorted by code
// point; ASCII, which is itself, is not listed.
struct UnicodeSpelling {
    std::uint16_t code_point;
    std::uint16_t shift_jis;
};
extern const UnicodeSpelling SPELLINGS[];
extern const std::size_t SPELLING_COUNT;

// Every two-byte Shift_JIS character and its code point, as JIS X 0208
// decodes it, or Windows code page 932 for the codes it adds. Sorted by code.
struct ShiftJisDecoding {
    std::uint16_t shift_jis;
    std::uint16_t code_point;
};
extern const ShiftJisDecoding DECODED[];
extern const std::size_t DECODED_COUNT;

} // namespace morvane
