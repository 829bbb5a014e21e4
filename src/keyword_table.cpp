#include "keyword_table.h"

#include <array>
#include <bit>

#include "line_text.h"
#include "word_scan.h"

// The operators come first, then "?", then the keywords in ASCII order of
// their names, except that INPUT stands before INP and LOCATE before LOC: a
// name that another name starts with must come after it, or the longer one
// could never be recognised whole.
constexpr KeywordEntry KEYWORDS[KEYWORD_COUNT] = {
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

namespace {

// The bytes that occur in names have a class each, a-z that of A-Z; the
// others have class 0.
constexpr int NAME_BYTE_CLASSES = 40;

// KEYWORDS as a tree of upper-cased name bytes, built at compile time from
// the table. Walking it from the root along the text finds the longest name
// the text starts with; the build refuses a table in which that would not
// be the first name in table order.
struct KeywordTrie {
    static constexpr int NODE_LIMIT = 384;
    std::uint8_t byte_class[256];                      // 0 for bytes in no name; a-z as A-Z
    std::uint16_t next[NODE_LIMIT][NAME_BYTE_CLASSES]; // 0: no name continues this way
    std::uint8_t token[NODE_LIMIT]; // low byte of the token of a name ending here, or 0
    // By the classes of a text's first two bytes: whether a name could start
    // the text, being one byte long or starting with both.
    bool may_start[NAME_BYTE_CLASSES][NAME_BYTE_CLASSES];
    // By the same: the row of the name tried first, on its own, before the walk.
    std::uint8_t first_try[NAME_BYTE_CLASSES][NAME_BYTE_CLASSES];
};

// A name as a test of the first eight bytes of a text at once: the text
// starts with the name when (word | fold) & mask == name.
struct NameTest {
    std::uint64_t fold; // 0x20 in the bytes of letters: a and A test alike
    std::uint64_t mask; // 0xFF in the bytes of the name
    std::uint64_t name; // the name, its letters in lower case
    std::int32_t token;
    int length;
};

constexpr bool starts_with(const KeywordEntry &longer, const KeywordEntry &shorter) {
    for (int i = 0; shorter.name[i] != 0; i++)
        if (longer.name[i] != shorter.name[i]) return false;
    return true;
}

// The first name in table order that a text starts with is its longest
// such name exactly when every name that starts another stands after it.
constexpr bool longer_names_stand_first() {
    for (int longer = 0; longer < KEYWORD_COUNT; longer++)
        for (int shorter = 0; shorter < longer; shorter++)
            if (starts_with(KEYWORDS[longer], KEYWORDS[shorter])) return false;
    return true;
}
static_assert(longer_names_stand_first(),
              "a keyword must stand before the keywords it starts with");

constexpr void assign_byte_classes(KeywordTrie &trie) {
    int classes = 1;
    for (const KeywordEntry &entry : KEYWORDS)
        for (int i = 0; entry.name[i] != 0; i++) {
            auto b = static_cast<unsigned char>(entry.name[i]);
            if (trie.byte_class[b] == 0) trie.byte_class[b] = static_cast<std::uint8_t>(classes++);
        }
    for (int b = 'a'; b <= 'z'; b++)
        trie.byte_class[b] = trie.byte_class[to_upper(static_cast<unsigned char>(b))];
}

// The test tried first by a pair that starts no name.
constexpr int NO_NAME = KEYWORD_COUNT;

// Of names that share their first two bytes, the ones BASIC programs use
// most (counted over a corpus of real programs), most used first.
constexpr const char *MOST_USED_OF_A_PAIR[] = {
    "PRINT", "GOTO", "NEXT", "INT",    "LET",   "REM", "TAB(",
    "POKE",  "DEF",  "STEP", "LOCATE", "COLOR", "CLS", "FILES",
};

constexpr bool same_name(const char *a, const char *b) {
    for (int i = 0;; i++) {
        if (a[i] != b[i]) return false;
        if (a[i] == 0) return true;
    }
}

constexpr bool starts_other_name(int row) {
    for (int other = 0; other < KEYWORD_COUNT; other++)
        if (other != row && starts_with(KEYWORDS[other], KEYWORDS[row])) return true;
    return false;
}

constexpr int use_rank(int row) {
    int rank = 0;
    for (const char *name : MOST_USED_OF_A_PAIR) {
        if (same_name(name, KEYWORDS[row].name)) return rank;
        rank++;
    }
    return rank;
}

// The name of the pair tried first: the most used, else the first in table
// order, but never one that starts another name (INP, LOC), since then a
// text it matches could hold a longer one.
constexpr int row_to_try_first(const KeywordTrie &trie, int first, int second) {
    int best = -1;
    for (int row = 0; row < KEYWORD_COUNT; row++) {
        auto name = KEYWORDS[row].name;
        bool in_pair =
            trie.byte_class[static_cast<unsigned char>(name[0])] == first &&
            (name[1] == 0 || trie.byte_class[static_cast<unsigned char>(name[1])] == second);
        if (!in_pair || starts_other_name(row)) continue;
        if (best < 0 || use_rank(row) < use_rank(best)) best = row;
    }
    return best < 0 ? NO_NAME : best;
}

constexpr KeywordTrie build_keyword_trie() {
    KeywordTrie trie{};
    assign_byte_classes(trie);
    int nodes = 1;
    for (const KeywordEntry &entry : KEYWORDS) {
        int node = 0;
        for (int i = 0; entry.name[i] != 0; i++) {
            std::uint16_t &child =
                trie.next[node][trie.byte_class[static_cast<unsigned char>(entry.name[i])]];
            if (child == 0) child = static_cast<std::uint16_t>(nodes++);
            node = child;
        }
        // The first row with a name wins, should a name ever stand twice.
        if (trie.token[node] == 0) trie.token[node] = static_cast<std::uint8_t>(entry.token);
    }
    for (int first = 1; first < NAME_BYTE_CLASSES; first++)
        for (int second = 0; second < NAME_BYTE_CLASSES; second++) {
            int node = trie.next[0][first];
            trie.may_start[first][second] =
                node != 0 && (trie.token[node] != 0 || trie.next[node][second] != 0);
            trie.first_try[first][second] =
                static_cast<std::uint8_t>(row_to_try_first(trie, first, second));
        }
    return trie;
}

constexpr KeywordTrie KEYWORD_TRIE = build_keyword_trie();

// The test of an entry's name, its bytes placed as a word loaded from memory holds them.
constexpr NameTest test_of(const KeywordEntry &entry) {
    NameTest test{0, 0, 0, entry.token, 0};
    for (; entry.name[test.length] != 0; test.length++) {
        auto b = static_cast<unsigned char>(entry.name[test.length]);
        std::uint64_t letter = b >= 'A' && b <= 'Z' ? 0x20 : 0;
        int shift =
            std::endian::native == std::endian::little ? 8 * test.length : 8 * (7 - test.length);
        test.fold |= letter << shift;
        test.mask |= std::uint64_t{0xFF} << shift;
        test.name |= (b | letter) << shift;
    }
    return test;
}

struct NameTests {
    NameTest of[KEYWORD_COUNT + 1]; // the rows', then NO_NAME's, which no text passes
};

constexpr NameTests find_name_tests() {
    NameTests tests{};
    for (int row = 0; row < KEYWORD_COUNT; row++)
        tests.of[row] = test_of(KEYWORDS[row]);
    tests.of[NO_NAME] = {0, 0, ~std::uint64_t{0}, 0, 0};
    return tests;
}

constexpr NameTests NAME_TESTS = find_name_tests();

// The row tried first by the low seven bits of a text's first two bytes:
// indexed by the bytes themselves the test waits for one load less than by
// their classes. A byte from 0x80 up is in no name, and taken for another
// byte it only picks another name to test, which the test then refuses.
struct FirstTries {
    std::uint8_t by_bytes[128][128];
};

constexpr FirstTries find_first_tries() {
    FirstTries tries{};
    for (int first = 0; first < 128; first++)
        for (int second = 0; second < 128; second++)
            tries.by_bytes[first][second] =
                KEYWORD_TRIE
                    .first_try[KEYWORD_TRIE.byte_class[first]][KEYWORD_TRIE.byte_class[second]];
    return tries;
}

constexpr FirstTries FIRST_TRIES = find_first_tries();

constexpr unsigned char DOUBLE_QUOTE = '"';

constexpr std::array<bool, 256> find_plain_bytes() {
    std::array<bool, 256> plain{};
    for (int b = 0; b < 256; b++)
        plain[b] = KEYWORD_TRIE.next[0][KEYWORD_TRIE.byte_class[b]] == 0 && b != DOUBLE_QUOTE &&
                   !is_line_end(static_cast<unsigned char>(b)) && !(b >= 'a' && b <= 'z');
    return plain;
}

struct TokenNames {
    TokenName of[256];
};

constexpr int length_of(const char *name) {
    int length = 0;
    while (name[length] != 0)
        length++;
    return length;
}

// The first row of each token in table order, but a name of letters for
// PRINT: "?" is its short spelling.
constexpr TokenNames find_token_names() {
    TokenNames names{};
    for (const KeywordEntry &entry : KEYWORDS) {
        TokenName &name = names.of[entry.token];
        if (name.name == nullptr || name.name[0] == '?') name = {entry.name, length_of(entry.name)};
    }
    return names;
}

constexpr TokenNames TOKEN_NAMES = find_token_names();

} // namespace

constexpr bool is_letter(int b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

// A letter needs no look-up before a byte with which no name starts it.
constexpr DirectBytes find_direct_bytes() {
    DirectBytes direct{};
    std::array<bool, 256> plain = find_plain_bytes(); // no byte of a keyword among them
    for (int b = 0; b < 256; b++)
        for (int next = 0; next < 128; next++) {
            std::uint8_t &written = direct.written_as[b][next];
            if (plain[b]) written = static_cast<std::uint8_t>(b);
            if (is_letter(b) &&
                !KEYWORD_TRIE.may_start[KEYWORD_TRIE.byte_class[b]][KEYWORD_TRIE.byte_class[next]])
                written = to_upper(static_cast<unsigned char>(b));
        }
    for (const KeywordEntry &entry : KEYWORDS)
        if (entry.name[1] == 0)
            for (std::uint8_t &written :
                 direct.written_as[static_cast<unsigned char>(entry.name[0])])
                written = static_cast<std::uint8_t>(entry.token);
    return direct;
}

constexpr DirectBytes DIRECT_BYTES = find_direct_bytes();

constexpr bool direct_runs_stop_only_at_letters_quotes_and_line_ends() {
    for (int b = 0; b < 256; b++)
        for (int next = 0; next < 128; next++)
            if (DIRECT_BYTES.written_as[b][next] == 0 && !is_letter(b) && b != DOUBLE_QUOTE &&
                !is_line_end(static_cast<unsigned char>(b)))
                return false;
    return true;
}
static_assert(direct_runs_stop_only_at_letters_quotes_and_line_ends(),
              "the tokenizer tells a run's stops apart by these kinds only");

// A one-byte keyword may skip the look-up only if no longer one starts with its byte.
constexpr bool one_byte_keywords_start_no_other() {
    for (const KeywordEntry &longer : KEYWORDS)
        for (const KeywordEntry &one_byte : KEYWORDS)
            if (longer.name[1] != 0 && one_byte.name[1] == 0 && longer.name[0] == one_byte.name[0])
                return false;
    return true;
}
static_assert(one_byte_keywords_start_no_other(), "no keyword may start with an operator");

// The longest name found in the tree is the first in table order. The
// line's 0x00 is in no name, so the walk stops there at the latest.
std::int32_t match_keyword(const unsigned char *text, int &length) {
    // The first two bytes decide where to look; the second is the line's
    // end at the latest, or the room past it. Most keywords are the name
    // their pair tries first: a test of a word finds them with no branch
    // that depends on the name's length. A pair that starts no name tries a
    // test that never passes, and the may-start check then turns away the
    // quotes, the line's ends and the letters of the program's own names.
    const NameTest &test = NAME_TESTS.of[FIRST_TRIES.by_bytes[text[0] & 0x7F][text[1] & 0x7F]];
    if (((load_word(text) | test.fold) & test.mask) == test.name) {
        length = test.length;
        return test.token;
    }
    int first = KEYWORD_TRIE.byte_class[text[0]];
    if (!KEYWORD_TRIE.may_start[first][KEYWORD_TRIE.byte_class[text[1]]]) return 0;
    int node = KEYWORD_TRIE.next[0][first];
    std::int32_t token = KEYWORD_TRIE.token[node];
    int found_length = 1;
    for (int i = 1;; i++) {
        node = KEYWORD_TRIE.next[node][KEYWORD_TRIE.byte_class[text[i]]];
        if (node == 0) break;
        // Chosen without a branch: whether a name ends here is hard to foresee.
        std::int32_t ending_here = KEYWORD_TRIE.token[node];
        found_length = ending_here != 0 ? i + 1 : found_length;
        token = ending_here != 0 ? ending_here : token;
    }
    if (token != 0) length = found_length;
    return token;
}

TokenName token_name(unsigned char token) {
    return TOKEN_NAMES.of[token];
}
