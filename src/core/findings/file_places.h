// Findings about a listing read as UTF-8, told at the file's own places:
// the core reads the Shift_JIS bytes that spell the listing, and a finding
// stands where that text's bytes came from, its column counted in the
// file's characters.
#pragma once

#include "core/basic/editor_position.h"
#include "core/findings/findings.h"
#include "core/text/listing_decoding.h"

namespace morvane {

struct FilePlaces {
    const ListingText *listing;
    EditorCursor cursor;
    FindingSink sink;
    bool told_outside;        // a character outside the set was told, at
    std::size_t last_outside; // this file offset
};

// A sink that moves each finding to its place in the listing's file and
// names the characters it is about as the file holds them, then tells it
// to sink; the sink itself where the text is the file's bytes.
FindingSink findings_in_file(FilePlaces &places, const ListingText &listing, FindingSink sink);

} // namespace morvane
