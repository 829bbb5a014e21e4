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

// KEYWORDS as a tree of upper-cased name bytes, built at compile time from
// the table. Walking it from the root along the text finds the longest name
// the text starts with; the build refuses a table in which that would not
// be the first name in table order.
struct KeywordTrie {
    static constexpr int NODE_LIMIT = 384;
    static constexpr int CLASS_LIMIT = 40;
    std::uint8_t byte_class[256];                // 0 for bytes in no name; a-z as A-Z
    std::uint16_t next[NODE_LIMIT][CLASS_LIMIT]; // 0: no name continues this way
    std::uint8_t token[NODE_LIMIT]; // low byte of the token of a name ending here, or 0
};

extern const KeywordTrie KEYWORD_TRIE;
