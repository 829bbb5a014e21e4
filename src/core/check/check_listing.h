// Checking a listing: every problem the converter would stop at, and the
// things it accepts that are seldom what the author meant, each with its
// line and column as an editor counts them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/findings/findings.h"
#include "core/text/listing_decoding.h"

namespace morvane {

enum class CheckOutcome {
    CHECKED,
    OUT_OF_MEMORY, // findings were lost for want of memory
};

// Checks the listing held in memory and tells every finding to the sink,
// in file order; count gets how many there were. Converts nothing.
CheckOutcome check_listing(const unsigned char *listing, std::size_t length, FindingSink sink,
                           std::uint64_t &count);

// The same for a listing in either encoding: the findings stand at the
// file's places, in its characters.
CheckOutcome check_listing(const ListingText &listing, FindingSink sink, std::uint64_t &count);

} // namespace morvane
