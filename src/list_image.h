// Reading a program image front to back: the header, the records, the
// trailer and the end of the file, each checked as it comes.
//
// An image that does not match ends the run through exit_broken_image with
// the offset of the first byte that does not fit. Bodies of any length are
// read through a fixed block: a short one is handed over whole, a long one
// byte by byte.
#pragma once

#include <cstdint>

// Starts reading input_stream from its start and checks the 16-byte header;
// an input without one ends the run with "Not a program image".
void read_image_header_or_exit();

// Reads the next record's head and gives its line number; false once the
// trailer and then the end of the file have been read.
bool read_record_head(std::uint16_t &line_number);

// Hands over the record's body when it is at most limit bytes long: sets
// body to it (valid until the next read) and returns its length, body and
// 0x00 consumed. Returns -1 and consumes nothing when it is longer.
int read_short_body(const unsigned char *&body, int limit);

// The next byte of a long body, consumed; -1 once its 0x00 is consumed.
int next_body_byte();

// The byte that next_body_byte would give, not consumed; -1 for the 0x00,
// the end of the file, or a byte no body holds.
int peek_body_byte();
