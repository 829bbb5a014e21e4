// Listings in Unicode: which encoding a listing is in, what a code point
// is read as, and UTF-8 itself. The rest of the core reads Shift_JIS bytes
// (the bytes the converter was made for): a UTF-8 listing is read as the
// Shift_JIS bytes that spell the same characters.
#pragma once

#include <cstddef>
#include <cstdint>

namespace morvane {

enum class Encoding : std::uint8_t { SHIFT_JIS, UTF_8 };

// What a run was told of its listing's encoding: nothing (the listing's
// bytes decide), or one of the two.
enum class EncodingChoice : std::uint8_t { BY_CONTENT, SHIFT_JIS, UTF_8 };

// "utf-8" or "shift_jis"; false, choice untouched, for any other name.
bool encoding_named(const char *name, EncodingChoice &choice);

// A byte from 0x80 up that stands for no character is written in a UTF-8
// listing as this code point plus the byte; every code point from here to
// here + 0xFF is read back as its low byte.
constexpr std::uint32_t RAW_BYTE_BASE = 0xF700;
constexpr std::uint32_t FIRST_RAW_BYTE = RAW_BYTE_BASE + 0x80;
constexpr std::uint32_t LAST_RAW_BYTE = RAW_BYTE_BASE + 0xFF;

// What a code point is read as: its Shift_JIS code, a byte below 0x100 or
// lead * 256 + trail, where the target set holds the character or the code
// point stands for a byte; NOT_IN_SET otherwise.
constexpr int NOT_IN_SET = -1;
int shift_jis_spelling(std::uint32_t code_point);

// The code point of a two-byte Shift_JIS character; 0 if the code is none.
std::uint32_t code_point_of_shift_jis(unsigned lead, unsigned trail);

// Reads one UTF-8 character from bytes (available > 0): its length, 1 to 4,
// and its code point; 0 if the bytes are not one (an overlong form, a
// surrogate, a code point above U+10FFFF, a sequence cut short).
int decode_utf8(const unsigned char *bytes, std::size_t available, std::uint32_t &code_point);

// Writes the code point as UTF-8 at out (room for four bytes); its length.
int encode_utf8(std::uint32_t code_point, unsigned char *out);

// Tells, byte after byte, whether a listing is read as UTF-8: it is when it
// starts with the byte-order mark, or when it is valid UTF-8 and holds a
// character outside ASCII other than U+FEFF; otherwise it is read as Shift_JIS.
struct EncodingSniffer {
    std::size_t seen;         // bytes looked at
    std::size_t mark_matched; // the first bytes that are the byte-order mark's
    unsigned char held[4];    // the start of a character cut off at a block's end
    int held_length;
    bool byte_order_mark; // decided: UTF-8
    bool not_utf8;        // decided: Shift_JIS
    bool outside_ascii;   // a character from U+0080 up, U+FEFF aside, was read
    bool high_bytes;      // a byte from 0x80 up was looked at
};

void start_sniffing(EncodingSniffer &sniffer);

// Looks at the next bytes of the listing.
void sniff(EncodingSniffer &sniffer, const unsigned char *bytes, std::size_t length);

// True once the bytes looked at decide, whatever follows.
inline bool sniffing_decided(const EncodingSniffer &sniffer) {
    return sniffer.byte_order_mark || sniffer.not_utf8;
}

// The encoding once the whole listing has been looked at.
Encoding sniffed_encoding(const EncodingSniffer &sniffer);

// The encoding of a listing held in memory, by the rule above.
Encoding listing_encoding(const unsigned char *listing, std::size_t length);

} // namespace morvane
