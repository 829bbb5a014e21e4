// The scan API: the core's reading of a listing, item by item, for
// editors and highlighters that show a program as the machine reads it.
#include <cstdlib>
#include <new>

#include "core/basic/editor_position.h"
#include "core/basic/listing_front.h"
#include "core/basic/scanner.h"
#include "core/io/grown.h"
#include "core/text/listing_decoding.h"
#include "morvane.h"

namespace morvane {
namespace {

struct Scan {
    const ListingText *listing;
    ListingFront front;
    FrontLine line;
    EditorCursor cursor;
    Grown<morvane_item> items;
};

morvane_item public_item(Scan &scan, const Item &item) {
    const FrontLine &line = scan.line;
    morvane_item out{};
    out.kind = static_cast<int>(item.kind);
    out.token = item.kind == ItemKind::KEYWORD ? item.token : -1;
    bool numbered = item.kind == ItemKind::LINE_NUMBER || item.kind == ItemKind::REFERENCE;
    out.value = numbered ? static_cast<long long>(item.value) : -1;
    // At the file's places, where the listing was read as UTF-8.
    out.offset = file_offset(*scan.listing, text_origin(line, item.start));
    out.length = file_end_offset(*scan.listing, text_end_offset(line, item.end - 1)) - out.offset;
    EditorPosition position = editor_position(scan.cursor, out.offset);
    out.line = position.line;
    out.column = position.column;
    return out;
}

bool scan_listing(Scan &scan, const ListingText &listing) {
    scan.listing = &listing;
    start_listing_front(scan.front, listing.text, listing.length);
    scan.cursor =
        start_editor_cursor(listing.file, listing.file_length, listing.encoding == Encoding::UTF_8);
    while (read_next_line(scan.front, scan.line)) {
        LineScan line_scan;
        start_line_scan(line_scan, scan.line.text);
        for (Item item; scan_item(line_scan, item);) {
            morvane_item out = public_item(scan, item);
            // Items within one character of a UTF-8 file (the pairs a character
            // outside the set is read as) are the one item the first gives.
            const morvane_item *last =
                scan.items.count > 0 ? &scan.items.items[scan.items.count - 1] : nullptr;
            if (last != nullptr && out.offset < last->offset + last->length) continue;
            if (!scan.items.add(out)) return false;
        }
    }
    return true;
}

} // namespace
} // namespace morvane

using namespace morvane;

extern "C" int morvane_scan_with(const unsigned char *listing, size_t listing_length,
                                 const morvane_options *options, morvane_item **items,
                                 size_t *count) {
    *items = nullptr;
    *count = 0;
    static const unsigned char NOTHING = 0;
    if (listing == nullptr) listing = &NOTHING, listing_length = 0;
    int asked = options == nullptr ? MORVANE_ENCODING_BY_CONTENT : options->encoding;
    if (asked < MORVANE_ENCODING_BY_CONTENT || asked > MORVANE_ENCODING_UTF_8) return -1;
    EncodingChoice choice = asked == MORVANE_ENCODING_SHIFT_JIS ? EncodingChoice::SHIFT_JIS
                            : asked == MORVANE_ENCODING_UTF_8   ? EncodingChoice::UTF_8
                                                                : EncodingChoice::BY_CONTENT;
    ListingText text;
    if (!read_listing_text(listing, listing_length, choice, text)) return -1;
    void *room = std::malloc(sizeof(Scan));
    if (room == nullptr) {
        free_listing_text(text);
        return -1;
    }
    auto *scan = new (room) Scan{};
    bool scanned = scan_listing(*scan, text);
    free_listing_text(text);
    if (scanned) {
        *items = scan->items.items;
        *count = scan->items.count;
        scan->items.items = nullptr;
    }
    scan->~Scan();
    std::free(room);
    if (scanned && *items == nullptr) *items = static_cast<morvane_item *>(std::malloc(1));
    return scanned ? 0 : -1;
}

extern "C" int morvane_scan(const unsigned char *listing, size_t listing_length,
                            morvane_item **items, size_t *count) {
    return morvane_scan_with(listing, listing_length, nullptr, items, count);
}
