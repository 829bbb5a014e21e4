// The scanner's items at the file's places: each item of every line of a
// listing, with its offset and length in the file (the UTF-8 file's bytes,
// where it was read as UTF-8) and its line and column as an editor counts
// them. The scan API and the language server both read a listing so.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/basic/scanner.h"
#include "core/text/listing_decoding.h"

namespace morvane {

struct FileItem {
    ItemKind kind;
    std::int32_t token; // KEYWORD: its token; -1 otherwise
    std::int64_t value; // LINE_NUMBER and REFERENCE: the number; -1 otherwise
    std::size_t offset; // its first byte in the file
    std::size_t length; // its bytes in the file
    std::uint64_t line; // its first byte's line and column
    std::uint64_t column;
};

struct FileItemSink {
    // False stops the scan (memory ran out where the items are kept).
    bool (*take)(void *context, const FileItem &item);
    void *context;
};

// Tells every item of the listing in order; items never overlap (the pairs
// a character outside the set is read as, in a UTF-8 file, are the one item
// the first gives). False if the sink stopped it.
bool scan_file_items(const ListingText &listing, FileItemSink sink);

} // namespace morvane
