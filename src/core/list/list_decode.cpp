#include "core/list/list_decode.h"

#include "core/basic/simd.h"
#include <algorithm>
#include <bit>
#include <cstring>

#include "core/basic/charset.h"
#include "core/basic/keyword_table.h"
#include "core/basic/line_text.h"
#include "core/convert/line_convert.h"
#include "core/convert/tokenizer.h"
#include "core/list/body_decoder.h"
#include "core/list/line_number_text.h"

namespace morvane {

namespace {

constexpr unsigned char DOUBLE_QUOTE = '"';
constexpr unsigned char STATEMENT_SEPARATOR = ':';

bool is_token(unsigned char b) {
    return b >= FIRST_TOKEN && b <= LAST_TOKEN;
}

} // namespace

namespace {

// A record being listed: its body, how each of its steps is spelled, how
// its line stands, and where its tokens written by name stand after the
// last decoding.
struct Listing {
    std::uint64_t line_number;
    const unsigned char *body;
    int length;
    Spelling spelling[LONGEST_CHECKED_BODY]; // by the offset of the step's first byte
    // Left out only where a line needs the room: the number (0 may be), the
    // space after it, and the line feed of a line that fills the most a line holds.
    bool number_shown;
    bool separator;
    bool line_feed;
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
static_assert(LISTED_LINE_ROOM >=
              LONGEST_LINE_NUMBER_TEXT + 1 + LONGEST_CHECKED_BODY * LONGEST_STEP_TEXT + 1 + 16);

// Copies the bytes from body on that decode as themselves in the decoder's
// state to line, up to the first that does not (the body's 0x00 at the
// latest); returns how many.
int copy_as_is_run(const BodyDecoder &decoder, const unsigned char *body, unsigned char *line) {
    unsigned char also_stop = run_stop(decoder);
#if defined(MORVANE_SSE2)
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
// Every step of decoding inlined into the loop that writes a line, as the
// decoder lives in a module of its own: a call a byte would cost a tenth of
// the listing's time.
#if defined(__GNUC__)
__attribute__((flatten))
#endif
int decode_line(Listing &listing, unsigned char *line) {
    int written = listing.number_shown ? write_line_number(listing.line_number, line) : 0;
    if (listing.length > 0 && listing.separator) line[written++] = ' ';
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
            decode_spelled(decoder, listing.body[i], next, listing.spelling[i], line + written);
        if (step.token_by_name) listing.by_name[listing.by_name_count++] = i;
        listing.step_bits |= line[written];
        written += step.written;
        i += step.used;
    }
    if (listing.line_feed) line[written++] = '\n';
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

// The last DATA or REM by name before offset, whose items or remark may
// have read on where the record's did not; -1 if there is none.
int data_or_remark_before(const Listing &listing, int offset) {
    int last = -1;
    for (int k = 0; k < listing.by_name_count && listing.by_name[k] < offset; k++)
        if (is_data_or_remark(listing.body[listing.by_name[k]])) last = listing.by_name[k];
    return last;
}

// The token to respell when the line converts back differently from
// offset on: the first one by name with a spelling at or after it, else the
// last DATA or REM by name before it; -1 if there is neither.
int token_to_mend(const Listing &listing, int offset) {
    for (int k = 0; k < listing.by_name_count; k++) {
        int at = listing.by_name[k];
        if (at >= offset && has_spelling(listing.body[at])) return at;
    }
    return data_or_remark_before(listing, offset);
}

// A checked line is converted where it stands, with the room after it to scan past its end.
static_assert(LISTED_LINE_ROOM >= LINE_BUFFER_SIZE + SCAN_PADDING);

// The offset of the body step whose text holds the line's byte at position.
int body_offset_at(const Listing &listing, int position) {
    int at = listing.number_shown ? count_digits(listing.line_number) : 0;
    if (listing.length > 0 && listing.separator) at++;
    BodyDecoder decoder;
    unsigned char text[2 * LONGEST_STEP_TEXT];
    for (int i = 0; i < listing.length;) {
        int next = i + 1 < listing.length ? listing.body[i + 1] : -1;
        DecodedStep step =
            decode_spelled(decoder, listing.body[i], next, listing.spelling[i], text);
        at += step.written;
        if (position < at) return i;
        i += step.used;
    }
    return listing.length;
}

// Where a line that holds a character the target set lacks stops reading back.
int where_unconvertible(const Listing &listing, const unsigned char *line, int line_length) {
    unsigned char text[LINE_BUFFER_SIZE + SCAN_PADDING];
    std::memcpy(text, line, static_cast<std::size_t>(line_length));
    text[line_length] = 0x00;
    return body_offset_at(listing, first_unconvertible_character(text));
}

// How a line holding a character the target set lacks counts: as
// differing from its start, as the respelling rules have always taken it,
// or from the step that wrote the character.
enum class Unconvertible { AT_START, WHERE_WRITTEN };

// Where the conversion of the line's first line_length bytes first differs
// from the record's body; -1 if it gives the body exactly. A line that
// does not read back its own number differs from the start.
int first_difference(const Listing &listing, unsigned char *line, int line_length,
                     Unconvertible unconvertible) {
    unsigned char converted[BODY_ROOM];
    std::int32_t number = 0;
    int length = (listing.step_bits & 0x80) == 0
                     ? convert_ascii_line_with_room(line, line_length, converted, number)
                     : convert_line_in_memory(line, line_length, converted, number);
    if (length < 0)
        return unconvertible == Unconvertible::AT_START
                   ? 0
                   : where_unconvertible(listing, line, line_length);
    if (static_cast<std::uint32_t>(number) != listing.line_number) return 0;
    int common = length < listing.length ? length : listing.length;
    if (std::memcmp(converted, listing.body, static_cast<std::size_t>(common)) == 0)
        return length == listing.length ? -1 : common;
    int i = 0;
    while (converted[i] == listing.body[i])
        i++;
    return i;
}

// What first_difference gives for a line that converts back whole, and
// what stands for it where a line is too long to be checked.
constexpr int NONE = -1;
constexpr int TOO_LONG = -2;

enum class Respelling { SHORTEN, MEND };

// Walks the steps as decode_line does and moves those at or after from,
// from the front, to their shortest spelling: to shorten, each that gets
// shorter, until excess bytes are saved; to mend, the first token whose
// text changes (a character reads back as itself however it is written).
// DATA and REM stay by name, as the items after them do. Returns the bytes
// saved, or 1 once a token was mended; 0 if none could be moved.
int spell_shortest(Listing &listing, int from, Respelling aim, int excess) {
    BodyDecoder decoder;
    unsigned char now_text[2 * LONGEST_STEP_TEXT], shortest_text[2 * LONGEST_STEP_TEXT];
    int saved = 0;
    for (int i = 0; i < listing.length;) {
        int next = i + 1 < listing.length ? listing.body[i + 1] : -1;
        unsigned char b = listing.body[i];
        bool token = decoder.state == BodyState::NORMAL && is_token(b);
        bool keeps_name = token && is_data_or_remark(b);
        bool may_move = aim == Respelling::SHORTEN || token;
        BodyDecoder shortest_decoder = decoder;
        DecodedStep now = decode_spelled(decoder, b, next, listing.spelling[i], now_text);
        if (i < from || keeps_name || !may_move || listing.spelling[i] == SHORTEST) {
            i += now.used;
            continue;
        }
        DecodedStep shortest = decode_spelled(shortest_decoder, b, next, SHORTEST, shortest_text);
        // A pair's mark written on its own is one byte.
        int before = now.written + (shortest.used > now.used ? 1 : 0);
        bool changes = shortest.written != now.written ||
                       std::memcmp(now_text, shortest_text, static_cast<std::size_t>(now.written));
        bool helps = aim == Respelling::MEND ? changes : shortest.written < before;
        if (!helps) {
            i += now.used;
            continue;
        }
        listing.spelling[i] = SHORTEST;
        if (aim == Respelling::MEND) return 1;
        saved += before - shortest.written;
        if (saved >= excess) return saved;
        decoder = shortest_decoder;
        i += shortest.used;
    }
    return saved;
}

bool is_digit_or_space(unsigned char c) {
    return c == ' ' || (c >= '0' && c <= '9');
}

// A line's first bytes that the converter takes for a byte-order mark.
bool starts_like_byte_order_mark(const unsigned char *line, int length) {
    return length >= 3 && line[0] == 0xEF && line[1] == 0xBB && line[2] == 0xBF;
}

// Makes a line that is too long for the converter shorter, where it can
// still read back: steps at their shortest, then the separating space
// where the body cannot run into the number, then the line feed of a line
// that fills the most a line holds (the converter cuts it there and reads
// on), then the number of line 0. False if nothing is left to leave out.
bool shorten_further(Listing &listing, const unsigned char *line, int line_length) {
    int excess = line_length - LONGEST_LINE;
    if (spell_shortest(listing, 0, Respelling::SHORTEN, excess) > 0) return true;
    int body_start = listing.number_shown ? count_digits(listing.line_number) + 1 : 1;
    if (listing.separator && listing.length > 0 && !is_digit_or_space(line[body_start])) {
        listing.separator = false;
        return true;
    }
    if (listing.line_feed && excess == 1) {
        listing.line_feed = false;
        return true;
    }
    int digits = count_digits(listing.line_number);
    bool unnumbered_safe =
        listing.separator || !starts_like_byte_order_mark(line + digits, line_length - digits);
    if (listing.number_shown && listing.line_number == 0 && unnumbered_safe) {
        listing.number_shown = false;
        return true;
    }
    return false;
}

// Starts a record's listing with every step first spelled, and the line whole.
void start_listing(Listing &listing, std::uint64_t line_number, const unsigned char *body,
                   int length) {
    listing.line_number = line_number;
    listing.body = body;
    listing.length = length;
    listing.number_shown = listing.separator = listing.line_feed = true;
    std::memset(listing.spelling, BY_NAME, static_cast<std::size_t>(length));
}

// The respelling rules: while a line is too long, the first token by name
// with a spelling that is not DATA or REM is respelled; while it converts
// back differently, the token token_to_mend names. False when none is left.
bool respell_by_rules(Listing &listing, int differs) {
    int respell = differs == TOO_LONG ? token_to_shorten(listing) : token_to_mend(listing, differs);
    if (respell < 0) return false;
    listing.spelling[respell] = SPELLED;
    return true;
}

// The further ways, where the respelling rules leave a line too long or
// not reading back: every token and byte the converter passes through as
// itself; the line's number, separating space and line feed left out where
// the room is needed. False when none is left.
bool respell_further(Listing &listing, const unsigned char *line, int line_length, int differs) {
    if (differs == TOO_LONG) return shorten_further(listing, line, line_length);
    if (spell_shortest(listing, differs, Respelling::MEND, 0) > 0) return true;
    int respell = data_or_remark_before(listing, differs);
    if (respell < 0) return false;
    listing.spelling[respell] = SPELLED;
    return true;
}

} // namespace

ListedLine list_short_record(std::uint64_t line_number, const unsigned char *body, int length,
                             unsigned char *line) {
    // The respelling rules first; where they cannot mend a line, the further
    // ways, from the line's first spelling on; where those cannot either,
    // the line as the rules left it, with where it stops reading back.
    enum class Way { BY_RULES, FURTHER, AS_LEFT } way = Way::BY_RULES;
    Listing listing, as_left; // the offsets by name are written before they are read
    start_listing(listing, line_number, body, length);
    for (;;) {
        int line_length = decode_line(listing, line);
        // The converter reads only the first LONGEST_LINE bytes of a longer line.
        unsigned char cut[LINE_BUFFER_SIZE + SCAN_PADDING]; // the check writes past its end
        int differs = TOO_LONG;
        if (line_length <= LONGEST_LINE || way == Way::AS_LEFT) {
            unsigned char *checked = line;
            if (line_length > LONGEST_LINE)
                checked = static_cast<unsigned char *>(std::memcpy(cut, line, LONGEST_LINE));
            differs = first_difference(listing, checked, std::min(line_length, LONGEST_LINE),
                                       way == Way::BY_RULES ? Unconvertible::AT_START
                                                            : Unconvertible::WHERE_WRITTEN);
            if (differs < 0 && line_length > LONGEST_LINE) differs = length;
        }
        if (way == Way::AS_LEFT || differs == NONE) return {line_length, differs};
        if (way == Way::BY_RULES ? respell_by_rules(listing, differs)
                                 : respell_further(listing, line, line_length, differs))
            continue;
        if (way == Way::BY_RULES) {
            as_left = listing;
            start_listing(listing, line_number, body, length);
            way = Way::FURTHER;
        } else {
            listing = as_left;
            way = Way::AS_LEFT;
        }
    }
}

} // namespace morvane
