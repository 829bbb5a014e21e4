#include "core/basic/editor_position.h"

#include <algorithm>
#include <cstring>

namespace morvane {

bool starts_with_byte_order_mark(const unsigned char *listing, std::size_t length) {
    return length >= 3 && std::memcmp(listing, "\xEF\xBB\xBF", 3) == 0;
}

EditorCursor start_editor_cursor(const unsigned char *bytes, std::size_t length, bool utf8) {
    std::size_t first = starts_with_byte_order_mark(bytes, length) ? 3 : 0;
    return {bytes, length, first, {1, 1}, utf8};
}

namespace {

// A UTF-8 character's bytes by its first; 1 for a byte that starts none.
std::size_t utf8_width(const unsigned char *bytes, std::size_t available) {
    unsigned char b = bytes[0];
    std::size_t width = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (width > available) return 1;
    for (std::size_t i = 1; i < width; i++)
        if ((bytes[i] & 0xC0) != 0x80) return 1;
    return width;
}

// Crosses the whole lines between the cursor and offset a line at a time,
// each found by its line feed, while none holds a carriage return but the
// one before its line feed; the column starts again after each.
void cross_lines(EditorCursor &cursor, std::size_t offset) {
    std::size_t until = std::min(offset, cursor.length);
    while (cursor.at < until) {
        const unsigned char *from = cursor.bytes + cursor.at;
        const void *found = std::memchr(from, '\n', until - cursor.at);
        if (found == nullptr) return;
        auto length = static_cast<std::size_t>(static_cast<const unsigned char *>(found) - from);
        std::size_t plain = length > 0 && from[length - 1] == '\r' ? length - 1 : length;
        if (std::memchr(from, '\r', plain) != nullptr) return;
        cursor.at += length + 1;
        cursor.position = {cursor.position.line + 1, 1};
    }
}

} // namespace

EditorPosition editor_position(EditorCursor &cursor, std::size_t offset) {
    cross_lines(cursor, offset);
    const unsigned char *bytes = cursor.bytes;
    std::size_t at = cursor.at;
    EditorPosition position = cursor.position;
    while (at < offset && at < cursor.length) {
        unsigned char b = bytes[at];
        if (b == '\n' || b == '\r') {
            at++;
            // A carriage return before a line feed leaves the line to it.
            if (b == '\n' || at >= cursor.length || bytes[at] != '\n')
                position = {position.line + 1, 1};
            continue;
        }
        std::size_t width =
            cursor.utf8 ? utf8_width(bytes + at, cursor.length - at)
            : is_sjis_first_byte(b) && at + 1 < cursor.length && is_sjis_second_byte(bytes[at + 1])
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
                                     std::size_t from, EditorPosition at_from, std::size_t to,
                                     bool utf8) {
    EditorCursor cursor{bytes, length, from, at_from, utf8};
    return editor_position(cursor, to);
}

} // namespace morvane
