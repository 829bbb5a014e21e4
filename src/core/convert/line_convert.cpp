#include "core/convert/line_convert.h"

#include <cstring>

#include "core/basic/charset.h"
#include "core/basic/line_text.h"
#include "core/basic/word_scan.h"
#include "core/convert/line_number.h"
#include "core/convert/tokenizer.h"

namespace morvane {

namespace {

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
