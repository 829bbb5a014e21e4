#include "core/list/list_image.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "core/basic/image_format.h"

#include "core/basic/simd.h"

namespace morvane {
namespace {

std::uint64_t offset_of(const ImageReader &reader, std::size_t position) {
    return reader.block_offset + position;
}

// Keeps the first failure only: what follows from it is no news.
void fail(ImageReader &reader, OutcomeKind kind, std::uint64_t offset) {
    if (reader.failure != OutcomeKind::COMPLETE) return;
    reader.failure = kind;
    reader.broken_at = offset;
}

void break_at(ImageReader &reader, std::size_t position) {
    fail(reader, OutcomeKind::BROKEN_IMAGE, offset_of(reader, position));
}

// Reads on until count bytes (at most a block) are available from
// block_position, or the file has no more; returns how many are.
std::size_t read_until_available(ImageReader &reader, std::size_t count) {
    while (reader.block_length - reader.block_position < count && !reader.input_ended) {
        std::size_t kept = reader.block_length - reader.block_position;
        std::memmove(reader.block, reader.block + reader.block_position, kept);
        reader.block_offset += reader.block_position;
        reader.block_position = 0;
        long long got =
            reader.source.read(reader.source.context, reader.block + kept, IMAGE_BLOCK_SIZE - kept);
        if (got < 0) fail(reader, OutcomeKind::READ_FAILED, 0);
        reader.block_length = kept + (got > 0 ? static_cast<std::size_t>(got) : 0);
        reader.input_ended = got <= 0;
    }
    return reader.block_length - reader.block_position;
}

// Makes at least count bytes (at most a block) available from
// block_position, if the file has them; returns how many are.
std::size_t available(ImageReader &reader, std::size_t count) {
    std::size_t have = reader.block_length - reader.block_position;
    return have >= count ? have : read_until_available(reader, count);
}

// Consumes the next byte; -1 if the image ends before it, which breaks it at its size.
int next_byte(ImageReader &reader) {
    if (available(reader, 1) == 0) {
        break_at(reader, reader.block_position);
        return -1;
    }
    return reader.block[reader.block_position++];
}

// No body holds these: the converter never writes them.
bool is_body_byte(unsigned char b) {
    return b != 0x00 && b != '\n' && b != '\r' && b != 0x1A;
}

// Reads the twelve 0x00 of the trailer, which must end the file.
void read_trailer(ImageReader &reader) {
    for (int i = 0; i < TRAILER_LENGTH; i++) {
        int b = next_byte(reader);
        if (b < 0) return;
        if (b != 0x00) return break_at(reader, reader.block_position - 1);
    }
    if (available(reader, 1) != 0) break_at(reader, reader.block_position);
}

std::size_t body_bytes(const unsigned char *start, std::size_t count) {
    std::size_t length = 0;
#if defined(MORVANE_SSE2)
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

} // namespace

bool read_image_header(ImageReader &reader, Source source) {
    reader.source = source;
    reader.block_position = reader.block_length = 0;
    reader.block_offset = 0;
    reader.input_ended = false;
    reader.failure = OutcomeKind::COMPLETE;
    reader.broken_at = 0;
    bool is_image = available(reader, HEADER_LENGTH) >= HEADER_LENGTH;
    for (int i = 0; is_image && i < LEAD_IN_LENGTH; i++)
        is_image = reader.block[i] == LEAD_IN;
    if (!is_image) fail(reader, OutcomeKind::NOT_AN_IMAGE, 0);
    reader.block_position = HEADER_LENGTH; // the name field may hold anything
    return reader.failure == OutcomeKind::COMPLETE;
}

RecordHead read_record_head(ImageReader &reader, std::uint16_t &line_number) {
    int first = next_byte(reader);
    if (first == 0x00) {
        reader.block_position--;
        read_trailer(reader);
        return reader.failure == OutcomeKind::COMPLETE ? RecordHead::END : RecordHead::FAILED;
    }
    if (first != RECORD_START) {
        if (first >= 0) break_at(reader, reader.block_position - 1);
        return RecordHead::FAILED;
    }
    std::size_t rest = available(reader, 3);
    const unsigned char *head = reader.block + reader.block_position;
    if (rest > 0 && head[0] != RECORD_START) break_at(reader, reader.block_position);
    if (rest < 3) break_at(reader, reader.block_length); // cut by the end of the file
    if (reader.failure != OutcomeKind::COMPLETE) return RecordHead::FAILED;
    line_number = static_cast<std::uint16_t>(head[1] | head[2] << 8);
    reader.block_position += 3;
    return RecordHead::RECORD;
}

int read_short_body(ImageReader &reader, const unsigned char *&body, int limit) {
    auto longest = static_cast<std::size_t>(limit);
    std::size_t count = available(reader, longest + 1);
    const unsigned char *start = reader.block + reader.block_position;
    std::size_t length = body_bytes(start, std::min(count, longest + 1));
    if (length > longest) return LONG_BODY;
    if (length == count || start[length] != 0x00) {
        break_at(reader, reader.block_position + length);
        return BODY_FAILED;
    }
    body = start;
    reader.block_position += length + 1;
    return static_cast<int>(length);
}

int next_body_byte(ImageReader &reader) {
    int b = next_byte(reader);
    if (b == 0x00) return -1;
    if (b < 0) return BODY_FAILED;
    if (!is_body_byte(static_cast<unsigned char>(b))) {
        break_at(reader, reader.block_position - 1);
        return BODY_FAILED;
    }
    return b;
}

int peek_body_byte(ImageReader &reader) {
    if (available(reader, 1) == 0) return -1;
    unsigned char b = reader.block[reader.block_position];
    return is_body_byte(b) ? b : -1;
}

} // namespace morvane
