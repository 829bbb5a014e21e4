#include "core/basic/line_references.h"

#include <algorithm>

#include "core/basic/keyword_table.h"
#include "core/basic/line_text.h"
#include "core/basic/listing_text.h"

namespace morvane {
namespace {

bool is_label_character(unsigned char c) {
    return is_ascii_letter(c) || is_ascii_digit(c) || c == '_';
}

int skip_spaces(const unsigned char *text, int at) {
    while (text[at] == ' ')
        at++;
    return at;
}

// One number or label at text + at; kind NUMBER with end == at if neither stands there.
Reference read_item(const unsigned char *text, int at, std::int32_t token) {
    Reference item{at, at, token, ReferenceKind::NUMBER, 0};
    if (text[at] == '@' && is_ascii_letter(text[at + 1])) {
        item.kind = ReferenceKind::LABEL;
        for (item.end = at + 1; is_label_character(text[item.end]); item.end++) {
        }
        return item;
    }
    for (; is_ascii_digit(text[item.end]); item.end++)
        item.number = std::min<std::uint64_t>(item.number * 10 + (text[item.end] - '0'), 1u << 31);
    return item;
}

bool may_be_computed(std::int32_t token) {
    return token == TOKEN_GOTO || token == TOKEN_GOSUB || token == TOKEN_RESTORE ||
           token == TOKEN_RUN;
}

bool is_operator(unsigned char c) {
    return c == '+' || c == '-' || c == '*' || c == '/' || c == '^';
}

// A range after LIST, LLIST or DELETE: 10, 10-50, -50 or 10-.
int read_range(const unsigned char *text, int at, std::int32_t token, ReferenceFunction found,
               void *context) {
    Reference first = read_item(text, skip_spaces(text, at), token);
    if (first.end > first.start) {
        found(context, first);
        at = first.end;
    }
    int dash = skip_spaces(text, at);
    if (text[dash] != '-') return at;
    Reference last = read_item(text, skip_spaces(text, dash + 1), token);
    if (last.end == last.start) return dash + 1;
    found(context, last);
    return last.end;
}

} // namespace

bool is_reference_token(std::int32_t token) {
    switch (token) {
    case TOKEN_GOTO:
    case TOKEN_GOSUB:
    case TOKEN_THEN:
    case TOKEN_RESTORE:
    case TOKEN_RUN:
    case TOKEN_LIST:
    case TOKEN_LLIST:
    case TOKEN_DELETE:
        return true;
    default:
        return false;
    }
}

int read_references(const unsigned char *text, int at, std::int32_t token, ReferenceFunction found,
                    void *context) {
    if (token == TOKEN_LIST || token == TOKEN_LLIST || token == TOKEN_DELETE)
        return read_range(text, at, token, found, context);
    bool list = token == TOKEN_GOTO || token == TOKEN_GOSUB;
    for (;;) {
        int start = skip_spaces(text, at);
        Reference item = read_item(text, start, token);
        bool nothing = item.end == start;
        int after = skip_spaces(text, item.end);
        bool expression = nothing ? is_ascii_letter(text[start]) || text[start] == '('
                                  : item.kind == ReferenceKind::NUMBER && is_operator(text[after]);
        if (expression && may_be_computed(token)) {
            found(context, {start, start + 1, token, ReferenceKind::COMPUTED, 0});
            return start;
        }
        if (nothing) return at;
        found(context, item);
        if (!list || text[after] != ',') return item.end;
        at = after + 1;
    }
}

void find_references(const unsigned char *text, int at, ReferenceFunction found, void *context) {
    while (!is_line_end(text[at])) {
        unsigned char c = text[at];
        if (c == '"') {
            for (at++; text[at] != '"' && !is_line_end(text[at]); at++) {
            }
            if (text[at] == '"') at++;
            continue;
        }
        int length = 0;
        std::int32_t token = c > '"' ? match_keyword(text + at, length) : 0;
        if (token == 0) {
            at++;
            continue;
        }
        at += length;
        if (token == TOKEN_REM) return;
        if (token == TOKEN_DATA) {
            bool quoted = false;
            for (; !is_line_end(text[at]); at++) {
                if (text[at] == '"') quoted = !quoted;
                if (text[at] == ':' && !quoted) break;
            }
            if (text[at] == ':') at++;
        }
        if (is_reference_token(token)) at = read_references(text, at, token, found, context);
    }
}

} // namespace morvane
