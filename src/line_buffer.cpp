#include "line_buffer.h"

#include <cstddef>

#include "charset.h"
#include "main.h"

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

// Reads the next block; false at the end of the listing. A read error ends the
// run, after the lines of an earlier partial block have been converted.
bool refill_block() {
    if (input_ended) return false;
    if (std::ferror(input_stream)) exit_read_failed();
    block_position = 0;
    block_length = std::fread(listing_block, 1, LISTING_BLOCK_SIZE, input_stream);
    if (block_length > 0) return true;
    if (std::ferror(input_stream)) exit_read_failed();
    input_ended = true;
    return false;
}

// Copies the next line into the buffer by the listing's text rules and
// returns its length; 0 when the listing is exhausted.
int read_line_text() {
    int length = 0;
    while (length < LONGEST_LINE) {
        if (block_position == block_length && !refill_block()) break;
        unsigned char c = listing_block[block_position++];
        if (c == CARRIAGE_RETURN) continue;
        if (c == END_OF_FILE_MARK) {
            input_ended = true;
            block_position = block_length;
            break;
        }
        line_buffer.text[length++] = c;
        if (c == '\n') break;
    }
    line_buffer.text[length] = 0x00;
    return length;
}

} // namespace

void start_line_reader() {
    block_position = 0;
    block_length = 0;
    input_ended = false;
}

bool load_next_line() {
    line_buffer.read_cursor = 0;
    line_buffer.mark = 0;
    if (read_line_text() == 0) return false;
    convert_charset();
    return true;
}
