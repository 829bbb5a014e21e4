#include "core/convert/line_convert.h"

#include <cstring>

#include "core/basic/charset.h"
#include "core/convert/line_number.h"
#include "core/basic/line_text.h"
#include "core/convert/tokenizer.h"
#include "core/basic/word_scan.h"

namespace morvane {

namespace {

// A line without a byte from 0x80 up needs no character conversion.
bool has_byte_from_0x80(const unsigned char *text, int length) {
    std::uint64_t high = 0;
    int i = 0;
    for (; i + WORD_SIZE <= length; i += WORD_SIZE)
        high |= load_word(text + i);
    for (; i < length; i++)
        high |= text[i];
    return (high & HIGH_BITS) != 0;
}

// Reads the line number and tokenizes the statements of a line ending in 0x00.
int tokenize_line(const unsigned char *line, unsigned char *body, std::int32_t &number) {
    const unsigned char *statements = read_line_number(line, number);
    return static_cast<int>(tokenize_statements(statements, body) - body) - 1;
}

} // namespace

int convert_line_in_memory(const unsigned char *text, int length, unsigned char *body,
                           std::int32_t &number) {
    unsigned char line[LINE_BUFFER_SIZE + SCAN_PADDING];
    std::memcpy(line, text, static_cast<std::size_t>(length));
    std::memset(line + length, 0x00, SCAN_PADDING); // its end, and room to scan past it
    if (has_byte_from_0x80(text, length) && !convert_charset(line)) return -1;
    return tokenize_line(line, body, number);
}

int convert_ascii_line_with_room(unsigned char *text, int length, unsigned char *body,
                                 std::int32_t &number) {
    text[length] = 0x00;
    return tokenize_line(text, body, number);
}

} // namespace morvane
