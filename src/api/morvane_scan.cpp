// The scan API: the core's reading of a listing, item by item, for
// editors and highlighters that show a program as the machine reads it.
#include <cstdlib>
#include <new>

#include "core/basic/editor_position.h"
#include "core/basic/listing_front.h"
#include "core/basic/scanner.h"
#include "core/io/grown.h"
#include "morvane.h"

namespace morvane {
namespace {

struct Scan {
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
    out.offset = text_origin(line, item.start);
    out.length = text_end_offset(line, item.end - 1) - out.offset;
    EditorPosition position = editor_position(scan.cursor, out.offset);
    out.line = position.line;
    out.column = position.column;
    return out;
}

bool scan_listing(Scan &scan, const unsigned char *listing, std::size_t length) {
    start_listing_front(scan.front, listing, length);
    scan.cursor = start_editor_cursor(listing, length);
    while (read_next_line(scan.front, scan.line)) {
        LineScan line_scan;
        start_line_scan(line_scan, scan.line.text);
        for (Item item; scan_item(line_scan, item);)
            if (!scan.items.add(public_item(scan, item))) return false;
    }
    return true;
}

} // namespace
} // namespace morvane

using namespace morvane;

extern "C" int morvane_scan(const unsigned char *listing, size_t listing_length,
                            morvane_item **items, size_t *count) {
    *items = nullptr;
    *count = 0;
    static const unsigned char NOTHING = 0;
    if (listing == nullptr) listing = &NOTHING, listing_length = 0;
    void *room = std::malloc(sizeof(Scan));
    if (room == nullptr) return -1;
    auto *scan = new (room) Scan{};
    bool scanned = scan_listing(*scan, listing, listing_length);
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
