#include "list_decode.h"

#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "charset.h"
#include "keyword_table.h"
#include "line_convert.h"
#include "line_text.h"
#include "tokenizer.h"

namespace {

constexpr unsigned char DOUBLE_QUOTE = '"';
constexpr unsigned char STATEMENT_SEPARATOR = ':';
constexpr unsigned char FIRST_TOKEN = 0x80;
constexpr unsigned char LAST_TOKEN = 0xF9;
constexpr unsigned char TOKEN_PRINT = 0x95;
constexpr unsigned char TOKEN_OUT = 0x90;
constexpr unsigned char TOKEN_CLS = 0xA0;
constexpr unsigned char FIRST_ESCAPED = 0x31; // the byte after 0x14 for target codes 0x01-0x1F
constexpr unsigned char LAST_ESCAPED = 0x4F;

bool is_token(unsigned char b) {
    return b >= FIRST_TOKEN && b <= LAST_TOKEN;
}

bool is_half_width(unsigned char b) {
    return b >= 0xA1 && b <= 0xDF;
}

// A token has a one-character spelling unless no character gives its code.
bool has_spelling(unsigned char token) {
    return token != TOKEN_OUT && token != TOKEN_CLS;
}

int write_shift_jis(std::uint32_t code, unsigned char *out) {
    out[0] = static_cast<unsigned char>(code >> 8);
    out[1] = static_cast<unsigned char>(code & 0xFF);
    return 2;
}

bool in_voiced_table(std::uint32_t code, int first, int end) {
    for (int entry = first; entry < end; entry++)
        if (VOICED_TABLE[entry] == code) return true;
    return false;
}

// The Shift_JIS code of a kana with its sound mark, if the target code
// followed by the mark byte next shows one; 0 if not.
std::uint32_t marked_kana(unsigned char code, int next) {
    std::uint32_t plain = CODE_TABLE[code];
    if (next == VOICED_MARK && in_voiced_table(plain + 1, 0, FIRST_SEMI_VOICED_ENTRY))
        return plain + 1;
    if (next == SEMI_VOICED_MARK && in_voiced_table(plain + 2, FIRST_SEMI_VOICED_ENTRY, VU_ENTRY))
        return plain + 2;
    return 0;
}

// Decodes one character: a pair 0x14 X, an ASCII or half-width byte, a
// target code with a Shift_JIS character, or a byte written as it stands.
DecodedStep decode_any_character(unsigned char b, int next, unsigned char *out) {
    if (b == CONTROL_CODE_ESCAPE && next >= FIRST_ESCAPED && next <= LAST_ESCAPED)
        return {write_shift_jis(CODE_TABLE[next - 0x30], out), 2, false};
    if (b < 0x80 || is_half_width(b) || CODE_TABLE[b] == 0) {
        out[0] = b;
        return {1, 1, false};
    }
    std::uint32_t marked = marked_kana(b, next);
    if (marked != 0) return {write_shift_jis(marked, out), 2, false};
    return {write_shift_jis(CODE_TABLE[b], out), 1, false};
}

// The same, with the ASCII bytes other than 0x14 (the quotes, above all)
// written at once: a call returns its step through memory, and reading it
// back whole stalls.
inline DecodedStep decode_character(unsigned char b, int next, unsigned char *out) {
    if (b < 0x80 && b != CONTROL_CODE_ESCAPE) {
        out[0] = b;
        return {1, 1, false};
    }
    return decode_any_character(b, next, out);
}

int write_spelling(unsigned char token, unsigned char *out) {
    if (token == TOKEN_PRINT) {
        out[0] = '?';
        return 1;
    }
    if (is_half_width(token)) {
        out[0] = token;
        return 1;
    }
    return write_shift_jis(CODE_TABLE[token], out);
}

DecodedStep decode_token(BodyDecoder &decoder, unsigned char token, bool respelled,
                         unsigned char *out) {
    if (respelled) return {write_spelling(token, out), 1, false};
    TokenName name = token_name(token);
    // The name's field holds at least LONGEST_STEP_TEXT bytes, and out has room for them.
    std::memcpy(out, name.name, LONGEST_STEP_TEXT);
    if (token == TOKEN_DATA) decoder = {BodyState::DATA, false};
    if (token == TOKEN_REM) decoder.state = BodyState::REMARK;
    return {name.length, 1, true};
}

DecodedStep decode_in_data(BodyDecoder &decoder, unsigned char b, int next, unsigned char *out) {
    if (b == DOUBLE_QUOTE) decoder.in_quotes = !decoder.in_quotes;
    DecodedStep step = decode_character(b, next, out);
    // A separator ends the items also as the second byte of a pair.
    unsigned char last = step.used == 2 ? static_cast<unsigned char>(next) : b;
    if (last == STATEMENT_SEPARATOR && !decoder.in_quotes) decoder.state = BodyState::NORMAL;
    return step;
}

// One step of decoding; inline, as decode_line takes one for every byte
// that does not stand for itself.
inline DecodedStep decode_one(BodyDecoder &decoder, unsigned char b, int next, bool respelled,
                              unsigned char *out) {
    switch (decoder.state) {
    case BodyState::NORMAL:
        if (is_token(b)) return decode_token(decoder, b, respelled, out);
        if (b == DOUBLE_QUOTE) decoder.state = BodyState::STRING;
        return decode_character(b, next, out);
    case BodyState::STRING:
        if (b == DOUBLE_QUOTE) decoder.state = BodyState::NORMAL;
        return decode_character(b, next, out);
    case BodyState::DATA:
        return decode_in_data(decoder, b, next, out);
    case BodyState::REMARK:
        break;
    }
    return decode_character(b, next, out);
}

} // namespace

DecodedStep decode_step(BodyDecoder &decoder, unsigned char b, int next, bool respelled,
                        unsigned char *out) {
    return decode_one(decoder, b, next, respelled, out);
}

int write_line_number(std::uint16_t line_number, unsigned char *out) {
    // Two digits a step: a number is written for every line.
    static const char PAIRS[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "4041424344454647484950515253545556575859606162636465666768697071727374757677787980"
        "81828384858687888990919293949596979899";
    unsigned value = line_number;
    int count = value >= 10000 ? 5 : value >= 1000 ? 4 : value >= 100 ? 3 : value >= 10 ? 2 : 1;
    int at = count;
    for (; value >= 10; value /= 100) {
        at -= 2;
        std::memcpy(out + at, PAIRS + 2 * (value % 100), 2);
    }
    if (at > 0) out[0] = static_cast<unsigned char>('0' + value);
    return count;
}

namespace {

// A record being listed: its body, which of its tokens are respelled, and
// where its tokens written by name stand after the last decoding.
struct Listing {
    std::uint16_t line_number;
    const unsigned char *body;
    int length;
    bool respelled[LONGEST_CHECKED_BODY];
    int by_name[LONGEST_CHECKED_BODY]; // body offsets of the tokens written by name
    int by_name_count;
    // The first bytes of the decoding steps' texts or'ed together: a step
    // that writes a byte from 0x80 up writes one first.
    unsigned char step_bits;
};

// Printable ASCII decodes as itself, but not the quote, nor a colon that
// ends DATA items: the byte returned here stops a run besides the quote.
unsigned char run_stop(const BodyDecoder &decoder) {
    bool outside = decoder.state == BodyState::DATA && !decoder.in_quotes;
    return outside ? STATEMENT_SEPARATOR : DOUBLE_QUOTE;
}

// A line of any checked body, at most a step's text a body byte after its
// number and space, leaves room for a chunk past its end.
static_assert(LISTED_LINE_ROOM >= 6 + LONGEST_CHECKED_BODY * LONGEST_STEP_TEXT + 1 + 16);

// Copies the bytes from body on that decode as themselves in the decoder's
// state to line, up to the first that does not (the body's 0x00 at the
// latest); returns how many.
int copy_as_is_run(const BodyDecoder &decoder, const unsigned char *body, unsigned char *line) {
    unsigned char also_stop = run_stop(decoder);
#if defined(__SSE2__)
    // Sixteen bytes a compare: how long the run is comes out as a count, not
    // as a branch at its end, mispredicted run after run. The image's block
    // and the line have room for a chunk past the body and the line.
    const __m128i quotes = _mm_set1_epi8(DOUBLE_QUOTE);
    const __m128i also_stops = _mm_set1_epi8(static_cast<char>(also_stop));
    for (int copied = 0;; copied += 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(body + copied));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(line + copied), bytes);
        // As signed bytes, those from 0x80 up are below 0x20 too.
        __m128i stops = _mm_or_si128(
            _mm_or_si128(_mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20)),
                         _mm_cmpgt_epi8(bytes, _mm_set1_epi8(0x7E))),
            _mm_or_si128(_mm_cmpeq_epi8(bytes, quotes), _mm_cmpeq_epi8(bytes, also_stops)));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(stops));
        if (mask != 0) return copied + std::countr_zero(mask);
    }
#else
    int copied = 0;
    for (unsigned char b = body[0]; b >= 0x20 && b <= 0x7E && b != DOUBLE_QUOTE && b != also_stop;
         b = body[copied])
        line[copied++] = b;
    return copied;
#endif
}

// Writes the whole line with the current spellings; returns its length.
int decode_line(Listing &listing, unsigned char *line) {
    int written = write_line_number(listing.line_number, line);
    if (listing.length > 0) line[written++] = ' ';
    BodyDecoder decoder;
    listing.by_name_count = 0;
    listing.step_bits = 0;
    for (int i = 0; i < listing.length;) {
        // Most bytes stand for themselves: those go across without a step each.
        int run = copy_as_is_run(decoder, listing.body + i, line + written);
        i += run;
        written += run;
        if (i == listing.length) break;
        int next = i + 1 < listing.length ? listing.body[i + 1] : -1;
        DecodedStep step =
            decode_one(decoder, listing.body[i], next, listing.respelled[i], line + written);
        if (step.token_by_name) listing.by_name[listing.by_name_count++] = i;
        listing.step_bits |= line[written];
        written += step.written;
        i += step.used;
    }
    line[written++] = '\n';
    return written;
}

bool is_data_or_remark(unsigned char token) {
    return token == TOKEN_DATA || token == TOKEN_REM;
}

// The token to respell when the line is too long: the first one by name
// with a spelling that is not DATA or REM; -1 if there is none.
int token_to_shorten(const Listing &listing) {
    for (int k = 0; k < listing.by_name_count; k++) {
        unsigned char token = listing.body[listing.by_name[k]];
        if (has_spelling(token) && !is_data_or_remark(token)) return listing.by_name[k];
    }
    return -1;
}

// The token to respell when the line converts back differently from
// offset on: the first one by name with a spelling at or after it, else the
// last DATA or REM by name before it; -1 if there is neither.
int token_to_mend(const Listing &listing, int offset) {
    int last_data_or_remark = -1;
    for (int k = 0; k < listing.by_name_count; k++) {
        int at = listing.by_name[k];
        unsigned char token = listing.body[at];
        if (at >= offset && has_spelling(token)) return at;
        if (at < offset && is_data_or_remark(token)) last_data_or_remark = at;
    }
    return last_data_or_remark;
}

// A checked line is converted where it stands, with the room after it to scan past its end.
static_assert(LISTED_LINE_ROOM >= LINE_BUFFER_SIZE + SCAN_PADDING);

// Where the line's conversion first differs from the record's body; -1 if
// it gives the body exactly.
int first_difference(const Listing &listing, unsigned char *line, int line_length) {
    unsigned char converted[BODY_ROOM];
    std::int32_t number = 0;
    int length = (listing.step_bits & 0x80) == 0
                     ? convert_ascii_line_with_room(line, line_length, converted, number)
                     : convert_line_in_memory(line, line_length, converted, number);
    if (length < 0) return 0;
    int common = length < listing.length ? length : listing.length;
    if (std::memcmp(converted, listing.body, static_cast<std::size_t>(common)) == 0)
        return length == listing.length ? -1 : common;
    int i = 0;
    while (converted[i] == listing.body[i])
        i++;
    return i;
}

} // namespace

int list_short_record(std::uint16_t line_number, const unsigned char *body, int length,
                      unsigned char *line) {
    Listing listing; // the offsets by name are written before they are read
    listing.line_number = line_number;
    listing.body = body;
    listing.length = length;
    std::memset(listing.respelled, 0, static_cast<std::size_t>(length));
    for (;;) {
        int line_length = decode_line(listing, line);
        int respell = -1;
        if (line_length > LONGEST_LINE) {
            respell = token_to_shorten(listing);
        } else {
            int differs = first_difference(listing, line, line_length);
            if (differs < 0) return line_length;
            respell = token_to_mend(listing, differs);
        }
        if (respell < 0) return line_length; // nothing left to try: written as it stands
        listing.respelled[respell] = true;
    }
}
