#include "core/convert/convert_reader.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

#include "core/basic/charset.h"
#include "core/basic/word_scan.h"

#include "core/basic/simd.h"

namespace morvane {
namespace {

constexpr unsigned char CARRIAGE_RETURN = 0x0D;
constexpr unsigned char END_OF_FILE_MARK = 0x1A;

// Several editors start a UTF-8 file with these three bytes. They are no
// line of the program, so the listing's first block skips them. The first
// block holds the whole listing or a full block, so they are never cut.
void skip_byte_order_mark(ListingReader &reader) {
    static const unsigned char BYTE_ORDER_MARK[3] = {0xEF, 0xBB, 0xBF};
    reader.at_listing_start = false;
    if (reader.block_length >= 3 && std::memcmp(reader.block, BYTE_ORDER_MARK, 3) == 0)
        reader.block_position = 3;
}

// Reads the next block; false at the end of the listing, or when reading
// failed, which ends the run after the lines of an earlier partial block.
bool refill_block(ListingReader &reader) {
    if (reader.input_ended) return false;
    long long got = reader.source.read(reader.source.context, reader.block, LISTING_BLOCK_SIZE);
    reader.block_position = 0;
    reader.block_length = got > 0 ? static_cast<std::size_t>(got) : 0;
    reader.block[reader.block_length] = 0x00; // ends every scan of the block, whatever stood there
    if (reader.at_listing_start) skip_byte_order_mark(reader);
    if (reader.block_length > reader.block_position) return true;
    reader.read_failed = got < 0;
    reader.input_ended = true;
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

// One pass of a line's bytes out of the block.
struct LineTake {
    const unsigned char *from; // the block's bytes from the line's next one
    unsigned char *to;         // where the line's next byte goes
    // How many bytes may be taken: what the block holds and the line has room for.
    std::size_t count;
    std::size_t taken;
    std::size_t stored;
    std::uint64_t high_bits;
};

enum class TakenByte { ORDINARY, LINE_END, LISTING_END };

// Stores the ordinary bytes at the front of what is left a word at a time,
// up to the first byte the text rules apply to or the last partial word.
void take_ordinary_bytes(LineTake &take) {
    while (take.count - take.taken >= WORD_SIZE) {
        std::uint64_t word = load_word(take.from + take.taken);
        auto ordinary = static_cast<std::size_t>(ordinary_bytes(word));
        // The word's bytes after a special one are stored too, and overwritten later.
        std::memcpy(take.to + take.stored, &word, WORD_SIZE);
        take.high_bits |= word;
        take.taken += ordinary;
        take.stored += ordinary;
        if (ordinary < WORD_SIZE) return;
    }
}

// Takes one byte by the listing's text rules: a carriage return is
// dropped, 0x1A ends the listing, a line feed is stored and ends the line.
TakenByte take_by_text_rules(LineTake &take) {
    unsigned char c = take.from[take.taken++];
    if (c == END_OF_FILE_MARK) return TakenByte::LISTING_END;
    if (c == CARRIAGE_RETURN) return TakenByte::ORDINARY;
    take.to[take.stored++] = c;
    take.high_bits |= c;
    return c == '\n' ? TakenByte::LINE_END : TakenByte::ORDINARY;
}

// Appends the rest of the current line that is in the block, at most as
// much as the line has room for; true once the line is complete.
bool take_from_block(ListingReader &reader, int &length) {
    LineTake take{reader.block + reader.block_position,
                  reader.line + length,
                  std::min(reader.block_length - reader.block_position,
                           static_cast<std::size_t>(LONGEST_LINE - length)),
                  0,
                  0,
                  0};
    TakenByte last = TakenByte::ORDINARY;
    while (take.taken < take.count && last == TakenByte::ORDINARY) {
        take_ordinary_bytes(take);
        if (take.taken < take.count) last = take_by_text_rules(take);
    }
    reader.line_high_bits |= take.high_bits;
    length += static_cast<int>(take.stored);
    reader.block_position += take.taken;
    if (last == TakenByte::LISTING_END) {
        reader.input_ended = true;
        reader.block_position = reader.block_length; // nothing after the mark is ever read
    }
    return last != TakenByte::ORDINARY;
}

// Returns the offset of the first byte from start, within count bytes, that
// is no printable ASCII (below 0x1B, or from 0x80 up); count if there is none.
std::size_t first_special_byte(const unsigned char *start, std::size_t count) {
    std::size_t at = 0;
#if defined(MORVANE_SSE2)
    // Sixty-four bytes a round in four compares: most lines end within the
    // first, so the loop's branch is taken the same way line after line
    // (rounds of sixteen would end after one to four, mispredicted each
    // line). As signed bytes, those from 0x80 up are negative, so one
    // "below 0x1B" finds both kinds. The block has room for a round past
    // its end; marks past count are not looked at.
    const __m128i limit = _mm_set1_epi8(END_OF_FILE_MARK + 1);
    for (; at < count; at += 64) {
        std::uint64_t special = 0;
        for (int chunk = 0; chunk < 4; chunk++) {
            __m128i bytes =
                _mm_loadu_si128(reinterpret_cast<const __m128i *>(start + at + 16 * chunk));
            auto marks = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(bytes, limit)));
            special |= static_cast<std::uint64_t>(marks) << (16 * chunk);
        }
        if (special != 0)
            return std::min(count, at + static_cast<std::size_t>(std::countr_zero(special)));
    }
    return count;
#else
    if constexpr (std::endian::native == std::endian::little) {
        for (; at + WORD_SIZE <= count; at += WORD_SIZE) {
            std::uint64_t word = load_word(start + at);
            // High bits are exact marks, and a false one of bytes_below only
            // follows a true one: the lowest mark is the first special byte.
            std::uint64_t special = bytes_below(word, END_OF_FILE_MARK + 1) | (word & HIGH_BITS);
            if (special != 0) return at + static_cast<std::size_t>(std::countr_zero(special) / 8);
        }
    }
    while (at < count && start[at] > END_OF_FILE_MARK && start[at] < 0x80)
        at++;
    return at;
#endif
}

// Most lines are printable ASCII ending in LF or CR LF inside the block: the
// text rules leave them as they stand, so they are tokenized in place
// instead of copied (a CR before the LF is overwritten with a LF, which ends
// the line as well). Returns such a line, consumed, or nullptr, consuming
// nothing, for a line that needs the general way.
const unsigned char *line_in_place(ListingReader &reader) {
    unsigned char *start = reader.block + reader.block_position;
    // Beyond LONGEST_LINE - 1 bytes before its end, a line is cut.
    std::size_t count = std::min(reader.block_length - reader.block_position,
                                 static_cast<std::size_t>(LONGEST_LINE));
    std::size_t end = first_special_byte(start, count);
    if (end >= count) return nullptr;
    // A CR that is the block's last byte is followed by the 0x00 stored after it.
    std::size_t line_feed = start[end] == CARRIAGE_RETURN ? end + 1 : end;
    if (start[line_feed] != '\n') return nullptr;
    start[end] = '\n';
    reader.block_position += line_feed + 1;
    return start;
}

// Copies the next line into the buffer by the listing's text rules and
// returns its length; 0 when the listing is exhausted.
int read_line_text(ListingReader &reader) {
    int length = 0;
    while (length < LONGEST_LINE) {
        if (reader.block_position == reader.block_length && !refill_block(reader)) break;
        if (take_from_block(reader, length)) break;
    }
    reader.line[length] = 0x00;
    return length;
}

// The way of every line the block does not hold as it should stand: copied
// out by the text rules, then converted to target codes where needed. A
// read error drops the line being read.
const unsigned char *load_line_by_text_rules(ListingReader &reader) {
    reader.line_high_bits = 0;
    if (read_line_text(reader) == 0 || reader.read_failed) return nullptr;
    if ((reader.line_high_bits & HIGH_BITS) != 0 && !convert_charset(reader.line)) {
        reader.unconvertible = true;
        return nullptr;
    }
    return reader.line;
}

} // namespace

void start_line_reader(ListingReader &reader, Source source) {
    reader.source = source;
    reader.block_position = 0;
    reader.block_length = 0;
    reader.input_ended = false;
    reader.at_listing_start = true;
    reader.read_failed = false;
    reader.unconvertible = false;
}

const unsigned char *load_next_line(ListingReader &reader) {
    const unsigned char *line = line_in_place(reader);
    return line != nullptr ? line : load_line_by_text_rules(reader);
}

} // namespace morvane
