// A listing's text tied back to its file: the converter's reading of a
// line with the place each byte came from, and that place as an editor
// counts lines and columns. Shared by checking and renumbering.
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

// Where the file's bytes stand as an editor counts them; it only moves forward.
struct EditorCursor {
    const unsigned char *bytes;
    std::size_t length;
    std::size_t at = 0;
    std::uint64_t line = 1;   // LF, CR LF and a lone CR each end a line
    std::uint64_t column = 1; // a two-byte character is one column

    void move_to(std::size_t offset);
};

enum class CharsetProblemKind {
    NO_SECOND_BYTE, // a first byte at the line's end
    NOT_IN_SET,     // the target set lacks the character: it is left out
    PASSED_THROUGH, // copied as its two bytes, which the machine shows as two other characters
};

using CharsetProblemFunction = void (*)(void *context, CharsetProblemKind kind, std::size_t offset,
                                        unsigned char first, unsigned char second);

// Rewrites the line's bytes (no carriage return among them, ending at a line
// feed, a 0x00 or length) into target codes as the converter does, each with
// the origin of the character it came from; tells each problem, if problem
// is not nullptr. out and out_origin have room for twice length plus
// SCAN_PADDING; returns the bytes written, followed by SCAN_PADDING 0x00s.
int convert_with_origins(const unsigned char *text, const std::size_t *origin, int length,
                         unsigned char *out, std::size_t *out_origin,
                         CharsetProblemFunction problem, void *context);

} // namespace morvane
