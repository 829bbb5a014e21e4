// The line-number field at the start of every listing line, and the record head it gives.
#pragma once

#include <cstdint>

// The number of the last line accepted; -1 before the first.
extern std::int32_t previous_line_number;

// The number being parsed or last parsed; conversion errors report it.
extern std::int32_t current_line_number;

// Reads the line number at the start of the buffer and one separating space,
// stops the run unless the number is above the previous one, and writes the
// record head: 0xFF, 0xFF, then the number's low and high byte.
void parse_line_number();
