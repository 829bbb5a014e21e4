// Renumbering a listing: its lines put in the order the machine's line
// editor would keep them, numbered anew, and every line number named in
// their statements rewritten to match. Lines without numbers and labels
// (@name alone on a line, naming the next line) are numbered like the rest.
// Every other byte of the listing stays as it is.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/findings/findings.h"
#include "core/io/core_io.h"
#include "core/text/listing_decoding.h"

namespace morvane {

struct RenumberOptions {
    std::uint32_t start = 10; // the first new number
    std::uint32_t step = 10;  // from one new number to the next; at least 1
    std::uint32_t from = 0;   // lines below this number keep theirs
};

enum class RenumberOutcome {
    RENUMBERED,
    REFUSED,       // an error among the findings: nothing was written
    OUT_OF_MEMORY, // nothing was written
    WRITE_FAILED,  // the sink refused some of the output
};

// Renumbers the listing held in memory: tells every finding to findings in
// file order and, unless one of them is an error, writes the renumbered
// listing to out.
RenumberOutcome renumber_listing(const unsigned char *listing, std::size_t length,
                                 const RenumberOptions &options, Sink out, FindingSink findings);

// The same for a listing in either encoding: written in the encoding it
// was read in, each character as the file spells it, with the findings at
// the file's places.
RenumberOutcome renumber_listing(const ListingText &listing, const RenumberOptions &options, Sink out,
                                 FindingSink findings);

} // namespace morvane
