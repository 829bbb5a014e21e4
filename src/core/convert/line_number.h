// The line-number field at the start of every listing line.
#pragma once

#include <cstdint>

namespace morvane {

// Reads the decimal line number at the start of text into number, and
// returns where the statements start: after the digits and one separating
// space. Like the target BASIC, any number of digits is taken and the value
// wraps in 32-bit two's complement; a line without digits has number 0.
const unsigned char *read_line_number(const unsigned char *text, std::int32_t &number);

} // namespace morvane
