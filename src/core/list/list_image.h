// Reading a program image front to back: the header, the records, the
// trailer and the end of the file, each checked as it comes.
//
// Bodies of any length are read through a fixed block: a short one is
// handed over whole, a long one byte by byte. The first byte that does not
// fit the image format, or a failed read, is kept as the reader's failure;
// every function after it gives up at once.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/io/core_io.h"

namespace morvane {

constexpr std::size_t IMAGE_BLOCK_SIZE = 64 * 1024;

struct ImageReader {
    Source source;
    // block_offset is the file offset of the block's first byte, so that a
    // byte's offset can be told in a message.
    std::size_t block_position;
    std::size_t block_length;
    std::uint64_t block_offset;
    bool input_ended;
    OutcomeKind failure; // COMPLETE while none
    std::uint64_t broken_at;
    unsigned char block[IMAGE_BLOCK_SIZE + 16]; // room to scan a chunk past the end
};

// Starts reading the source from its start and checks the 16-byte header;
// false if there is none (failure NOT_AN_IMAGE, or READ_FAILED).
bool read_image_header(ImageReader &reader, Source source);

enum class RecordHead { RECORD, END, FAILED };

// Reads the next record's head and gives its line number; END once the
// trailer and then the end of the file have been read.
RecordHead read_record_head(ImageReader &reader, std::uint16_t &line_number);

constexpr int LONG_BODY = -1;
constexpr int BODY_FAILED = -2;

// Hands over the record's body when it is at most limit bytes long: sets
// body to it (valid until the next read) and returns its length, body and
// 0x00 consumed. Returns LONG_BODY and consumes nothing when it is longer.
int read_short_body(ImageReader &reader, const unsigned char *&body, int limit);

// The next byte of a long body, consumed; -1 once its 0x00 is consumed;
// BODY_FAILED at a failure.
int next_body_byte(ImageReader &reader);

// The byte that next_body_byte would give, not consumed; -1 for the 0x00,
// the end of the file, or a byte no body holds.
int peek_body_byte(ImageReader &reader);

} // namespace morvane
