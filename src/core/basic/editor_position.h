// Where a listing's bytes stand as an editor counts them: lines and
// columns, a two-byte character being one column.
#pragma once

#include <cstddef>
#include <cstdint>

namespace morvane {

constexpr bool is_ascii_digit(unsigned char c) {
    return c >= '0' && c <= '9';
}
constexpr bool is_ascii_letter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Shift_JIS: the first bytes of a two-byte character, and the second.
constexpr bool is_sjis_first_byte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
constexpr bool is_sjis_second_byte(unsigned char b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

// True if the listing starts with the three bytes several editors start a
// UTF-8 file with: they are no text of the program.
bool starts_with_byte_order_mark(const unsigned char *listing, std::size_t length);

struct EditorPosition {
    std::uint64_t line;   // 1 + the line ends before it: LF, CR LF and a lone CR each end one
    std::uint64_t column; // 1 + the characters before it on its line
};

// A position in the listing that only moves forward, so that a run through
// it in file order walks each byte once. The byte-order mark takes no column.
struct EditorCursor {
    const unsigned char *bytes;
    std::size_t length;
    std::size_t at;
    EditorPosition position;
    bool utf8; // a character is a UTF-8 one (a byte that is no UTF-8 is one too), not Shift_JIS
};

EditorCursor start_editor_cursor(const unsigned char *bytes, std::size_t length, bool utf8 = false);

// The position of the character that holds the byte at offset, which must
// not stand before the cursor's last one.
EditorPosition editor_position(EditorCursor &cursor, std::size_t offset);

// The position of the byte at to, counted on from that of the byte at
// from, which starts a character: for the end of a stretch whose start is known.
EditorPosition editor_position_after(const unsigned char *bytes, std::size_t length,
                                     std::size_t from, EditorPosition at_from, std::size_t to,
                                     bool utf8 = false);

} // namespace morvane
