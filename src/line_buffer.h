// The line buffer: one listing line at a time, and the mark that records how
// much of it is consumed for good.
//
// A loaded line always ends with a 0x00 byte, after its line feed if it has
// one. The readers of the line look ahead from the mark with a pointer of
// their own and move the mark past what they accept. Nothing here checks
// the mark: every loop that walks the line stops at is_line_end.
#pragma once

#include <cstdint>
#include <cstring>

constexpr int LINE_BUFFER_SIZE = 1024;
constexpr int LONGEST_LINE = LINE_BUFFER_SIZE - 1;

struct LineBuffer {
    unsigned char text[LINE_BUFFER_SIZE];
    int mark; // index of the first byte not yet consumed
};

extern LineBuffer line_buffer;

// Forgets anything read ahead from an earlier listing; input_stream is read from its start.
void start_line_reader();

// Loads the next line, converted to target codes; false when the listing has no more lines.
bool load_next_line();

// Scanning eight bytes at a time: a word holds the next eight bytes of a text
// in memory order, and the tests below ask whether any of them qualifies.
constexpr std::uint64_t EVERY_BYTE = 0x0101010101010101u;
constexpr std::uint64_t HIGH_BITS = 0x8080808080808080u;

inline std::uint64_t load_word(const unsigned char *bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// Marks with its top bit each byte of the word below limit (at most 0x80):
// 0 if there is none. The mark of the first such byte in memory order is
// exact; marks after it may be false.
constexpr std::uint64_t bytes_below(std::uint64_t word, unsigned limit) {
    return (word - EVERY_BYTE * limit) & ~word & HIGH_BITS;
}

// True if any byte of the word is below limit (at most 0x80).
constexpr bool has_byte_below(std::uint64_t word, unsigned limit) {
    return bytes_below(word, limit) != 0;
}

// True for the bytes where a line's text ends: its line feed, or its terminating 0x00.
constexpr bool is_line_end(unsigned char c) {
    return c == '\n' || c == 0x00;
}

// Upper-cases the ASCII letters a-z only; every other byte stays as it is.
constexpr unsigned char to_upper(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

// Consumes count bytes at the mark.
inline void advance_mark(int count) {
    line_buffer.mark += count;
}
