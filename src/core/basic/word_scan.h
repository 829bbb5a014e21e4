// Scanning text a machine word at a time: a word holds the next WORD_SIZE
// bytes of a text in memory order, and the tests below ask whether any of
// them qualifies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace morvane {

constexpr int WORD_SIZE = 8;
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

// True if any of the bytes is from 0x80 up: a text without one needs no
// character conversion.
inline bool has_byte_from_0x80(const unsigned char *bytes, int length) {
    std::uint64_t high = 0;
    int i = 0;
    for (; i + WORD_SIZE <= length; i += WORD_SIZE)
        high |= load_word(bytes + i);
    for (; i < length; i++)
        high |= bytes[i];
    return (high & HIGH_BITS) != 0;
}

// Copies the bytes below 0x80 that start bytes (length of them) to out,
// eight at a time while a word holds nothing else, then one by one;
// returns how many. A text that is mostly ASCII moves at a word a step.
inline std::size_t copy_ascii_run(const unsigned char *bytes, std::size_t length,
                                  unsigned char *out) {
    std::size_t at = 0;
    while (at + WORD_SIZE <= length && (load_word(bytes + at) & HIGH_BITS) == 0) {
        std::memcpy(out + at, bytes + at, WORD_SIZE);
        at += WORD_SIZE;
    }
    for (; at < length && bytes[at] < 0x80; at++)
        out[at] = bytes[at];
    return at;
}

} // namespace morvane
