// Converting a listing into an image: the header, one record per line,
// the trailer.
#pragma once

#include <cstdint>

#include "core/basic/image_format.h"
#include "core/convert/convert_reader.h"
#include "core/io/core_io.h"
#include "core/io/output_block.h"
#include "core/text/listing_decoding.h"

namespace morvane {

// What a conversion is told besides its listing.
struct ConvertOptions {
    EncodingChoice encoding = EncodingChoice::BY_CONTENT;
    ImageName name = DEFAULT_IMAGE_NAME;
};

// Everything one conversion works on; any number may run at once.
struct Converter {
    DecodingSource decoding; // the listing's bytes, UTF-8 read as Shift_JIS
    ListingReader reader;
    OutputBlock output;
    std::int32_t previous_line_number; // the last line accepted; -1 before the first
    std::int32_t current_line_number;  // the line converted, or the last before a failing one
};

// Converts the listing read from the source into the image written to the
// sink, starting afresh. After a failure the sink holds the header and the
// records of the lines before the failing one, without a trailer.
Outcome convert(Converter &converter, Source listing, Sink image,
                const ConvertOptions &options = {});

} // namespace morvane
