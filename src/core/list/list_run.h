// Listing an image: a listing line per record, each spelled so that it
// converts back into its record.
#pragma once

#include <cstdint>

#include "core/basic/image_format.h"
#include "core/io/core_io.h"
#include "core/io/output_block.h"
#include "core/list/list_image.h"
#include "core/text/utf8_listing.h"

namespace morvane {

// Told of each line written that does not convert back into its record:
// the line's number and the first byte of the body it does not give back.
struct LineNotices {
    void (*line_not_read_back)(void *context, std::uint64_t line_number, int body_offset);
    void *context;
};

// Everything one listing works on; any number may run at once.
struct Lister {
    ImageReader reader;
    OutputBlock output;
    // Where the line being written starts in the output: a broken record
    // takes its partial line back.
    std::uint64_t line_start;
    std::uint64_t lines_not_read_back;
    LineNotices notices;
    ImageName name; // as the header holds it
    // The listing as it is written: in UTF-8, or in Shift_JIS looked at
    // for whether it would be read back as UTF-8.
    Utf8Listing utf8;
    SniffedListing sniffed;
};

// Starts listing the image read from the source: reads and checks its
// header before anything is written. COMPLETE, NOT_AN_IMAGE or READ_FAILED.
Outcome start_listing(Lister &lister, Source image);

// Writes one listing line per record to the sink, up to the trailer. A
// broken record ends it with the lines of the records before it whole;
// lines_not_read_back counts the lines told to the notices.
// The listing is written in the encoding asked: Shift_JIS as the machine's
// listings are, or UTF-8. The outcome notes what the listing alone does not
// give back: the image's name, and a Shift_JIS listing read back as UTF-8.
Outcome list_records(Lister &lister, Sink listing, LineNotices notices,
                     Encoding encoding = Encoding::SHIFT_JIS);

} // namespace morvane
