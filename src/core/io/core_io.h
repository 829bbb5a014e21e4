// How the core meets the world: it reads through a source, writes through a
// sink, and ends each run with an outcome that says everything a message
// needs. It opens no file, prints nothing and ends no process.
#pragma once

#include <cstddef>
#include <cstdint>

namespace morvane {

// Reads up to size bytes into buffer; returns how many (0 at the end), or
// -1 if reading failed.
using ReadFunction = long long (*)(void *context, unsigned char *buffer, std::size_t size);

struct Source {
    ReadFunction read;
    void *context;
};

// Writes size bytes; false if any was refused.
using WriteFunction = bool (*)(void *context, const unsigned char *bytes, std::size_t size);

// Takes back everything written from position on; false if it cannot.
using TruncateFunction = bool (*)(void *context, std::uint64_t position);

// Makes room for size bytes more, written next; false if it cannot.
using ReserveFunction = bool (*)(void *context, std::size_t size);

struct Sink {
    WriteFunction write;
    TruncateFunction truncate; // may be nullptr: nothing written is taken back
    void *context;
    ReserveFunction reserve = nullptr; // may be nullptr: the sink grows as it is written to
};

enum class OutcomeKind {
    COMPLETE,
    ILLEGAL_LINE_NUMBER, // line_number is the offending number
    ILLEGAL_CHARACTER,   // line_number is the number of the line before
    READ_FAILED,
    WRITE_FAILED,
    NOT_AN_IMAGE,
    IMAGE_AS_LISTING, // the listing starts like an image: nothing was written
    BROKEN_IMAGE,     // offset is the first byte that does not fit
    OUT_OF_MEMORY,    // the listing's bytes held to tell its encoding did not fit
};

// What a complete listing says besides its lines: the listing alone does
// not convert back into the identical image.
enum ListingNote : unsigned {
    NAMED_IMAGE = 1,       // the image's name is not the converter's own
    NAME_NOT_GIVEN = 2,    // and no --name gives it
    READS_AS_UTF8 = 4,     // a Shift_JIS listing that the converter would read as UTF-8
    NAME_AS_SHIFT_JIS = 8, // the name's Shift_JIS would be read as UTF-8: --encoding says not
};

struct Outcome {
    OutcomeKind kind;
    std::int32_t line_number;
    std::uint64_t offset;
    std::uint64_t lines_not_read_back; // listing: lines named as not converting back
    unsigned notes = 0;                // listing: ListingNote bits
    // The name as --name takes it, in the listing's encoding; or its bytes in hex.
    char name[32] = {};
};

} // namespace morvane
