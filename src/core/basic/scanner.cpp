#include "core/basic/scanner.h"

#include <cstring>
#include <initializer_list>

#include "core/basic/editor_position.h"
#include "core/basic/keyword_table.h"
#include "core/basic/line_text.h"

namespace morvane {
namespace {

enum Mode : std::uint8_t {
    LINE_START, // a line number or a label line may stand here
    STATEMENTS,
    DATA_ITEMS,  // right after DATA
    REMARK_TEXT, // right after REM
    TARGETS,     // right after GOTO, GOSUB, THEN, RESTORE or RUN, or a comma of their list
    RANGE,       // right after LIST, LLIST or DELETE
    LINE_END,
};

constexpr unsigned char DOUBLE_QUOTE = '"';
constexpr unsigned char STATEMENT_SEPARATOR = ':';

bool is_blank(unsigned char c) {
    return c == ' ' || c == '\t';
}

bool is_label_character(unsigned char c) {
    return is_ascii_letter(c) || is_ascii_digit(c) || c == '_';
}

bool is_operator(unsigned char c) {
    return c == '+' || c == '-' || c == '*' || c == '/' || c == '^';
}

bool may_be_computed(std::int32_t token) {
    return token == TOKEN_GOTO || token == TOKEN_GOSUB || token == TOKEN_RESTORE ||
           token == TOKEN_RUN;
}

int skip_spaces(const unsigned char *text, int at) {
    while (text[at] == ' ')
        at++;
    return at;
}

Item item_of(ItemKind kind, int start, int end, std::int32_t token = 0, std::uint64_t value = 0) {
    return {kind, false, token, start, end, value};
}

// The digits at text + at, ended at the first other byte; end == at if none.
Item read_digits(const unsigned char *text, int at, ItemKind kind) {
    Item item = item_of(kind, at, at);
    std::uint64_t value = 0;
    int end = at;
    // Eighteen digits stay below the limit whatever they are.
    for (; is_ascii_digit(text[end]) && end - at < 18; end++)
        value = value * 10 + static_cast<std::uint64_t>(text[end] - '0');
    for (; is_ascii_digit(text[end]); end++) {
        auto digit = static_cast<std::uint64_t>(text[end] - '0');
        // Below a tenth of the limit, ten times the value and a digit stay below the limit.
        value = value < VALUE_LIMIT / 10 ? value * 10 + digit : VALUE_LIMIT;
    }
    item.end = end;
    item.value = value;
    return item;
}

// One line number or @label where a statement names a line; end == start if neither.
Item read_target(const unsigned char *text, int at, std::int32_t token) {
    Item item = read_digits(text, at, ItemKind::REFERENCE);
    if (item.end == at && text[at] == '@' && is_ascii_letter(text[at + 1])) {
        item.kind = ItemKind::LABEL;
        for (item.end = at + 1; is_label_character(text[item.end]); item.end++) {
        }
    }
    item.token = token;
    return item;
}

void push(LineScan &scan, const Item &item) {
    scan.pending[scan.pending_count++] = item;
}

bool pop(LineScan &scan, Item &item) {
    item = scan.pending[0];
    scan.pending[0] = scan.pending[1];
    scan.pending_count--;
    return true;
}

// @name alone on the line, between spaces or tabs: the label of the next line.
bool scan_label_line(LineScan &scan, Item &item) {
    const unsigned char *text = scan.text;
    int at = 0;
    while (is_blank(text[at]))
        at++;
    if (text[at] != '@' || !is_ascii_letter(text[at + 1])) return false;
    int end = at + 2;
    while (is_label_character(text[end]))
        end++;
    int after = end;
    while (is_blank(text[after]))
        after++;
    if (!is_line_end(text[after])) return false;
    item = item_of(ItemKind::LABEL, at, end);
    scan.mode = LINE_END;
    return true;
}

// The line number and the one space that separates it from the statements.
bool scan_line_start(LineScan &scan, Item &item) {
    if (scan_label_line(scan, item)) return true;
    scan.mode = STATEMENTS;
    item = read_digits(scan.text, 0, ItemKind::LINE_NUMBER);
    if (item.end == 0) return false;
    scan.at = item.end + (scan.text[item.end] == ' ' ? 1 : 0);
    return true;
}

// The keyword's token where a letter starts one, else 0: a letter that
// starts no keyword together with the byte after it needs no look-up.
std::int32_t keyword_at_letter(const unsigned char *text, int &length) {
    return direct_byte(text) != 0 ? 0 : match_keyword(text, length);
}

// A run of letters and digits from a letter, up to the first keyword in it.
int name_end(const unsigned char *text, int at) {
    int length = 0;
    for (at++; is_ascii_letter(text[at]) || is_ascii_digit(text[at]); at++)
        if (is_ascii_letter(text[at]) && keyword_at_letter(text + at, length) != 0) break;
    return at;
}

int string_end(const unsigned char *text, int at) {
    // The text ends at its line feed or a 0x00, where the search stops too.
    at += 1 + static_cast<int>(std::strcspn(reinterpret_cast<const char *>(text) + at + 1, "\"\n"));
    return text[at] == DOUBLE_QUOTE ? at + 1 : at;
}

// What a token asks of the bytes after it, looked up by its byte.
struct TokenModes {
    Mode after[256];
};

constexpr TokenModes find_token_modes() {
    TokenModes modes{};
    for (Mode &mode : modes.after)
        mode = STATEMENTS;
    modes.after[TOKEN_DATA] = DATA_ITEMS;
    modes.after[TOKEN_REM] = REMARK_TEXT;
    for (std::int32_t token : {TOKEN_GOTO, TOKEN_GOSUB, TOKEN_THEN, TOKEN_RESTORE, TOKEN_RUN})
        modes.after[token] = TARGETS;
    for (std::int32_t token : {TOKEN_LIST, TOKEN_LLIST, TOKEN_DELETE})
        modes.after[token] = RANGE;
    return modes;
}

constexpr TokenModes TOKEN_MODES = find_token_modes();

void expect_after_keyword(LineScan &scan, std::int32_t token) {
    scan.mode = TOKEN_MODES.after[token & 0xFF];
    scan.after_token = token;
}

// The item at the scan's place among the statements, as the tokenizer
// takes it: a string, the first keyword in table order, a token's raw
// byte, or one character.
bool scan_statement(LineScan &scan, Item &item) {
    const unsigned char *text = scan.text;
    int at = skip_spaces(text, scan.at);
    unsigned char c = text[at];
    if (is_line_end(c)) {
        scan.mode = LINE_END;
        return false;
    }
    int length = 0;
    std::int32_t token = 0;
    if (c == DOUBLE_QUOTE) {
        item = item_of(ItemKind::STRING, at, string_end(text, at));
    } else if (is_ascii_letter(c)) {
        token = keyword_at_letter(text + at, length);
        item = token != 0 ? item_of(ItemKind::KEYWORD, at, at + length, token)
                          : item_of(ItemKind::NAME, at, name_end(text, at));
    } else if (std::uint8_t direct = direct_byte(text + at); direct != c) {
        // A sign that is a keyword alone: the operators and "?".
        token = direct;
        item = item_of(ItemKind::KEYWORD, at, at + 1, token);
    } else if (c >= FIRST_TOKEN && c <= LAST_TOKEN) {
        // Copied as it stands, where the machine reads it as a token.
        token = c;
        item = item_of(ItemKind::KEYWORD, at, at + 1, token);
    } else if (is_ascii_digit(c)) {
        // Its value is wanted nowhere: an expression's number is no line.
        int end = at + 1;
        while (is_ascii_digit(text[end]))
            end++;
        item = item_of(ItemKind::NUMBER, at, end);
    } else {
        item = item_of(ItemKind::OTHER, at, at + 1);
    }
    if (scan.computed_next) {
        item.computed_target = true;
        if (item.kind != ItemKind::KEYWORD) item.token = scan.after_token;
        scan.computed_next = false;
    }
    scan.at = item.end;
    if (item.kind == ItemKind::KEYWORD) expect_after_keyword(scan, token);
    // The tokenizer copies a token's raw byte (a character the set shows
    // there: ゅ is REM's byte) and goes on reading statements after it.
    bool raw = c >= FIRST_TOKEN && item.kind == ItemKind::KEYWORD;
    if (raw && (scan.mode == REMARK_TEXT || scan.mode == DATA_ITEMS)) scan.mode = STATEMENTS;
    return true;
}

// The items after DATA up to the colon outside quotes, and that colon.
bool scan_data_items(LineScan &scan, Item &item) {
    const unsigned char *text = scan.text;
    int end = scan.at;
    for (bool quoted = false; !is_line_end(text[end]); end++) {
        if (text[end] == DOUBLE_QUOTE) quoted = !quoted;
        if (text[end] == STATEMENT_SEPARATOR && !quoted) break;
    }
    scan.mode = STATEMENTS;
    bool colon = text[end] == STATEMENT_SEPARATOR;
    if (colon) push(scan, item_of(ItemKind::OTHER, end, end + 1));
    if (end > scan.at) {
        item = item_of(ItemKind::DATA, scan.at, end);
        scan.at = end + (colon ? 1 : 0);
        return true;
    }
    scan.at = end + (colon ? 1 : 0);
    return colon ? pop(scan, item) : scan_statement(scan, item);
}

bool scan_remark(LineScan &scan, Item &item) {
    int end = scan.at;
    while (!is_line_end(scan.text[end]))
        end++;
    scan.mode = LINE_END;
    if (end == scan.at) return false;
    item = item_of(ItemKind::REMARK, scan.at, end);
    return true;
}

// A line number or label after GOTO, GOSUB, THEN, RESTORE or RUN, each of
// the list after GOTO and GOSUB (ON X GOTO 10,20), or the start of a
// computed target, which is scanned as any statement.
bool scan_targets(LineScan &scan, Item &item) {
    const unsigned char *text = scan.text;
    std::int32_t token = scan.after_token;
    int start = skip_spaces(text, scan.at);
    Item target = read_target(text, start, token);
    bool nothing = target.end == start;
    int after = skip_spaces(text, target.end);
    bool expression = nothing ? is_ascii_letter(text[start]) || text[start] == '('
                              : target.kind == ItemKind::REFERENCE && is_operator(text[after]);
    scan.mode = STATEMENTS;
    if (expression && may_be_computed(token)) {
        scan.computed_next = true;
        scan.at = start;
    }
    if (nothing || scan.computed_next) return scan_statement(scan, item);
    item = target;
    scan.at = target.end;
    if ((token == TOKEN_GOTO || token == TOKEN_GOSUB) && text[after] == ',') {
        push(scan, item_of(ItemKind::OTHER, after, after + 1));
        scan.at = after + 1;
        scan.mode = TARGETS;
    }
    return true;
}

// A range after LIST, LLIST or DELETE: 10, 10-50, -50 or 10-.
bool scan_range(LineScan &scan, Item &item) {
    const unsigned char *text = scan.text;
    std::int32_t token = scan.after_token;
    Item first = read_target(text, skip_spaces(text, scan.at), token);
    bool has_first = first.end > first.start;
    if (has_first) scan.at = first.end;
    scan.mode = STATEMENTS;
    int dash = skip_spaces(text, scan.at);
    if (text[dash] == '-') {
        Item last = read_target(text, skip_spaces(text, dash + 1), token);
        if (last.end > last.start) {
            push(scan, item_of(ItemKind::KEYWORD, dash, dash + 1, TOKEN_MINUS));
            push(scan, last);
            scan.at = last.end;
        }
    }
    if (has_first) {
        item = first;
        return true;
    }
    return scan.pending_count > 0 ? pop(scan, item) : scan_statement(scan, item);
}

} // namespace

Item line_number_item(const unsigned char *text) {
    return read_digits(text, 0, ItemKind::LINE_NUMBER);
}

std::uint32_t wrapped_line_number(const unsigned char *text, const Item &number,
                                  bool &over_32_bits) {
    over_32_bits = false;
    // Held at VALUE_LIMIT, the value is exact below it.
    if (number.value <= 0xFFFFFFFFu) return static_cast<std::uint32_t>(number.value);
    std::uint64_t value = 0;
    for (int at = number.start; at < number.end; at++) {
        value = value * 10 + static_cast<std::uint64_t>(text[at] - '0');
        over_32_bits = over_32_bits || value > 0xFFFFFFFFu;
        value &= 0xFFFFFFFFu;
    }
    return static_cast<std::uint32_t>(value);
}

bool is_jump_token(std::int32_t token) {
    return token == TOKEN_GOTO || token == TOKEN_GOSUB || token == TOKEN_THEN ||
           token == TOKEN_RESTORE || token == TOKEN_RUN;
}

bool is_on_error(const unsigned char *text, const Item *items, int index) {
    if (index < 2) return false;
    const Item &on = items[index - 2], &err = items[index - 1], &keyword_or = items[index];
    bool named_err = err.kind == ItemKind::NAME && err.end - err.start == 3 &&
                     (text[err.start] | 0x20) == 'e' && (text[err.start + 1] | 0x20) == 'r' &&
                     (text[err.start + 2] | 0x20) == 'r';
    return on.kind == ItemKind::KEYWORD && on.token == TOKEN_ON && named_err &&
           keyword_or.kind == ItemKind::KEYWORD && keyword_or.token == TOKEN_OR;
}

bool turns_error_trapping_off(const unsigned char *text, const Item *items, int index) {
    const Item &zero = items[index];
    return zero.value == 0 && zero.token == TOKEN_GOTO && index >= 4 &&
           is_on_error(text, items, index - 2);
}

void start_line_scan(LineScan &scan, const unsigned char *text) {
    scan.text = text;
    scan.at = 0;
    scan.mode = LINE_START;
    scan.after_token = 0;
    scan.computed_next = false;
    scan.pending_count = 0;
}

namespace {

inline bool next_item(LineScan &scan, Item &item) {
    if (scan.pending_count == 0 && scan.mode == STATEMENTS) return scan_statement(scan, item);
    if (scan.pending_count > 0) return pop(scan, item);
    switch (scan.mode) {
    case LINE_START:
        if (scan_line_start(scan, item)) return true;
        return scan.mode == STATEMENTS && scan_statement(scan, item);
    case DATA_ITEMS:
        return scan_data_items(scan, item);
    case REMARK_TEXT:
        return scan_remark(scan, item);
    case TARGETS:
        return scan_targets(scan, item);
    case RANGE:
        return scan_range(scan, item);
    default:
        return false;
    }
}

} // namespace

bool scan_item(LineScan &scan, Item &item) {
    return next_item(scan, item);
}

namespace {

// The whole scanner in one loop: a call per item would cost as much as many
// an item's own work.
template <bool COUNT_TARGETS>
#if defined(__GNUC__)
__attribute__((flatten))
#endif
int scan_into(const unsigned char *text, Item *items, int &targets) {
    LineScan scan;
    start_line_scan(scan, text);
    int count = 0;
    for (; next_item(scan, items[count]); count++) {
        const Item &item = items[count];
        if constexpr (COUNT_TARGETS)
            targets += item.kind == ItemKind::REFERENCE || item.computed_target ||
                       (item.kind == ItemKind::LABEL && item.token != 0);
    }
    return count;
}

} // namespace

int scan_line(const unsigned char *text, Item *items) {
    int targets = 0;
    return scan_into<false>(text, items, targets);
}

int scan_line(const unsigned char *text, Item *items, int &targets) {
    targets = 0;
    return scan_into<true>(text, items, targets);
}

} // namespace morvane
