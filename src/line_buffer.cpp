#include "line_buffer.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

#include "charset.h"
#include "run_files.h"

LineBuffer line_buffer;

namespace {

constexpr unsigned char CARRIAGE_RETURN = 0x0D;
constexpr unsigned char END_OF_FILE_MARK = 0x1A;

// The listing is read a block at a time; lines are cut out of the block.
constexpr std::size_t LISTING_BLOCK_SIZE = 64 * 1024;
unsigned char listing_block[LISTING_BLOCK_SIZE];
std::size_t block_position = 0;
std::size_t block_length = 0;
bool input_ended = false;
bool at_listing_start = true;

// The bits of the line's bytes or'ed together: a line with no byte from
// 0x80 up needs no character conversion.
std::uint64_t line_high_bits = 0;

// Several editors start a UTF-8 file with these three bytes. They are no
// line of the program, so the listing's first block skips them. The first
// block holds the whole listing or a full block, so they are never cut.
void skip_byte_order_mark() {
    static const unsigned char BYTE_ORDER_MARK[3] = {0xEF, 0xBB, 0xBF};
    at_listing_start = false;
    if (block_length >= 3 && std::memcmp(listing_block, BYTE_ORDER_MARK, 3) == 0)
        block_position = 3;
}

// Reads the next block; false at the end of the listing. A read error ends the
// run, after the lines of an earlier partial block have been converted.
bool refill_block() {
    if (input_ended) return false;
    if (std::ferror(input_stream)) exit_read_failed();
    block_position = 0;
    block_length = std::fread(listing_block, 1, LISTING_BLOCK_SIZE, input_stream);
    if (at_listing_start) skip_byte_order_mark();
    if (block_length > block_position) return true;
    if (std::ferror(input_stream)) exit_read_failed();
    input_ended = true;
    return false;
}

// Returns how many bytes at the start of the word are above 0x1A, so are
// neither a line feed, a carriage return nor the end mark: all 8, or fewer
// where the word holds such a byte (counted exactly where the byte order
// allows, else 0 to go byte by byte).
int ordinary_bytes(std::uint64_t word) {
    std::uint64_t below = bytes_below(word, END_OF_FILE_MARK + 1);
    if (below == 0) return 8;
    if constexpr (std::endian::native == std::endian::little) return std::countr_zero(below) / 8;
    return 0;
}

// Appends the rest of the current line that is in the block, at most as
// much as the line has room for; true once the line is complete.
bool take_from_block(int &length) {
    const unsigned char *from = listing_block + block_position;
    std::size_t count =
        std::min(block_length - block_position, static_cast<std::size_t>(LONGEST_LINE - length));
    unsigned char *to = line_buffer.text + length;
    std::size_t taken = 0;
    std::size_t stored = 0;
    std::uint64_t high_bits = 0;
    bool complete = false;
    bool end_mark = false;
    while (taken < count && !complete && !end_mark) {
        // Ordinary bytes go across a word at a time; a word's bytes after a
        // special one are stored too, and overwritten later.
        if (count - taken >= 8) {
            std::uint64_t word = load_word(from + taken);
            int ordinary = ordinary_bytes(word);
            std::memcpy(to + stored, &word, 8);
            high_bits |= word;
            taken += static_cast<std::size_t>(ordinary);
            stored += static_cast<std::size_t>(ordinary);
            if (ordinary == 8) continue;
        }
        unsigned char c = from[taken++];
        end_mark = c == END_OF_FILE_MARK;
        if (c == CARRIAGE_RETURN || end_mark) continue;
        to[stored++] = c;
        high_bits |= c;
        complete = c == '\n';
    }
    line_high_bits |= high_bits;
    length += static_cast<int>(stored);
    block_position += taken;
    if (end_mark) {
        input_ended = true;
        block_position = block_length; // nothing after the mark is ever read
    }
    return complete || end_mark;
}

// Copies the next line into the buffer by the listing's text rules and
// returns its length; 0 when the listing is exhausted.
int read_line_text() {
    int length = 0;
    while (length < LONGEST_LINE) {
        if (block_position == block_length && !refill_block()) break;
        if (take_from_block(length)) break;
    }
    line_buffer.text[length] = 0x00;
    return length;
}

} // namespace

void start_line_reader() {
    block_position = 0;
    block_length = 0;
    input_ended = false;
    at_listing_start = true;
}

bool load_next_line() {
    line_buffer.mark = 0;
    line_high_bits = 0;
    if (read_line_text() == 0) return false;
    if ((line_high_bits & HIGH_BITS) != 0) convert_charset();
    return true;
}
