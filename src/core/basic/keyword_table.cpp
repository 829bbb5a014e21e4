#include "core/basic/keyword_table.h"

#include <bit>
#include <initializer_list>

#include "core/basic/line_text.h"
#include "core/basic/word_scan.h"

namespace morvane {

namespace {

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

constexpr bool is_letter(int b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

// A name starts with a letter, or is one byte that starts no other name:
// then a byte other than a letter that starts a name is that name whatever
// follows it.
constexpr bool names_start_with_letters_or_stand_alone() {
    for (const KeywordEntry &entry : KEYWORDS)
        for (const KeywordEntry &other : KEYWORDS)
            if (!is_letter(entry.name[0]) &&
                (entry.name[1] != 0 || (other.name[1] != 0 && other.name[0] == entry.name[0])))
                return false;
    return true;
}
static_assert(names_start_with_letters_or_stand_alone(),
              "a name must start with a letter or be one byte that starts no other");

// A name as a test of a text's first eight bytes at once: the text starts
// with the name when (word | fold) & mask == name.
struct NameTest {
    std::uint64_t fold; // 0x20 in the bytes of letters: a and A test alike
    std::uint64_t mask; // 0xFF in the bytes of the name
    std::uint64_t name; // the name, its letters in lower case
    std::int32_t token;
    int length;
};

// KEYWORDS in groups by their first two bytes (a one-byte name by its one),
// each group a run of tests ended by one that every text passes with token
// 0, built at compile time from the table. A text is tested against the
// group of its own first bytes only.
struct KeywordGroups {
    static constexpr int TEST_LIMIT = 256;
    // By the low seven bits of a text's first two bytes: where its group
    // starts. A byte from 0x80 up is in no name; taken for another byte it
    // picks a group whose tests all refuse it.
    std::uint8_t first_test[128][128];
    NameTest tests[TEST_LIMIT];
    int test_count;
};

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

// The names BASIC programs use most of those that share their first two
// bytes with others (counted over a corpus of real programs), most used
// first. A group tries them first, the rest in table order: most keywords
// are then found by the first test, with no branch that depends on which
// keyword it is.
constexpr const char *MOST_USED_OF_A_GROUP[] = {
    "PRINT", "GOTO", "NEXT", "INT",    "LET",   "REM", "TAB(",
    "POKE",  "DEF",  "STEP", "LOCATE", "COLOR", "CLS", "FILES",
};

constexpr int MOST_USED_COUNT = sizeof MOST_USED_OF_A_GROUP / sizeof MOST_USED_OF_A_GROUP[0];

constexpr bool same_name(const char *a, const char *b) {
    for (int i = 0;; i++) {
        if (a[i] != b[i]) return false;
        if (a[i] == 0) return true;
    }
}

// Each row's place in its group's order: by use, then by row. Worked out
// once, as compilers limit the steps of a constant's evaluation.
struct TryOrder {
    int rank[KEYWORD_COUNT];
};

constexpr TryOrder find_try_order() {
    TryOrder order{};
    for (int row = 0; row < KEYWORD_COUNT; row++) {
        int use = 0; // the name's place among the most used, or after them
        while (use < MOST_USED_COUNT && !same_name(MOST_USED_OF_A_GROUP[use], KEYWORDS[row].name))
            use++;
        order.rank[row] = use * KEYWORD_COUNT + row;
    }
    return order;
}

constexpr TryOrder TRY_ORDER = find_try_order();

constexpr bool in_group(const KeywordEntry &entry, char first, char second) {
    return entry.name[0] == first && (entry.name[1] == 0 || entry.name[1] == second);
}

// Appends the group of the names starting with first and second, in the
// order they are tried, and its end; returns where it starts.
constexpr int add_group(KeywordGroups &groups, char first, char second) {
    int start = groups.test_count;
    for (int last = -1;;) { // the rank of the last name added
        int next = -1;
        for (int row = 0; row < KEYWORD_COUNT; row++)
            if (in_group(KEYWORDS[row], first, second) && TRY_ORDER.rank[row] > last &&
                (next < 0 || TRY_ORDER.rank[row] < TRY_ORDER.rank[next]))
                next = row;
        if (next < 0) break;
        last = TRY_ORDER.rank[next];
        groups.tests[groups.test_count++] = test_of(KEYWORDS[next]);
    }
    groups.tests[groups.test_count++] = NameTest{0, 0, 0, 0, 0};
    return start;
}

constexpr int lower_case(char c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

// Points the texts whose first two bytes are first and second, in either
// case, at a group; second 0 stands for every byte.
constexpr void point_at_group(KeywordGroups &groups, char first, char second, int start) {
    for (int a : {static_cast<int>(first), lower_case(first)})
        for (int b = 0; b < 128; b++)
            if (second == 0 || b == second || b == lower_case(second))
                groups.first_test[a][b] = static_cast<std::uint8_t>(start);
}

constexpr KeywordGroups group_keywords() {
    KeywordGroups groups{};
    add_group(groups, 0, 0); // at 0, where every text starts: an end alone
    for (int row = 0; row < KEYWORD_COUNT; row++) {
        const char *name = KEYWORDS[row].name;
        bool first_of_group = true;
        for (int earlier = 0; earlier < row; earlier++)
            first_of_group &= !in_group(KEYWORDS[earlier], name[0], name[1]);
        if (first_of_group)
            point_at_group(groups, name[0], name[1], add_group(groups, name[0], name[1]));
    }
    return groups;
}

constexpr KeywordGroups KEYWORD_GROUPS = group_keywords();

// A group's first match is the first in table order when every name is
// tried before the names it starts (INPUT before INP, LOCATE before LOC);
// between names of equal use the table's order holds.
constexpr bool longer_names_are_tried_first() {
    for (int longer = 0; longer < KEYWORD_COUNT; longer++)
        for (int shorter = 0; shorter < KEYWORD_COUNT; shorter++)
            if (longer != shorter && starts_with(KEYWORDS[longer], KEYWORDS[shorter]) &&
                TRY_ORDER.rank[shorter] < TRY_ORDER.rank[longer])
                return false;
    return true;
}
static_assert(longer_names_are_tried_first(), "a most used name must not start a longer one");

constexpr unsigned char DOUBLE_QUOTE = '"';

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
        if (name.length == 0 || name.name[0] == '?') name = {entry.name, length_of(entry.name)};
    }
    return names;
}

constexpr TokenNames TOKEN_NAMES = find_token_names();

} // namespace

// The token of the name that starts with the two bytes, or with the first
// alone; 0 if there is none.
constexpr std::int32_t token_starting(int first, int second) {
    return KEYWORD_GROUPS.tests[KEYWORD_GROUPS.first_test[first][second]].token;
}

// What b is written as before next when it needs no look-up; 0 when it does.
constexpr std::uint8_t written_directly(int b, int next) {
    if (b >= 0x80) return static_cast<std::uint8_t>(b); // in no name
    if (is_letter(b))
        return token_starting(b, next) != 0 ? 0 : to_upper(static_cast<unsigned char>(b));
    if (b == DOUBLE_QUOTE || is_line_end(static_cast<unsigned char>(b))) return 0;
    if (token_starting(b, next) != 0) return static_cast<std::uint8_t>(token_starting(b, next));
    return static_cast<std::uint8_t>(b);
}

constexpr DirectBytes find_direct_bytes() {
    DirectBytes direct{};
    for (int b = 0; b < 256; b++)
        for (int next = 0; next < 128; next++)
            direct.written_as[b][next] = written_directly(b, next);
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

std::int32_t match_keyword(const unsigned char *text, int &length) {
    // The second byte is the line's end at the latest, or the room past it;
    // the group's end stops the tests, as every text passes it.
    const NameTest *test =
        KEYWORD_GROUPS.tests + KEYWORD_GROUPS.first_test[text[0] & 0x7F][text[1] & 0x7F];
    std::uint64_t word = load_word(text);
    while (((word | test->fold) & test->mask) != test->name)
        test++;
    if (test->token != 0) length = test->length;
    return test->token;
}

TokenName token_name(unsigned char token) {
    return TOKEN_NAMES.of[token];
}

} // namespace morvane
