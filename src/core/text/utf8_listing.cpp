#include "core/text/utf8_listing.h"

#include <algorithm>
#include <cstring>

#include "core/basic/charset.h"
#include "core/basic/line_text.h"
#include "core/basic/word_scan.h"

namespace morvane {
namespace {

constexpr std::uint32_t HALF_WIDTH_BASE = 0xFF61 - 0xA1; // U+FF61 is the byte 0xA1

bool is_lead(unsigned char b) {
    return b >= 0x80 && b <= 0x9F;
}
bool is_half_width(unsigned char b) {
    return b >= 0xA1 && b <= 0xDF;
}

int write_code_point(std::uint32_t code_point, unsigned char *out) {
    return encode_utf8(code_point, out);
}

int write_raw(unsigned char b, unsigned char *out) {
    return b < 0x80 ? (out[0] = b, 1) : encode_utf8(RAW_BYTE_BASE + b, out);
}

// The code point of the Shift_JIS pair where it is a character that reads
// back as the same pair; 0 if not.
std::uint32_t pair_character(unsigned char lead, unsigned char trail) {
    std::uint32_t code_point = code_point_of_shift_jis(lead, trail);
    return code_point != 0 && shift_jis_spelling(code_point) == (lead << 8 | trail) ? code_point
                                                                                    : 0;
}

// The code point of a Shift_JIS character the target set lacks; 0 for a
// pair that is no character, or one that reads as a character of the set.
std::uint32_t outside_character(unsigned char lead, unsigned char trail) {
    std::uint32_t code_point = code_point_of_shift_jis(lead, trail);
    return code_point != 0 && shift_jis_spelling(code_point) == NOT_IN_SET ? code_point : 0;
}

// The full-width character that converts into exactly the target bytes
// given (one byte, or a kana and its mark); 0 if none does.
std::uint32_t full_width(const unsigned char *target, int length) {
    std::uint32_t code = CODE_TABLE[target[0]];
    if (length == 2) {
        code = target[1] == VOICED_MARK ? code + 1 : code + 2;
        if (target[0] == 0xB3 && target[1] == VOICED_MARK) code = 0x8394; // VU, a voiced U
    }
    if (code >> 8 < 0x81 || code >> 8 > 0x9F) return 0;
    unsigned char converted[2];
    int got = convert_two_byte_character(static_cast<unsigned char>(code >> 8),
                                         static_cast<unsigned char>(code & 0xFF), converted);
    if (got != length || std::memcmp(converted, target, static_cast<std::size_t>(length)) != 0)
        return 0;
    return pair_character(static_cast<unsigned char>(code >> 8),
                          static_cast<unsigned char>(code & 0xFF));
}

bool is_mark(unsigned char b) {
    return b == VOICED_MARK || b == SEMI_VOICED_MARK;
}

// How many Shift_JIS bytes the line takes once its kana are widened.
std::size_t widened_length(const unsigned char *line, std::size_t length) {
    std::size_t widened = 0;
    for (std::size_t at = 0; at < length;) {
        unsigned char b = line[at];
        if (is_lead(b) && at + 1 < length) {
            widened += 2;
            at += 2;
        } else if (is_half_width(b)) {
            bool joined = at + 1 < length && is_mark(line[at + 1]) && full_width(line + at, 2) != 0;
            widened += full_width(line + at, 1) != 0 || joined ? 2 : 1;
            at += joined ? 2 : 1;
        } else {
            widened++;
            at++;
        }
    }
    return widened;
}

// Writes the Shift_JIS bytes as UTF-8 at out; returns the length written.
std::size_t write_as_utf8(const unsigned char *text, std::size_t length, bool widen,
                          unsigned char *out, bool characters_outside = false) {
    std::size_t written = 0;
    for (std::size_t at = 0; at < length;) {
        std::size_t ascii = copy_ascii_run(text + at, length - at, out + written);
        at += ascii;
        written += ascii;
        if (at == length) break;
        unsigned char b = text[at];
        if (is_lead(b) && at + 1 < length) {
            std::uint32_t code_point = pair_character(b, text[at + 1]);
            if (code_point == 0 && characters_outside)
                code_point = outside_character(b, text[at + 1]);
            if (code_point != 0) {
                written += static_cast<std::size_t>(write_code_point(code_point, out + written));
            } else {
                written += static_cast<std::size_t>(write_raw(b, out + written));
                written += static_cast<std::size_t>(write_raw(text[at + 1], out + written));
            }
            at += 2;
            continue;
        }
        if (is_half_width(b)) {
            std::uint32_t joined =
                widen && at + 1 < length && is_mark(text[at + 1]) ? full_width(text + at, 2) : 0;
            std::uint32_t single = widen ? full_width(text + at, 1) : 0;
            std::uint32_t code_point = joined != 0   ? joined
                                       : single != 0 ? single
                                                     : HALF_WIDTH_BASE + b;
            written += static_cast<std::size_t>(write_code_point(code_point, out + written));
            at += joined != 0 ? 2 : 1;
            continue;
        }
        written += static_cast<std::size_t>(write_raw(b, out + written));
        at++;
    }
    return written;
}

// Writes the first count bytes of the gathered line on, kana widened where
// the whole line stays within what the converter reads of a line.
void flush_written(Utf8Listing &listing) {
    if (!listing.failed && listing.written_length > 0 &&
        !listing.out.write(listing.out.context, listing.written, listing.written_length))
        listing.failed = true;
    listing.handed_on += listing.written_length;
    listing.written_length = 0;
}

// A Shift_JIS byte becomes at most three UTF-8 bytes (U+F700 + the byte).
constexpr std::size_t MOST_UTF8_PER_BYTE = 3;
static_assert(sizeof(Utf8Listing::written) >= MOST_UTF8_PER_BYTE * UTF8_LINE_ROOM);

void write_gathered(Utf8Listing &listing, std::size_t count, bool whole_line) {
    std::size_t content = count > 0 && listing.line[count - 1] == '\n' ? count - 1 : count;
    // Widening at most doubles a line: only a long one can pass the most
    // the converter reads of a line.
    bool widen = whole_line && (2 * content < LONGEST_LINE ||
                                widened_length(listing.line, content) < LONGEST_LINE);
    if (sizeof listing.written - listing.written_length < MOST_UTF8_PER_BYTE * count)
        flush_written(listing);
    listing.written_length +=
        write_as_utf8(listing.line, count, widen, listing.written + listing.written_length);
    std::memmove(listing.line, listing.line + count, listing.length - count);
    listing.length -= count;
    listing.line_taken += count;
    if (whole_line) {
        listing.line_start_taken = listing.line_taken;
        listing.line_start_written = listing.handed_on + listing.written_length;
    }
}

bool take_listing_bytes(void *context, const unsigned char *bytes, std::size_t size) {
    auto &listing = *static_cast<Utf8Listing *>(context);
    for (std::size_t at = 0; at < size;) {
        if (listing.length == UTF8_LINE_ROOM) {
            // A line longer than the room goes on in pieces, never
            // between a first byte and its second.
            std::size_t count = listing.length;
            if (is_lead(listing.line[count - 1])) count--;
            write_gathered(listing, count, false);
        }
        std::size_t take = std::min(size - at, UTF8_LINE_ROOM - listing.length);
        const void *feed = std::memchr(bytes + at, '\n', take);
        if (feed != nullptr)
            take =
                static_cast<std::size_t>(static_cast<const unsigned char *>(feed) - (bytes + at)) +
                1;
        std::memcpy(listing.line + listing.length, bytes + at, take);
        listing.length += take;
        listing.taken += take;
        at += take;
        if (feed != nullptr) write_gathered(listing, listing.length, true);
    }
    return !listing.failed;
}

// Takes the line back from its start where pieces of it were written on.
bool take_back_line(Utf8Listing &listing) {
    listing.length = 0;
    listing.taken = listing.line_taken = listing.line_start_taken;
    if (listing.line_start_written >= listing.handed_on) {
        listing.written_length =
            static_cast<std::size_t>(listing.line_start_written - listing.handed_on);
        return true;
    }
    listing.written_length = 0;
    if (listing.out.truncate == nullptr ||
        !listing.out.truncate(listing.out.context, listing.line_start_written))
        return false;
    listing.handed_on = listing.line_start_written;
    return true;
}

bool take_back(void *context, std::uint64_t position) {
    auto &listing = *static_cast<Utf8Listing *>(context);
    if (position > listing.taken) return false;
    if (position < listing.line_taken)
        return position == listing.line_start_taken && take_back_line(listing);
    listing.length = static_cast<std::size_t>(position - listing.line_taken);
    listing.taken = position;
    return true;
}

bool pass_sniffed(void *context, const unsigned char *bytes, std::size_t size) {
    auto &listing = *static_cast<SniffedListing *>(context);
    sniff(listing.sniffer, bytes, size);
    return listing.out.write(listing.out.context, bytes, size);
}

bool truncate_sniffed(void *context, std::uint64_t position) {
    auto &listing = *static_cast<SniffedListing *>(context);
    return listing.out.truncate != nullptr && listing.out.truncate(listing.out.context, position);
}

} // namespace

Sink utf8_listing_sink(Utf8Listing &listing, Sink out) {
    listing.out = out;
    listing.taken = listing.line_taken = 0;
    listing.length = listing.written_length = 0;
    listing.handed_on = listing.line_start_taken = listing.line_start_written = 0;
    listing.failed = false;
    return {take_listing_bytes, take_back, &listing};
}

bool finish_utf8_listing(Utf8Listing &listing) {
    if (listing.length > 0) write_gathered(listing, listing.length, true);
    flush_written(listing);
    return !listing.failed;
}

std::size_t shift_jis_text_as_utf8(const unsigned char *text, std::size_t length,
                                   unsigned char *out, bool characters_outside) {
    std::size_t written = write_as_utf8(text, length, false, out, characters_outside);
    out[written] = 0x00;
    return written;
}

std::size_t shift_jis_name_as_utf8(const unsigned char *text, std::size_t length,
                                   unsigned char *out) {
    std::size_t written = write_as_utf8(text, length, true, out);
    out[written] = 0x00;
    return written;
}

Sink sniffed_listing_sink(SniffedListing &listing, Sink out) {
    listing.out = out;
    start_sniffing(listing.sniffer);
    return {pass_sniffed, out.truncate == nullptr ? nullptr : truncate_sniffed, &listing};
}

} // namespace morvane
