// The scan API: the core's reading of a listing, item by item, for
// editors and highlighters that show a program as the machine reads it.
#include <cstdlib>

#include "core/findings/file_items.h"
#include "core/io/grown.h"
#include "core/text/listing_decoding.h"
#include "morvane.h"

namespace morvane {
namespace {

bool add_public_item(void *context, const FileItem &item) {
    morvane_item out{};
    out.kind = static_cast<int>(item.kind);
    out.token = item.token;
    out.value = item.value;
    out.offset = item.offset;
    out.length = item.length;
    out.line = item.line;
    out.column = item.column;
    return static_cast<Grown<morvane_item> *>(context)->add(out);
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
    Grown<morvane_item> scanned_items;
    bool scanned = scan_file_items(text, {add_public_item, &scanned_items});
    free_listing_text(text);
    if (scanned) {
        *items = scanned_items.items;
        *count = scanned_items.count;
        scanned_items.items = nullptr;
    }
    if (scanned && *items == nullptr) *items = static_cast<morvane_item *>(std::malloc(1));
    return scanned ? 0 : -1;
}

extern "C" int morvane_scan(const unsigned char *listing, size_t listing_length,
                            morvane_item **items, size_t *count) {
    return morvane_scan_with(listing, listing_length, nullptr, items, count);
}
