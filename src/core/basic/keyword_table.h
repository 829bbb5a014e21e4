// The target BASIC's vocabulary: every keyword, function name and operator
// that becomes a one-byte token, in the target BASIC's search order.
#pragma once

#include <cstdint>

namespace morvane {

struct KeywordEntry {
    char name[16]; // upper case, padded with 0x00
    std::int32_t token;
};

constexpr int KEYWORD_COUNT = 123;

// Token codes fill 0x80-0xF9.
constexpr unsigned char FIRST_TOKEN = 0x80;
constexpr unsigned char LAST_TOKEN = 0xF9;

// The tokens after which the rest of a statement or line is copied as written.
constexpr std::int32_t TOKEN_DATA = 0x83;
constexpr std::int32_t TOKEN_REM = 0x8E;

// PRINT, which "?" also gives; OUT and CLS, whose codes no character of
// the listing's character set gives.
constexpr unsigned char TOKEN_PRINT = 0x95;
constexpr unsigned char TOKEN_OUT = 0x90;
constexpr unsigned char TOKEN_CLS = 0xA0;

// In search order: the first row that matches wins.
extern const KeywordEntry KEYWORDS[KEYWORD_COUNT];

// Returns the token of the first keyword in table order that text starts
// with, upper-cased, and sets length to the keyword's length; returns 0 and
// leaves length alone when no keyword starts there. text must end with a
// 0x00, and eight bytes from its start must be readable.
std::int32_t match_keyword(const unsigned char *text, int &length);

// For each byte and the low seven bits of the byte after it, what the byte
// is written as when it needs no look-up; 0 when it does. A plain byte
// stands for itself: it starts no keyword and is not a letter a-z to
// upper-case, a quote or a line's end. A keyword that is one byte alone
// (the operators and "?") stands for its token: no longer keyword starts
// with such a byte. A letter that starts no keyword together with the byte
// after it stands for itself upper-cased. A run of them goes across in one
// loop; it stops only at a letter that may start a keyword, a quote or a
// line's end.
//
// Seven bits of the byte after suffice: a byte from 0x80 up is in no name,
// so a letter before it starts no keyword; looked up as another byte, the
// letter is written the same or left to the look-up, which finds no
// keyword either. Indexed by the bytes themselves, the run's test waits for
// no look-up of what kind of byte comes after.
struct DirectBytes {
    std::uint8_t written_as[256][128];
};
extern const DirectBytes DIRECT_BYTES;

// What the first byte of text, which must have a byte after it, is written
// as when it needs no look-up; 0 when it does.
inline std::uint8_t direct_byte(const unsigned char *text) {
    return DIRECT_BYTES.written_as[text[0]][text[1] & 0x7F];
}

// The name a token is listed by: its keyword's name, PRINT for 0x95 (which
// "?" also gives), and its length; nullptr for a byte that is no token.
// The name stands in a field of 16 bytes, padded with 0x00.
struct TokenName {
    const char *name;
    int length;
};
TokenName token_name(unsigned char token);

} // namespace morvane
