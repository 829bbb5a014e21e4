// Writing a listing as UTF-8: the Shift_JIS listing the lister spells,
// each character as its Unicode character, katakana full width with their
// sound marks joined (ガ, パ) where the line still reads back into the same
// bytes, and every byte that stands for no character as U+F700 + the byte.
// A UTF-8 listing so written reads back into exactly the target bytes of
// the Shift_JIS one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/io/core_io.h"
#include "core/text/unicode_text.h"

namespace morvane {

// Room for a line gathered before it is written: longer lines go on in
// pieces, their kana half width.
constexpr std::size_t UTF8_LINE_ROOM = 16 * 1024;

struct Utf8Listing {
    Sink out;
    std::uint64_t taken;        // Shift_JIS bytes taken
    std::uint64_t line_taken;   // those taken before the gathered line
    std::size_t length;         // the line gathered
    std::size_t written_length; // UTF-8 bytes waiting to be written on
    std::uint64_t handed_on;    // UTF-8 bytes written on to out
    // Where the gathered line started, in Shift_JIS and in UTF-8: a line
    // longer than the room has had pieces written on before it ends.
    std::uint64_t line_start_taken, line_start_written;
    bool failed;
    unsigned char line[UTF8_LINE_ROOM];
    unsigned char written[4 * UTF8_LINE_ROOM];
};

// A sink that takes the Shift_JIS listing and writes it on to out as
// UTF-8; finish_utf8_listing writes what is gathered when all is taken.
// It takes back (truncate) bytes of the line still gathered, or the whole
// line from its start, through out's truncate where pieces of it were
// written on.
Sink utf8_listing_sink(Utf8Listing &listing, Sink out);
bool finish_utf8_listing(Utf8Listing &listing);

// Writes Shift_JIS text as UTF-8 at out, which has room for three bytes
// each, ending in 0x00, with no kana widened, so that it reads back into
// the same bytes; its length. With characters_outside, a character the
// target set lacks is written as itself, not as its two bytes: it reads
// back as no character of the set, which the converter stops at as at the
// Shift_JIS one (for showing a file, where it must be seen).
std::size_t shift_jis_text_as_utf8(const unsigned char *text, std::size_t length,
                                   unsigned char *out, bool characters_outside = false);

// A name, a few bytes, as UTF-8 at out (room for three bytes each, ending
// in 0x00): its katakana full width and joined, as the listing's are.
std::size_t shift_jis_name_as_utf8(const unsigned char *text, std::size_t length,
                                   unsigned char *out);

// A sink that passes a Shift_JIS listing on to out and tells, once all is
// written, whether a listing of those bytes would be read as UTF-8.
struct SniffedListing {
    Sink out;
    EncodingSniffer sniffer;
};
Sink sniffed_listing_sink(SniffedListing &listing, Sink out);

} // namespace morvane
