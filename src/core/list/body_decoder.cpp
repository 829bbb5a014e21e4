#include "core/list/body_decoder.h"

#include <cstring>

#include "core/basic/charset.h"
#include "core/basic/keyword_table.h"
#include "core/basic/line_text.h"

namespace morvane {

namespace {

constexpr unsigned char DOUBLE_QUOTE = '"';
constexpr unsigned char STATEMENT_SEPARATOR = ':';
constexpr unsigned char FIRST_ESCAPED = 0x31; // the byte after 0x14 for target codes 0x01-0x1F
constexpr unsigned char LAST_ESCAPED = 0x4F;

bool is_token(unsigned char b) {
    return b >= FIRST_TOKEN && b <= LAST_TOKEN;
}

bool is_half_width(unsigned char b) {
    return b >= 0xA1 && b <= 0xDF;
}

// A token has a one-character spelling unless no character gives its code.

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

// How a step is written: the first way, then the ones a line falls back on
// when it does not read back or is too long.
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

DecodedStep decode_shortest(BodyDecoder &decoder, unsigned char b, int next, unsigned char *out);

// One step of decoding; inline, as decode_line takes one for every byte
// that does not stand for itself.

// The converter copies bytes from 0xA0 up as they stand, outside quotes
// too: no keyword holds them, and no two-byte character starts with them.
bool passes_through(unsigned char b) {
    return b >= 0xA0;
}

// A step at SHORTEST: a byte that passes through as itself, a token before
// its sound mark as the marked kana, another token by its spelling where it
// has one; anything else as at first.
DecodedStep decode_shortest(BodyDecoder &decoder, unsigned char b, int next, unsigned char *out) {
    if (passes_through(b)) { // neither a quote nor a separator: the state stays
        out[0] = b;
        return {1, 1, false};
    }
    if (decoder.state != BodyState::NORMAL || !is_token(b))
        return decode_spelled(decoder, b, next, BY_NAME, out);
    std::uint32_t marked = marked_kana(b, next);
    if (marked != 0) return {write_shift_jis(marked, out), 2, false};
    return decode_spelled(decoder, b, next, has_spelling(b) ? SPELLED : BY_NAME, out);
}

} // namespace

bool has_spelling(unsigned char token) {
    return token != TOKEN_OUT && token != TOKEN_CLS;
}

DecodedStep decode_spelled(BodyDecoder &decoder, unsigned char b, int next, Spelling spelling,
                           unsigned char *out) {
    if (spelling == SHORTEST) return decode_shortest(decoder, b, next, out);
    switch (decoder.state) {
    case BodyState::NORMAL:
        if (is_token(b)) return decode_token(decoder, b, spelling == SPELLED, out);
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

DecodedStep decode_step(BodyDecoder &decoder, unsigned char b, int next, bool respelled,
                        unsigned char *out) {
    return decode_spelled(decoder, b, next, respelled ? SPELLED : BY_NAME, out);
}

} // namespace morvane
