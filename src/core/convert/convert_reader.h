// The listing reader: the listing's lines, one at a time, cut by its text
// rules and converted into target codes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/io/core_io.h"
#include "core/basic/line_text.h"

namespace morvane {

// The listing is read a block at a time; lines are cut out of the block.
constexpr std::size_t LISTING_BLOCK_SIZE = 64 * 1024;

struct ListingReader {
    Source source;
    std::size_t block_position;
    std::size_t block_length;
    bool input_ended;
    bool at_listing_start;
    bool read_failed;   // the source failed: the run ends after the lines before
    bool unconvertible; // the line holds a character the target set lacks
    // The bits of the line's bytes or'ed together: a line with no byte from
    // 0x80 up needs no character conversion.
    std::uint64_t line_high_bits;
    unsigned char block[LISTING_BLOCK_SIZE + 64];        // a scan's round past its end
    unsigned char line[LINE_BUFFER_SIZE + SCAN_PADDING]; // the line, its line feed if any, 0x00
};

// Starts reading the listing from the source's start.
void start_line_reader(ListingReader &reader, Source source);

// Loads the next line, converted to target codes, and returns its text: in
// reader.line, or in place where the listing's bytes need no change. It
// ends at its line feed or a 0x00 and stays valid until the next load.
// nullptr when the listing has no more lines, and also when reading failed
// (read_failed) or the line holds a character the target set lacks
// (unconvertible).
const unsigned char *load_next_line(ListingReader &reader);

} // namespace morvane
