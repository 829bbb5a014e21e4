// The converter's reading of a listing held in memory, for every program
// that reads one whole: its lines cut by the text rules (a byte-order mark
// skipped, 0x1A ending the input, carriage returns dropped, at most 1,023
// bytes a line), each converted into target codes with the place every
// byte came from, and the characters the target set lacks named.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/basic/editor_position.h"
#include "core/basic/line_text.h"

namespace morvane {

constexpr unsigned char END_OF_FILE_MARK = 0x1A;
constexpr std::size_t NO_OFFSET = ~std::size_t{0};

enum class CharsetProblemKind : std::uint8_t {
    NO_SECOND_BYTE, // a first byte at the line's end
    NOT_IN_SET, // the target set lacks the character: the converter stops, the text leaves it out
    PASSED_THROUGH, // copied as its two bytes, which the machine shows as two other characters
};

struct CharsetProblem {
    CharsetProblemKind kind;
    unsigned char first, second;
    std::size_t offset;
};

// A character becomes at most two target bytes.
constexpr int LINE_TEXT_ROOM = 2 * LINE_BUFFER_SIZE + SCAN_PADDING;

struct FrontLine {
    std::size_t start;         // the listing offset of its first byte
    std::size_t end;           // after its last byte, carriage returns included
    std::uint64_t editor_line; // the editor's line of its first byte kept
    bool cut;                  // 1,023 bytes without a line feed: the rest is the next line
    bool line_feed;            // it ends with one
    int byte_count;            // its bytes without carriage returns, its line feed included
    std::size_t nul;           // the offset of its first 0x00, which ends its text; NO_OFFSET
    // The text in target codes as the tokenizer reads it: up to its line
    // feed or its first 0x00, then SCAN_PADDING 0x00s. Each byte's origin is
    // the listing offset it came from (text_origin); width, how many listing
    // bytes it stands for (a character that gives two target bytes gives
    // each one of its bytes). Where the text is the listing's bytes as they
    // stand, but for the CR of a CR LF, origins are counted, not kept.
    int length;
    const unsigned char *text;
    const std::size_t *origin; // nullptr where counted
    const std::uint8_t *width;
    std::size_t feed_origin; // where origins are counted: the line feed's
    bool counted_origins;    // the bytes were taken whole
    int problem_count;
    CharsetProblem problems[LINE_BUFFER_SIZE];
    // Where the text lives: the bytes as cut, or converted.
    unsigned char cut_bytes[LINE_BUFFER_SIZE + SCAN_PADDING];
    std::size_t cut_origin[LINE_BUFFER_SIZE + SCAN_PADDING];
    unsigned char converted[LINE_TEXT_ROOM];
    std::size_t converted_origin[LINE_TEXT_ROOM];
    std::uint8_t converted_width[LINE_TEXT_ROOM];
};

struct ListingFront {
    const unsigned char *listing;
    std::size_t length;
    std::size_t end;            // the end mark, or the listing's length
    std::size_t first;          // the first line's start: after a byte-order mark
    std::size_t at;             // the next line's start
    std::uint64_t editor_line;  // the editor's line at at
    std::uint64_t cut_line_end; // where the editor's line of the last cut line ends, once known
};

void start_listing_front(ListingFront &front, const unsigned char *listing, std::size_t length);

// Reads the next line into line; false when the listing has no more.
bool read_next_line(ListingFront &front, FrontLine &line);

// A line taken the quick way, by its bytes as they stand: plain ASCII digits
// and statements, ending in LF or CR LF within 1,023 bytes, no other
// carriage return, no byte from 0x80 up. Its number is its digits.
struct SkimmedLine {
    std::size_t start, end;
    std::size_t content_end; // before its CR LF or LF
    int digits;              // at least one
};

// Takes the next line the quick way where it is such a line, for a first
// pass that wants lines' numbers and places only; false, taking nothing,
// for any other, which read_next_line then reads. For a pass that wants
// the numbers alone, number_only takes any line whose digits are followed
// by a byte below 0x80 other than a carriage return, whatever the rest
// holds; the editor's lines are then not counted.
bool skim_next_line(ListingFront &front, SkimmedLine &line, bool number_only = false);

// Goes on reading at offset, the start of a line read before.
void seek_line(ListingFront &front, std::size_t offset);

// Where the editor's line that holds the cut line ends: its line feed, or
// the end of the input. Each byte is looked at once however many pieces
// the converter cuts that line into.
std::size_t editor_line_end(ListingFront &front, const FrontLine &line);

// Moves the cursor to the line's start where the editor's line starts there
// too (after a line feed, at the listing's first line), whose place the
// front counted: a run in file order then never walks the lines between.
void cursor_to_line(EditorCursor &cursor, const ListingFront &front, const FrontLine &line);

// The listing offset the text's byte at came from.
inline std::size_t text_origin(const FrontLine &line, int at) {
    if (line.origin != nullptr) return line.origin[at];
    return line.line_feed && at == line.length - 1 ? line.feed_origin : line.start + at;
}

// The listing offset just after the text's bytes from first to last.
inline std::size_t text_end_offset(const FrontLine &line, int last) {
    return text_origin(line, last) + line.width[last];
}

} // namespace morvane
