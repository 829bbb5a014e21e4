// One line of listing text as the converter's line code works on it: at
// most LONGEST_LINE bytes, ending at its line feed or, always after that,
// a 0x00 byte.
#pragma once

namespace morvane {

constexpr int LINE_BUFFER_SIZE = 1024;
constexpr int LONGEST_LINE = LINE_BUFFER_SIZE - 1;

// The tokenizer reads and writes whole 16-byte chunks and may run up to 15
// bytes past a line's end, or past a body's: every buffer a line or a body
// stands in has this much room beyond it.
constexpr int SCAN_PADDING = 16;

// True for the bytes where a line's text ends: its line feed, or its terminating 0x00.
constexpr bool is_line_end(unsigned char c) {
    return c == '\n' || c == 0x00;
}

// Upper-cases the ASCII letters a-z only; every other byte stays as it is.
constexpr unsigned char to_upper(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

} // namespace morvane
