// libFuzzer target for the scanner: arbitrary bytes as a listing. Every
// record the converter writes through its fast paths is the one the
// scanner's items give for its line, and the scan API's items stand in
// order, inside the listing, without overlapping, each of a known kind.
#include <cstdint>
#include <string>

#include "../tests/scan_reading.h"
#include "in_memory.h"
#include "morvane.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string listing(reinterpret_cast<const char *>(data), size);
    require(scan_reading::differences(listing).empty(),
            "the converter writes what the scanner reads");
    morvane_item *items = nullptr;
    std::size_t count = 0;
    require(morvane_scan(data, size, &items, &count) == 0, "memory for the items");
    std::size_t end = 0;
    for (std::size_t i = 0; i < count; i++) {
        const morvane_item &item = items[i];
        require(item.offset >= end && item.length > 0 && item.offset + item.length <= size,
                "items in order, inside the listing, never overlapping");
        require(item.kind >= MORVANE_ITEM_LINE_NUMBER && item.kind <= MORVANE_ITEM_OTHER,
                "a known kind");
        require((item.kind == MORVANE_ITEM_KEYWORD) == (item.token >= 0x80 && item.token <= 0xF9),
                "a token exactly for a keyword");
        require(item.line >= 1 && item.column >= 1, "a place");
        end = item.offset + item.length;
    }
    morvane_free(items);
    return 0;
}
