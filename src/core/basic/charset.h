// Character conversion: Shift_JIS text in the listing into the target machine's character set.
#pragma once

#include <cstdint>

namespace morvane {

constexpr int CODE_TABLE_SIZE = 256;
constexpr int VOICED_TABLE_SIZE = 51;

// For each target code, the Shift_JIS code (lead byte * 256 + trail byte) of
// the character it shows; 0 where no Shift_JIS character leads to it.
extern const std::uint32_t CODE_TABLE[CODE_TABLE_SIZE];

// The Shift_JIS codes of kana carrying a sound mark: entries 0-39 are the
// plain kana plus 1 with the voiced mark, 40-49 the plain kana plus 2 with the
// semi-voiced mark, and 50 is the katakana VU, a voiced U.
extern const std::uint32_t VOICED_TABLE[VOICED_TABLE_SIZE];
constexpr int FIRST_SEMI_VOICED_ENTRY = 40;
constexpr int VU_ENTRY = 50;

// The target codes of the stand-alone sound marks, written after a marked kana.
constexpr unsigned char VOICED_MARK = 0xDE;
constexpr unsigned char SEMI_VOICED_MARK = 0xDF;

// Target codes 0x01-0x1F travel in a record as this byte followed by code + 0x30.
constexpr unsigned char CONTROL_CODE_ESCAPE = 0x14;

// Rewrites a line in place into target codes, still ending in 0x00; text is
// a buffer of LINE_BUFFER_SIZE bytes. False if a two-byte character the
// target set lacks stops it; the text is then left half rewritten.
bool convert_charset(unsigned char *text);

// Writes what the two-byte character lead, trail becomes at out (room for
// two bytes): its target code, the code and its sound mark, or the pair a
// code from 0x01 to 0x1F travels as. Returns how many bytes; 0 if the
// target set lacks the character. lead is one of 0x80-0x9F.
int convert_two_byte_character(unsigned char lead, unsigned char trail, unsigned char *out);

// Where in a line ending in 0x00 the first two-byte character the target
// set lacks starts; -1 if there is none.
int first_unconvertible_character(const unsigned char *text);

} // namespace morvane
