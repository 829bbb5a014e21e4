#include "tokenizer.h"

#include "image_format.h"
#include "keyword_table.h"
#include "line_buffer.h"

namespace {

constexpr unsigned char DOUBLE_QUOTE = '"';
constexpr unsigned char STATEMENT_SEPARATOR = ':';

// Returns the length of name when text starts with it (the first byte is
// already known to match), else 0. Comparison stops at the first
// difference, so it never reads past the line's terminating 0x00.
int matched_length(const char *name, const unsigned char *text) {
    int i = 1;
    for (; name[i] != 0; i++)
        if (to_upper(text[i]) != static_cast<unsigned char>(name[i])) return 0;
    return i;
}

// Copies the items after DATA as written, up to and including the first
// colon outside quotes, or to the line's end.
void copy_data_items() {
    bool in_quotes = false;
    for (unsigned char c = next_char();; c = next_char()) {
        if (is_line_end(c)) {
            step_back(1);
            break;
        }
        write_byte(c);
        if (c == STATEMENT_SEPARATOR && !in_quotes) break;
        if (c == DOUBLE_QUOTE) in_quotes = !in_quotes;
    }
    commit();
}

// Copies the rest of the line after REM as written.
void copy_remark() {
    for (unsigned char c = next_char(); !is_line_end(c); c = next_char())
        write_byte(c);
    step_back(1);
    commit();
}

// Copies a string literal after its opening quote as written, up to and
// including the closing quote, or to the line's end when it has none.
void copy_string_literal() {
    for (unsigned char c = next_char();; c = next_char()) {
        if (is_line_end(c)) {
            step_back(1);
            break;
        }
        write_byte(c);
        if (c == DOUBLE_QUOTE) break;
    }
    commit();
}

} // namespace

std::int32_t match_keyword() {
    const unsigned char *at = line_buffer.text + line_buffer.mark;
    unsigned char first = to_upper(at[0]);
    for (int i = KEYWORD_INDEX.start[first]; i < KEYWORD_INDEX.start[first + 1]; i++) {
        const KeywordEntry &entry = KEYWORDS[KEYWORD_INDEX.rows[i]];
        int length = matched_length(entry.name, at);
        if (length > 0) {
            advance_mark(length);
            return entry.token;
        }
    }
    return 0;
}

void tokenize_statements() {
    for (;;) {
        std::int32_t token = match_keyword();
        if (token != 0) {
            commit();
            write_byte(static_cast<unsigned>(token));
            if (token == TOKEN_DATA) copy_data_items();
            if (token == TOKEN_REM) copy_remark();
            continue;
        }
        unsigned char first = line_buffer.text[line_buffer.mark];
        if (is_line_end(first)) {
            write_byte(0x00);
            return;
        }
        emit_at_mark();
        if (first == DOUBLE_QUOTE) copy_string_literal();
    }
}
