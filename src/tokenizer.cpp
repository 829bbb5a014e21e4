#include "tokenizer.h"

#include <array>
#include <cstring>

#include "image_format.h"
#include "keyword_table.h"
#include "line_buffer.h"

namespace {

constexpr unsigned char DOUBLE_QUOTE = '"';
constexpr unsigned char STATEMENT_SEPARATOR = ':';

// Writes the bytes from the read cursor up to the first of stops or the
// line's end as they stand, moves the read cursor past them, and returns the
// byte it stopped at. stops always holds the line feed; the line's 0x00
// ends the span too.
unsigned char copy_span_until(const char *stops) {
    const unsigned char *from = line_buffer.text + line_buffer.read_cursor;
    std::size_t length = std::strcspn(reinterpret_cast<const char *>(from), stops);
    write_bytes(from, length);
    line_buffer.read_cursor += static_cast<int>(length);
    return from[length];
}

// Copies the items after DATA as written, up to and including the first
// colon outside quotes, or to the line's end.
void copy_data_items() {
    bool in_quotes = false;
    for (;;) {
        unsigned char stop = copy_span_until(in_quotes ? "\"\n" : ":\"\n");
        if (is_line_end(stop)) break;
        write_byte(next_char());
        if (stop == STATEMENT_SEPARATOR) break;
        in_quotes = !in_quotes;
    }
    commit();
}

// Copies the rest of the line after REM as written.
void copy_remark() {
    copy_span_until("\n");
    commit();
}

// Copies a string literal after its opening quote as written, up to and
// including the closing quote, or to the line's end when it has none.
void copy_string_literal() {
    if (copy_span_until("\"\n") == DOUBLE_QUOTE) write_byte(next_char());
    commit();
}

// For each byte, whether it starts no keyword and is written as it stands:
// not a letter a-z to upper-case, not a quote, not a line's end. A run of
// them needs no look-up. Filled once from the keyword tree before main runs.
std::array<bool, 256> find_plain_bytes() {
    std::array<bool, 256> plain{};
    for (int b = 0; b < 256; b++)
        plain[b] = KEYWORD_TRIE.next[0][KEYWORD_TRIE.byte_class[b]] == 0 && b != DOUBLE_QUOTE &&
                   !is_line_end(static_cast<unsigned char>(b)) && !(b >= 'a' && b <= 'z');
    return plain;
}

const std::array<bool, 256> PLAIN_BYTES = find_plain_bytes();

// Writes the run of plain bytes at the mark and consumes it; false if there is none.
bool copy_plain_run() {
    const unsigned char *from = line_buffer.text + line_buffer.mark;
    int length = 0;
    while (PLAIN_BYTES[from[length]])
        length++;
    if (length == 0) return false;
    write_bytes(from, static_cast<std::size_t>(length));
    advance_mark(length);
    return true;
}

} // namespace

std::int32_t match_keyword() {
    const unsigned char *at = line_buffer.text + line_buffer.mark;
    int node = 0;
    int matched_length = 0;
    std::int32_t token = 0;
    // The line's 0x00 is in no name, so the walk stops there at the latest.
    for (int i = 0;; i++) {
        node = KEYWORD_TRIE.next[node][KEYWORD_TRIE.byte_class[at[i]]];
        if (node == 0) break;
        if (KEYWORD_TRIE.token[node] != 0) {
            token = KEYWORD_TRIE.token[node];
            matched_length = i + 1;
        }
    }
    if (token != 0) advance_mark(matched_length);
    return token;
}

void tokenize_statements() {
    for (;;) {
        if (copy_plain_run()) continue;
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
