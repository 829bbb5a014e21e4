#include "line_buffer.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

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

// Copies count bytes to to, leaving out carriage returns; returns the number stored.
int copy_without_returns(unsigned char *to, const unsigned char *from, std::size_t count) {
    int stored = 0;
    for (;;) {
        const void *found = std::memchr(from, CARRIAGE_RETURN, count);
        std::size_t run =
            found ? static_cast<std::size_t>(static_cast<const unsigned char *>(found) - from)
                  : count;
        std::memcpy(to + stored, from, run);
        stored += static_cast<int>(run);
        if (found == nullptr) return stored;
        from += run + 1;
        count -= run + 1;
    }
}

// Appends the rest of the current line that is in the block, at most room
// bytes of it; true once the line is complete.
bool take_from_block(int &length) {
    const unsigned char *from = listing_block + block_position;
    std::size_t count =
        std::min(block_length - block_position, static_cast<std::size_t>(LONGEST_LINE - length));
    const void *line_feed = std::memchr(from, '\n', count);
    if (line_feed != nullptr)
        count = static_cast<std::size_t>(static_cast<const unsigned char *>(line_feed) - from) + 1;
    const void *end_mark = std::memchr(from, END_OF_FILE_MARK, count);
    if (end_mark != nullptr) {
        count = static_cast<std::size_t>(static_cast<const unsigned char *>(end_mark) - from);
        input_ended = true;
        block_length = block_position; // nothing after the mark is ever read
    } else {
        block_position += count;
    }
    length += copy_without_returns(line_buffer.text + length, from, count);
    return line_feed != nullptr || end_mark != nullptr;
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
}

bool load_next_line() {
    line_buffer.read_cursor = 0;
    line_buffer.mark = 0;
    if (read_line_text() == 0) return false;
    convert_charset();
    return true;
}
