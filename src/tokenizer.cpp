#include "tokenizer.h"

#include <cstring>

#include "keyword_table.h"
#include "line_text.h"

namespace {

constexpr unsigned char DOUBLE_QUOTE = '"';
constexpr unsigned char STATEMENT_SEPARATOR = ':';

// A line being tokenized: where it stands in its text and where its record
// body goes. Kept in locals while the line is worked through, since a store
// of a byte through a global pointer would make the compiler fetch every
// global cursor again.
struct Walk {
    const unsigned char *at; // the first byte of the line not yet consumed
    unsigned char *out;      // where the next byte of the body goes
};

void copy_byte(Walk &walk) {
    *walk.out++ = *walk.at++;
}

// Copies the bytes up to the first of stops or the line's end as they stand,
// and returns the byte it stopped at, not consumed. stops always holds the
// line feed; the line's 0x00 ends the span too.
unsigned char copy_span_until(Walk &walk, const char *stops) {
    std::size_t length = std::strcspn(reinterpret_cast<const char *>(walk.at), stops);
    std::memcpy(walk.out, walk.at, length);
    walk.at += length;
    walk.out += length;
    return *walk.at;
}

// Copies the items after DATA as written, up to and including the first
// colon outside quotes, or to the line's end.
void copy_data_items(Walk &walk) {
    bool in_quotes = false;
    for (;;) {
        unsigned char stop = copy_span_until(walk, in_quotes ? "\"\n" : ":\"\n");
        if (is_line_end(stop)) return;
        copy_byte(walk);
        if (stop == STATEMENT_SEPARATOR) return;
        in_quotes = !in_quotes;
    }
}

// Copies the rest of the line after REM as written.
void copy_remark(Walk &walk) {
    copy_span_until(walk, "\n");
}

// Copies a string literal after its opening quote as written, up to and
// including the closing quote, or to the line's end when it has none.
void copy_string_literal(Walk &walk) {
    if (copy_span_until(walk, "\"\n") == DOUBLE_QUOTE) copy_byte(walk);
}

// Copies the run of plain bytes that starts the rest of the line; false if there is none.
bool copy_plain_run(Walk &walk) {
    const unsigned char *start = walk.at;
    while (PLAIN_BYTES[*walk.at])
        copy_byte(walk);
    return walk.at != start;
}

} // namespace

unsigned char *tokenize_statements(const unsigned char *text, unsigned char *out) {
    Walk walk{text, out};
    for (;;) {
        if (copy_plain_run(walk)) continue;
        int length = 0;
        std::int32_t token = match_keyword(walk.at, length);
        if (token != 0) {
            walk.at += length;
            *walk.out++ = static_cast<unsigned char>(token);
            if (token == TOKEN_DATA) copy_data_items(walk);
            if (token == TOKEN_REM) copy_remark(walk);
            continue;
        }
        unsigned char first = *walk.at;
        if (is_line_end(first)) break;
        *walk.out++ = to_upper(first);
        walk.at++;
        if (first == DOUBLE_QUOTE) copy_string_literal(walk);
    }
    *walk.out++ = 0x00; // the line feed itself is never written
    return walk.out;
}
