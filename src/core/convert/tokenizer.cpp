#include "core/convert/tokenizer.h"

#include "core/basic/simd.h"
#include <bit>
#include <cstring>

#include "core/basic/keyword_table.h"
#include "core/basic/line_text.h"

namespace morvane {

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

// Copies the bytes up to the first of the stop bytes or the line's end (its
// line feed or 0x00) as they stand, and returns the byte it stopped at, not
// consumed.
unsigned char copy_span_until(Walk &walk, unsigned char stop, unsigned char other_stop) {
#if defined(MORVANE_SSE2)
    // Sixteen bytes at a time: a span runs twelve bytes on average. The
    // bytes copied past the stop are overwritten or left beyond the body,
    // and the line's end is always found, so no chunk starts past it.
    const __m128i line_feed = _mm_set1_epi8('\n');
    const __m128i stops = _mm_set1_epi8(static_cast<char>(stop));
    const __m128i other_stops = _mm_set1_epi8(static_cast<char>(other_stop));
    for (;;) {
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(walk.at));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(walk.out), chunk);
        __m128i hits = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(chunk, line_feed),
                         _mm_cmpeq_epi8(chunk, _mm_setzero_si128())),
            _mm_or_si128(_mm_cmpeq_epi8(chunk, stops), _mm_cmpeq_epi8(chunk, other_stops)));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
        if (mask != 0) {
            int length = std::countr_zero(mask);
            walk.at += length;
            walk.out += length;
            return *walk.at;
        }
        walk.at += 16;
        walk.out += 16;
    }
#else
    const char stops[] = {static_cast<char>(stop), static_cast<char>(other_stop), '\n', 0};
    std::size_t length = std::strcspn(reinterpret_cast<const char *>(walk.at), stops);
    std::memcpy(walk.out, walk.at, length);
    walk.at += length;
    walk.out += length;
    return *walk.at;
#endif
}

// Copies the items after DATA as written, up to and including the first
// colon outside quotes, or to the line's end.
void copy_data_items(Walk &walk) {
    bool in_quotes = false;
    for (;;) {
        unsigned char stop =
            copy_span_until(walk, DOUBLE_QUOTE, in_quotes ? DOUBLE_QUOTE : STATEMENT_SEPARATOR);
        if (is_line_end(stop)) return;
        copy_byte(walk);
        if (stop == STATEMENT_SEPARATOR) return;
        in_quotes = !in_quotes;
    }
}

// Copies the rest of the line after REM as written.
void copy_remark(Walk &walk) {
    copy_span_until(walk, '\n', '\n');
}

// Copies a string literal after its opening quote as written, up to and
// including the closing quote, or to the line's end when it has none.
void copy_string_literal(Walk &walk) {
    if (copy_span_until(walk, DOUBLE_QUOTE, DOUBLE_QUOTE) == DOUBLE_QUOTE) copy_byte(walk);
}

// Writes the run of bytes, if any, that start the rest of the line and need
// no look-up: plain ones and the letters that start no keyword as they
// stand, operators as their tokens. One loop for all, as they alternate in
// most statements (X=Y+1): every byte that leaves it costs a mispredicted
// branch, which on real statements weighs more than the instructions.
void copy_direct_run(Walk &walk) {
    // Counted from the run's start, so that each byte costs one step of a
    // single index instead of two pointers.
    std::size_t i = 0;
    for (std::uint8_t out; (out = direct_byte(walk.at + i)) != 0; i++)
        walk.out[i] = out;
    walk.at += i;
    walk.out += i;
}

} // namespace

unsigned char *tokenize_statements(const unsigned char *text, unsigned char *out) {
    Walk walk{text, out};
    for (;;) {
        copy_direct_run(walk);
        // The run stops at a letter a keyword may start with, a quote or the
        // line's end: the letters are the ones above the quote, so one
        // compare of the byte at hand tells them apart.
        unsigned char first = *walk.at;
        if (first > DOUBLE_QUOTE) {
            int length = 0;
            std::int32_t token = match_keyword(walk.at, length);
            if (token == 0) {
                *walk.out++ = to_upper(first);
                walk.at++;
                continue;
            }
            walk.at += length;
            *walk.out++ = static_cast<unsigned char>(token);
            if (token == TOKEN_DATA) copy_data_items(walk);
            if (token == TOKEN_REM) copy_remark(walk);
            continue;
        }
        if (is_line_end(first)) break;
        copy_byte(walk);
        copy_string_literal(walk);
    }
    *walk.out++ = 0x00; // the line feed itself is never written
    return walk.out;
}

} // namespace morvane
