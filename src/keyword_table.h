// The target BASIC's vocabulary: every keyword, function name and operator
// that becomes a one-byte token, in the order the tokenizer tries them.
#pragma once

#include <cstdint>

struct KeywordEntry {
    char name[16]; // upper case, padded with 0x00
    std::int32_t token;
};

constexpr int KEYWORD_COUNT = 123;

// The tokens after which the rest of a statement or line is copied as written.
constexpr std::int32_t TOKEN_DATA = 0x83;
constexpr std::int32_t TOKEN_REM = 0x8E;

// In search order: the first row that matches wins.
extern const KeywordEntry KEYWORDS[KEYWORD_COUNT];

// The rows of KEYWORDS grouped by the first byte of their name, each group in
// search order: the rows starting with byte b are rows[start[b]] up to
// rows[start[b + 1]], so trying a group gives the same first match as
// walking the whole table.
struct KeywordIndex {
    std::uint8_t start[257];
    std::uint8_t rows[KEYWORD_COUNT];
};

extern const KeywordIndex KEYWORD_INDEX;
