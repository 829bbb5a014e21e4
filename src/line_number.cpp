#include "line_number.h"

#include "convert_run.h"
#include "image_format.h"
#include "line_buffer.h"

std::int32_t previous_line_number = -1;
std::int32_t current_line_number = 0;

namespace {

constexpr unsigned RECORD_START = 0xFF;

bool is_digit(unsigned char c) {
    return c >= '0' && c <= '9';
}

// Reads the decimal digits at the mark and consumes them with one separating
// space. Like the target BASIC, any number of digits is taken and the value
// wraps in 32-bit two's complement.
std::int32_t read_decimal() {
    const unsigned char *start = line_buffer.text + line_buffer.mark;
    const unsigned char *at = start;
    std::uint32_t value = 0;
    for (; is_digit(*at); at++)
        value = value * 10u + static_cast<std::uint32_t>(*at - '0');
    // Exactly one space separates the number from the statements.
    if (*at == ' ') at++;
    advance_mark(static_cast<int>(at - start));
    return static_cast<std::int32_t>(value);
}

} // namespace

void parse_line_number() {
    current_line_number = read_decimal();
    if (previous_line_number >= current_line_number) fatal_error("Illegal line number found in");
    previous_line_number = current_line_number;
    auto stored = static_cast<std::uint32_t>(current_line_number);
    write_byte(RECORD_START);
    write_byte(RECORD_START);
    write_byte(stored & 0xFFu);
    write_byte((stored >> 8) & 0xFFu);
}
