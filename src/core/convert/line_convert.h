// One listing line converted in memory by the converter's own line code:
// character conversion, line number, tokenizer.
#pragma once

#include <cstdint>

namespace morvane {

// Converts one line as the listing reader would deliver it (at most
// LONGEST_LINE bytes with its line feed; no carriage return, 0x1A or 0x00)
// into its record body, stored at body (room for BODY_ROOM bytes)
// without the 0x00. Returns the body's length, or -1 if the line holds a
// character the target set lacks. number gets the line number read.
int convert_line_in_memory(const unsigned char *text, int length, unsigned char *body,
                           std::int32_t &number);

// The same for a line with no byte from 0x80 up, which needs no character
// conversion, and SCAN_PADDING bytes of room past its end: it is converted
// where it stands, and only the room is written to.
int convert_ascii_line_with_room(unsigned char *text, int length, unsigned char *body,
                                 std::int32_t &number);

} // namespace morvane
