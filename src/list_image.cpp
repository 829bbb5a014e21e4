#include "list_image.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "image_format.h"
#include "list_run.h"
#include "run_files.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The image is read a block at a time. block_offset is the file offset of
// the block's first byte, so that a byte's offset can be told in a message.
constexpr std::size_t IMAGE_BLOCK_SIZE = 64 * 1024;
unsigned char image_block[IMAGE_BLOCK_SIZE + 16]; // room to scan a chunk past the end
std::size_t block_position = 0;
std::size_t block_length = 0;
std::uint64_t block_offset = 0;
bool input_ended = false;

std::uint64_t offset_of(std::size_t position) {
    return block_offset + position;
}

// Reads on until count bytes (at most a block) are available from
// block_position, or the file has no more; returns how many are.
std::size_t read_until_available(std::size_t count) {
    while (block_length - block_position < count && !input_ended) {
        std::size_t kept = block_length - block_position;
        std::memmove(image_block, image_block + block_position, kept);
        block_offset += block_position;
        block_position = 0;
        std::size_t got = std::fread(image_block + kept, 1, IMAGE_BLOCK_SIZE - kept, input_stream);
        if (std::ferror(input_stream)) exit_read_failed();
        block_length = kept + got;
        input_ended = got == 0;
    }
    return block_length - block_position;
}

// Makes at least count bytes (at most a block) available from
// block_position, if the file has them; returns how many are.
std::size_t available(std::size_t count) {
    std::size_t have = block_length - block_position;
    return have >= count ? have : read_until_available(count);
}

// Consumes the next byte; an image that ends before it is broken at its size.
unsigned char next_byte_or_exit() {
    if (available(1) == 0) exit_broken_image(offset_of(block_position));
    return image_block[block_position++];
}

// No body holds these: the converter never writes them.
bool is_body_byte(unsigned char b) {
    return b != 0x00 && b != '\n' && b != '\r' && b != 0x1A;
}

// Reads the twelve 0x00 of the trailer, which must end the file.
void read_trailer_or_exit() {
    for (int i = 0; i < TRAILER_LENGTH; i++) {
        if (next_byte_or_exit() != 0x00) exit_broken_image(offset_of(block_position - 1));
    }
    if (available(1) != 0) exit_broken_image(offset_of(block_position));
}

} // namespace

void read_image_header_or_exit() {
    block_position = block_length = 0;
    block_offset = 0;
    input_ended = false;
    bool is_image = available(HEADER_LENGTH) >= HEADER_LENGTH;
    for (int i = 0; is_image && i < LEAD_IN_LENGTH; i++)
        is_image = image_block[i] == LEAD_IN;
    if (!is_image) exit_with_message("Not a program image %s\n", input_file_path());
    block_position = HEADER_LENGTH; // the name field may hold anything
}

bool read_record_head(std::uint16_t &line_number) {
    unsigned char first = next_byte_or_exit();
    if (first == 0x00) {
        block_position--;
        read_trailer_or_exit();
        return false;
    }
    if (first != RECORD_START) exit_broken_image(offset_of(block_position - 1));
    std::size_t rest = available(3);
    const unsigned char *head = image_block + block_position;
    if (rest > 0 && head[0] != RECORD_START) exit_broken_image(offset_of(block_position));
    if (rest < 3) exit_broken_image(offset_of(block_length)); // cut by the end of the file
    line_number = static_cast<std::uint16_t>(head[1] | head[2] << 8);
    block_position += 3;
    return true;
}

// Returns how many bytes from start, at most count, a body may hold before
// the first that ends or breaks it.
std::size_t body_bytes(const unsigned char *start, std::size_t count) {
    std::size_t length = 0;
#if defined(__SSE2__)
    // Sixteen bytes a step against the four bytes no body holds. The block
    // has room for a chunk past its end; marks past count are not used.
    const __m128i nul = _mm_setzero_si128(), line_feed = _mm_set1_epi8('\n');
    const __m128i carriage_return = _mm_set1_epi8('\r'), end_mark = _mm_set1_epi8(0x1A);
    for (; length < count; length += 16) {
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(start + length));
        __m128i ends = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(chunk, nul), _mm_cmpeq_epi8(chunk, line_feed)),
            _mm_or_si128(_mm_cmpeq_epi8(chunk, carriage_return), _mm_cmpeq_epi8(chunk, end_mark)));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(ends));
        if (mask != 0)
            return std::min(count, length + static_cast<std::size_t>(std::countr_zero(mask)));
    }
    return count;
#else
    while (length < count && is_body_byte(start[length]))
        length++;
    return length;
#endif
}

int read_short_body(const unsigned char *&body, int limit) {
    auto longest = static_cast<std::size_t>(limit);
    std::size_t count = available(longest + 1);
    const unsigned char *start = image_block + block_position;
    std::size_t length = body_bytes(start, std::min(count, longest + 1));
    if (length > longest) return -1;
    if (length == count || start[length] != 0x00)
        exit_broken_image(offset_of(block_position + length));
    body = start;
    block_position += length + 1;
    return static_cast<int>(length);
}

int next_body_byte() {
    unsigned char b = next_byte_or_exit();
    if (b == 0x00) return -1;
    if (!is_body_byte(b)) exit_broken_image(offset_of(block_position - 1));
    return b;
}

int peek_body_byte() {
    if (available(1) == 0) return -1;
    unsigned char b = image_block[block_position];
    return is_body_byte(b) ? b : -1;
}
