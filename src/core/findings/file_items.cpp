#include "core/findings/file_items.h"

#include "core/basic/editor_position.h"
#include "core/basic/listing_front.h"

namespace morvane {
namespace {

FileItem file_item(const ListingText &listing, const FrontLine &line, EditorCursor &cursor,
                   const Item &item) {
    FileItem out{};
    out.kind = item.kind;
    out.token = item.kind == ItemKind::KEYWORD ? item.token : -1;
    bool numbered = item.kind == ItemKind::LINE_NUMBER || item.kind == ItemKind::REFERENCE;
    out.value = numbered ? static_cast<std::int64_t>(item.value) : -1;
    out.offset = file_offset(listing, text_origin(line, item.start));
    out.length = file_end_offset(listing, text_end_offset(line, item.end - 1)) - out.offset;
    EditorPosition position = editor_position(cursor, out.offset);
    out.line = position.line;
    out.column = position.column;
    return out;
}

// Where the line's content ends in the listing's text: at its first 0x00,
// else before its line end.
std::size_t content_end(const ListingText &listing, const FrontLine &line) {
    if (line.nul != NO_OFFSET) return line.nul;
    std::size_t end = line.end;
    if (line.line_feed) end--; // the line feed is the line's last byte
    while (end > line.start && listing.text[end - 1] == '\r')
        end--;
    return end;
}

// A remark, DATA or a string that reaches the text's end reaches the line's
// end: a character the set lacks has no byte in the text, so one at the
// end would be left out.
void reach_line_end(const ListingText &listing, const FrontLine &line, const Item &item,
                    FileItem &out) {
    bool to_the_end = item.kind == ItemKind::REMARK || item.kind == ItemKind::DATA ||
                      item.kind == ItemKind::STRING;
    int text_end = line.line_feed ? line.length - 1 : line.length; // the text holds the line feed
    if (!to_the_end || item.end != text_end || line.cut) return;
    std::size_t end = file_end_offset(listing, content_end(listing, line));
    if (end > out.offset + out.length) out.length = end - out.offset;
}

} // namespace

bool scan_file_items(const ListingText &listing, FileItemSink sink) {
    ListingFront front;
    FrontLine line;
    start_listing_front(front, listing.text, listing.length);
    EditorCursor cursor =
        start_editor_cursor(listing.file, listing.file_length, listing.encoding == Encoding::UTF_8);
    std::size_t told_end = 0; // after the last item told
    bool told_any = false;
    while (read_next_line(front, line)) {
        LineScan line_scan;
        start_line_scan(line_scan, line.text);
        for (Item item; scan_item(line_scan, item);) {
            FileItem out = file_item(listing, line, cursor, item);
            reach_line_end(listing, line, item, out);
            if (told_any && out.offset < told_end) continue;
            if (!sink.take(sink.context, out)) return false;
            told_any = true;
            told_end = out.offset + out.length;
        }
    }
    return true;
}

} // namespace morvane
