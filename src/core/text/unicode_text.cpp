#include "core/text/unicode_text.h"

#include <algorithm>
#include <cstring>

#include "core/basic/word_scan.h"
#include "core/text/unicode_table.h"

namespace morvane {

bool encoding_named(const char *name, EncodingChoice &choice) {
    if (std::strcmp(name, "utf-8") == 0) {
        choice = EncodingChoice::UTF_8;
        return true;
    }
    if (std::strcmp(name, "shift_jis") == 0) {
        choice = EncodingChoice::SHIFT_JIS;
        return true;
    }
    return false;
}

int shift_jis_spelling(std::uint32_t code_point) {
    if (code_point < 0x80) return static_cast<int>(code_point);
    if (code_point >= FIRST_RAW_BYTE && code_point <= LAST_RAW_BYTE)
        return static_cast<int>(code_point - RAW_BYTE_BASE);
    const UnicodeSpelling *end = SPELLINGS + SPELLING_COUNT;
    const UnicodeSpelling *found =
        std::lower_bound(SPELLINGS, end, code_point, [](const UnicodeSpelling &s, std::uint32_t c) {
            return s.code_point < c;
        });
    return found != end && found->code_point == code_point ? found->shift_jis : NOT_IN_SET;
}

std::uint32_t code_point_of_shift_jis(unsigned lead, unsigned trail) {
    auto code = static_cast<std::uint16_t>(lead << 8 | trail);
    const ShiftJisDecoding *end = DECODED + DECODED_COUNT;
    const ShiftJisDecoding *found =
        std::lower_bound(DECODED, end, code, [](const ShiftJisDecoding &d, std::uint16_t c) {
            return d.shift_jis < c;
        });
    return found != end && found->shift_jis == code ? found->code_point : 0;
}

namespace {

bool is_continuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// A character's length by its first byte, and the lowest code point that
// length may spell; 0 for a byte no character starts with.
struct Lead {
    int length;
    std::uint32_t lowest;
    std::uint32_t bits;
};

Lead lead_of(unsigned char b) {
    if (b < 0x80) return {1, 0, b};
    if (b >= 0xC2 && b <= 0xDF) return {2, 0x80, b & 0x1Fu};
    if (b >= 0xE0 && b <= 0xEF) return {3, 0x800, b & 0x0Fu};
    if (b >= 0xF0 && b <= 0xF4) return {4, 0x10000, b & 0x07u};
    return {0, 0, 0};
}

} // namespace

int decode_utf8(const unsigned char *bytes, std::size_t available, std::uint32_t &code_point) {
    Lead lead = lead_of(bytes[0]);
    if (lead.length == 0 || static_cast<std::size_t>(lead.length) > available) return 0;
    std::uint32_t value = lead.bits;
    for (int i = 1; i < lead.length; i++) {
        if (!is_continuation(bytes[i])) return 0;
        value = value << 6 | (bytes[i] & 0x3Fu);
    }
    bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (value < lead.lowest || value > 0x10FFFF || surrogate) return 0;
    code_point = value;
    return lead.length;
}

int encode_utf8(std::uint32_t code_point, unsigned char *out) {
    if (code_point < 0x80) {
        out[0] = static_cast<unsigned char>(code_point);
        return 1;
    }
    if (code_point < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | code_point >> 6);
        out[1] = static_cast<unsigned char>(0x80 | (code_point & 0x3F));
        return 2;
    }
    if (code_point < 0x10000) {
        out[0] = static_cast<unsigned char>(0xE0 | code_point >> 12);
        out[1] = static_cast<unsigned char>(0x80 | (code_point >> 6 & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | (code_point & 0x3F));
        return 3;
    }
    out[0] = static_cast<unsigned char>(0xF0 | code_point >> 18);
    out[1] = static_cast<unsigned char>(0x80 | (code_point >> 12 & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (code_point >> 6 & 0x3F));
    out[3] = static_cast<unsigned char>(0x80 | (code_point & 0x3F));
    return 4;
}

void start_sniffing(EncodingSniffer &sniffer) {
    sniffer = {};
}

namespace {

constexpr unsigned char BYTE_ORDER_MARK[3] = {0xEF, 0xBB, 0xBF};

// The byte-order mark's character: a listing whose only bytes from 0x80 up
// spell it reads the same as before UTF-8 was read, its three bytes as text.
constexpr std::uint32_t ZERO_WIDTH_NO_BREAK_SPACE = 0xFEFF;

// Looks at a character that a block's end cut off, completed by the bytes
// after it; returns how many of those it took.
std::size_t finish_held(EncodingSniffer &sniffer, const unsigned char *bytes, std::size_t length) {
    int needed = lead_of(sniffer.held[0]).length;
    std::size_t taken = 0;
    while (sniffer.held_length < needed && taken < length)
        sniffer.held[sniffer.held_length++] = bytes[taken++];
    if (sniffer.held_length < needed) return taken;
    std::uint32_t code_point = 0;
    if (decode_utf8(sniffer.held, static_cast<std::size_t>(needed), code_point) == 0)
        sniffer.not_utf8 = true;
    if (code_point != ZERO_WIDTH_NO_BREAK_SPACE) sniffer.outside_ascii = true;
    sniffer.held_length = 0;
    return taken;
}

void sniff_characters(EncodingSniffer &sniffer, const unsigned char *bytes, std::size_t length) {
    std::size_t at = 0;
    while (at < length && !sniffer.not_utf8) {
        // ASCII, as most of a listing is, eight bytes at a time.
        while (at + WORD_SIZE <= length && (load_word(bytes + at) & HIGH_BITS) == 0)
            at += WORD_SIZE;
        if (at < length && bytes[at] < 0x80) {
            at++;
            continue;
        }
        if (at == length) break;
        sniffer.high_bytes = true;
        Lead lead = lead_of(bytes[at]);
        std::size_t rest = length - at;
        if (lead.length == 0) {
            sniffer.not_utf8 = true;
        } else if (static_cast<std::size_t>(lead.length) > rest) {
            // Cut off by the block's end: finished by the next block's first bytes.
            std::memcpy(sniffer.held, bytes + at, rest);
            sniffer.held_length = static_cast<int>(rest);
            return;
        } else {
            std::uint32_t code_point = 0;
            int read = decode_utf8(bytes + at, rest, code_point);
            if (read == 0) sniffer.not_utf8 = true;
            if (code_point != ZERO_WIDTH_NO_BREAK_SPACE) sniffer.outside_ascii = true;
            at += static_cast<std::size_t>(read);
        }
    }
}

} // namespace

void sniff(EncodingSniffer &sniffer, const unsigned char *bytes, std::size_t length) {
    if (sniffing_decided(sniffer) || length == 0) return;
    // The mark is looked for across blocks as short as a byte.
    if (sniffer.mark_matched == sniffer.seen) {
        std::size_t k = 0;
        while (sniffer.mark_matched + k < 3 && k < length &&
               bytes[k] == BYTE_ORDER_MARK[sniffer.mark_matched + k])
            k++;
        sniffer.mark_matched += k;
        if (sniffer.mark_matched == 3) {
            sniffer.byte_order_mark = true;
            return;
        }
    }
    std::size_t from = 0;
    if (sniffer.held_length > 0) from = finish_held(sniffer, bytes, length);
    sniffer.seen += length;
    sniff_characters(sniffer, bytes + from, length - from);
}

Encoding sniffed_encoding(const EncodingSniffer &sniffer) {
    if (sniffer.byte_order_mark) return Encoding::UTF_8;
    if (sniffer.not_utf8 || sniffer.held_length > 0) return Encoding::SHIFT_JIS;
    return sniffer.outside_ascii ? Encoding::UTF_8 : Encoding::SHIFT_JIS;
}

Encoding listing_encoding(const unsigned char *listing, std::size_t length) {
    EncodingSniffer sniffer;
    start_sniffing(sniffer);
    sniff(sniffer, listing, length);
    return sniffed_encoding(sniffer);
}

} // namespace morvane
