// A UTF-8 listing read as the Shift_JIS bytes that spell the same program:
// what the converter, the checker and the renumbering read. Whole, for the
// programs that hold a listing in memory, with the way back from each byte
// to the place in the file it came from; or as it streams, for the converter.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/io/core_io.h"
#include "core/text/unicode_text.h"

namespace morvane {

// A character outside the target set is read as this pair, which no
// character has, twice: the converter stops at it as at any other it
// lacks, also where a byte before it (U+F781, say) takes its first byte
// as its own second one.
constexpr unsigned char OUTSIDE_SET_FIRST = 0x81, OUTSIDE_SET_SECOND = 0x7F;
constexpr int OUTSIDE_SET_WIDTH = 4;

// Where a character that is not one ASCII byte stands in both texts.
struct TextAnchor {
    std::size_t text;    // its first Shift_JIS byte
    std::size_t file;    // its first UTF-8 byte
    std::uint8_t width;  // its Shift_JIS bytes, 1, 2 or OUTSIDE_SET_WIDTH
    std::uint8_t length; // its UTF-8 bytes, 1 (a byte that is no UTF-8) to 4
};

// A listing as the core reads it. For Shift_JIS, text is the file's bytes
// and there are no anchors.
struct ListingText {
    const unsigned char *file;
    std::size_t file_length;
    Encoding encoding;
    const unsigned char *text;
    std::size_t length;
    TextAnchor *anchors; // in order
    std::size_t anchor_count;
    unsigned char *owned; // text, when it was decoded
};

// Reads the listing in the encoding chosen, or found by its bytes; false
// if memory ran out. Free it with free_listing_text.
bool read_listing_text(const unsigned char *file, std::size_t length, EncodingChoice choice,
                       ListingText &listing);
void free_listing_text(ListingText &listing);

// The file offset of the character that holds the text's byte at offset;
// the file's length for the text's.
std::size_t file_offset(const ListingText &listing, std::size_t offset);

// The file offset after the character that holds the text's byte before
// offset: where a stretch of the text that ends at offset ends in the file.
std::size_t file_end_offset(const ListingText &listing, std::size_t offset);

// The code point of the character at the text's offset as the file holds
// it; 0 where the file's bytes are no UTF-8 or no Shift_JIS character.
std::uint32_t code_point_at(const ListingText &listing, std::size_t offset);

// Writes a character's name for a message at out (room for
// CHARACTER_NAME_ROOM): the character itself and its code point, "今
// (U+4ECA)"; or its bytes where it has none, "0xE3 0x81".
constexpr int CHARACTER_NAME_ROOM = 24;
void name_character(std::uint32_t code_point, const unsigned char *bytes, int length, char *out);

// A two-byte character's name, as name_character writes it.
struct CharacterName {
    char text[CHARACTER_NAME_ROOM];
};
CharacterName shift_jis_name(unsigned char first, unsigned char second);
template <typename Problem> CharacterName shift_jis_name(const Problem &problem) {
    return shift_jis_name(problem.first, problem.second);
}

// The listing as the converter streams it: a source that hands on a
// listing's bytes as Shift_JIS, reading UTF-8 as the same characters.
struct DecodingSource {
    Source file;
    enum class State : std::uint8_t { UNDECIDED, SHIFT_JIS, UTF_8 } state;
    EncodingSniffer sniffer;
    bool at_start; // nothing handed on yet: a byte-order mark stays
    bool file_ended;
    bool out_of_memory; // the bytes held to decide could not be kept
    // What was read while the encoding was undecided, handed on first.
    unsigned char *held;
    std::size_t held_length, held_capacity, held_position;
    // UTF-8 bytes read but not yet decoded: at most a character cut short.
    unsigned char pending[4];
    int pending_length;
};

// Starts reading the file; the source reads through it. Free it with
// end_decoding_source, also after a failure.
void start_decoding_source(DecodingSource &decoding, Source file, EncodingChoice choice);
Source decoding_source(DecodingSource &decoding);
void end_decoding_source(DecodingSource &decoding);

} // namespace morvane
