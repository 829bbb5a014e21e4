#include "core/convert/line_number.h"

namespace morvane {

namespace {

bool is_digit(unsigned char c) {
    return c >= '0' && c <= '9';
}

} // namespace

const unsigned char *read_line_number(const unsigned char *text, std::int32_t &number) {
    std::uint32_t value = 0;
    for (; is_digit(*text); text++)
        value = value * 10u + static_cast<std::uint32_t>(*text - '0');
    number = static_cast<std::int32_t>(value);
    // Exactly one space separates the number from the statements.
    return *text == ' ' ? text + 1 : text;
}

} // namespace morvane
