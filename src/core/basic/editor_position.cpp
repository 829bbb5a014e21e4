#include "core/basic/editor_position.h"

#include <cstring>

namespace morvane {

bool starts_with_byte_order_mark(const unsigned char *listing, std::size_t length) {
    return length >= 3 && std::memcmp(listing, "\xEF\xBB\xBF", 3) == 0;
}

EditorCursor start_editor_cursor(const unsigned char *bytes, std::size_t length) {
    std::size_t first = starts_with_byte_order_mark(bytes, length) ? 3 : 0;
    return {bytes, length, first, {1, 1}};
}

EditorPosition editor_position(EditorCursor &cursor, std::size_t offset) {
    const unsigned char *bytes = cursor.bytes;
    std::size_t at = cursor.at;
    EditorPosition position = cursor.position;
    while (at < offset && at < cursor.length) {
        unsigned char b = bytes[at];
        if (b == '\n' || b == '\r') {
            at++;
            // A carriage return before a line feed leaves the line to it.
            if (b == '\n' || at >= cursor.length || bytes[at] != '\n') position = {position.line + 1, 1};
            continue;
        }
        std::size_t width =
            is_sjis_first_byte(b) && at + 1 < cursor.length && is_sjis_second_byte(bytes[at + 1])
                ? 2
                : 1;
        if (at + width > offset) break; // the offset stands inside this character
        at += width;
        position.column++;
    }
    cursor.at = at;
    cursor.position = position;
    return position;
}

EditorPosition editor_position_after(const unsigned char *bytes, std::size_t length,
                                     std::size_t from, EditorPosition at_from, std::size_t to) {
    EditorCursor cursor{bytes, length, from, at_from};
    return editor_position(cursor, to);
}

} // namespace morvane
