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

// In search order: the first row that matches wins.
// The operators come first, then "?", then the keywords in ASCII order of
// their names, except that INPUT stands before INP and LOCATE before LOC: a
// name that another name starts with must come after it, or the longer one
// could never be recognised whole.
inline constexpr KeywordEntry KEYWORDS[KEYWORD_COUNT] = {
    {"-", 0xCB},      {"*", 0xCC},       {"/", 0xCD},       {"^", 0xCE},      {"+", 0xCA},
    {"<", 0xD3},      {"=", 0xD2},       {">", 0xD1},       {"?", 0x95},      {"ABS", 0xD6},
    {"AND", 0xCF},    {"ASC", 0xE8},     {"BLOAD", 0xAF},   {"BSAVE", 0xB0},  {"CHR$", 0xE9},
    {"CIRCLE", 0xAC}, {"CLEAR", 0x99},   {"CLOAD", 0xA3},   {"CLOSE", 0xBB},  {"CLS", 0xA0},
    {"COLOR", 0x9A},  {"CONSOLE", 0xA2}, {"CONT", 0x96},    {"COS", 0xE0},    {"CSAVE", 0xA4},
    {"CSRLIN", 0xEE}, {"CVS", 0xF8},     {"DATA", 0x83},    {"DEF", 0x93},    {"DELETE", 0xC1},
    {"DIM", 0x85},    {"DSKF", 0xF7},    {"DSKI$", 0xF3},   {"DSKO$", 0xBC},  {"END", 0x80},
    {"EOF", 0xF6},    {"EXEC", 0xA5},    {"EXP", 0xDF},     {"FIELD", 0xB7},  {"FILES", 0xB1},
    {"FN", 0xC4},     {"FOR", 0x81},     {"FRE", 0xD8},     {"GET", 0xAD},    {"GOSUB", 0x8C},
    {"GOTO", 0x88},   {"HEX$", 0xE5},    {"IF", 0x8A},      {"INKEY$", 0xC6}, {"INPUT", 0x84},
    {"INP", 0xD9},    {"INT", 0xD5},     {"KANJI", 0xC0},   {"KEY", 0xA8},    {"KILL", 0xBD},
    {"LCOPY", 0xA9},  {"LEFT$", 0xEA},   {"LEN", 0xE4},     {"LET", 0x87},    {"LFILES", 0xB2},
    {"LINE", 0x9D},   {"LIST", 0x97},    {"LLIST", 0x98},   {"LOAD", 0xB3},   {"LOCATE", 0xA1},
    {"LOC", 0xF5},    {"LOF", 0xF4},     {"LOG", 0xDE},     {"LPOS", 0xDA},   {"LPRINT", 0x92},
    {"LSET", 0xB8},   {"MERGE", 0xB4},   {"MID$", 0xEC},    {"MKS$", 0xF9},   {"MON", 0xBF},
    {"NAME", 0xB5},   {"NEW", 0xAA},     {"NEXT", 0x82},    {"NOT", 0xC8},    {"ON", 0x91},
    {"OPEN", 0xBA},   {"OR", 0xD0},      {"OUT", 0x90},     {"PAD", 0xF2},    {"PAINT", 0x9E},
    {"PEEK", 0xE3},   {"PLAY", 0xA7},    {"POINT", 0xED},   {"POKE", 0x94},   {"POS", 0xDB},
    {"PRESET", 0x9C}, {"PRINT", 0x95},   {"PSET", 0x9B},    {"PUT", 0xAE},    {"READ", 0x86},
    {"REM", 0x8E},    {"RENUM", 0xAB},   {"RESTORE", 0x8B}, {"RETURN", 0x8D}, {"RIGHT$", 0xEB},
    {"RND", 0xDD},    {"RSET", 0xB9},    {"RUN", 0x89},     {"SAVE", 0xB6},   {"SCREEN", 0x9F},
    {"SGN", 0xD4},    {"SIN", 0xE1},     {"SOUND", 0xA6},   {"SPC(", 0xC5},   {"SQR", 0xDC},
    {"STEP", 0xC9},   {"STICK", 0xEF},   {"STOP", 0x8F},    {"STR$", 0xE6},   {"STRIG", 0xF0},
    {"TAB(", 0xC2},   {"TALK", 0xBE},    {"TAN", 0xE2},     {"THEN", 0xC7},   {"TIME", 0xF1},
    {"TO", 0xC3},     {"USR", 0xD7},     {"VAL", 0xE7},
};

// The token of the keyword named so, looked up while compiling; 0 for a
// name the table lacks, which the static_asserts below refuse.
constexpr std::int32_t token_named(const char *name) {
    for (const KeywordEntry &entry : KEYWORDS) {
        int i = 0;
        while (name[i] != 0 && entry.name[i] == name[i])
            i++;
        if (name[i] == 0 && entry.name[i] == 0) return entry.token;
    }
    return 0;
}

// The tokens after which the rest of a statement or line is copied as written.
constexpr std::int32_t TOKEN_DATA = token_named("DATA");
constexpr std::int32_t TOKEN_REM = token_named("REM");

// The tokens a line number may follow.
constexpr std::int32_t TOKEN_GOTO = token_named("GOTO"), TOKEN_GOSUB = token_named("GOSUB"),
                       TOKEN_THEN = token_named("THEN"), TOKEN_RESTORE = token_named("RESTORE"),
                       TOKEN_RUN = token_named("RUN"), TOKEN_LIST = token_named("LIST"),
                       TOKEN_LLIST = token_named("LLIST"), TOKEN_DELETE = token_named("DELETE");
// ON ERROR, which the tokenizer reads as ON, the name ERR and OR.
constexpr std::int32_t TOKEN_ON = token_named("ON"), TOKEN_OR = token_named("OR");
// The sign of a range after LIST, LLIST and DELETE (10-50).
constexpr std::int32_t TOKEN_MINUS = token_named("-");

// PRINT, which "?" also gives; OUT and CLS, whose codes no character of
// the listing's character set gives.
constexpr unsigned char TOKEN_PRINT = token_named("PRINT");
constexpr unsigned char TOKEN_OUT = token_named("OUT");
constexpr unsigned char TOKEN_CLS = token_named("CLS");

static_assert(TOKEN_DATA != 0 && TOKEN_REM != 0 && TOKEN_GOTO != 0 && TOKEN_GOSUB != 0 &&
                  TOKEN_THEN != 0 && TOKEN_RESTORE != 0 && TOKEN_RUN != 0 && TOKEN_LIST != 0 &&
                  TOKEN_LLIST != 0 && TOKEN_DELETE != 0 && TOKEN_MINUS != 0 && TOKEN_PRINT != 0 &&
                  TOKEN_OUT != 0 && TOKEN_CLS != 0,
              "every token named here is in the table");
static_assert(token_named("?") == TOKEN_PRINT, "? is PRINT's short spelling");
static_assert(token_named("GOT") == 0 && token_named("GOTOX") == 0, "a look-up takes whole names");
// Images the machine saved hold these two codes; they tell the tokenizer
// to copy the rest of a statement or line as written.
static_assert(TOKEN_DATA == 0x83 && TOKEN_REM == 0x8E, "DATA and REM keep their codes");

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
