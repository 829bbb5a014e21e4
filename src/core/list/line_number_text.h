// A line number written in decimal, as the lister writes every line's.
#pragma once

#include <cstdint>

namespace morvane {

// The most digits a line number takes: numbers climb by up to 65,536 a
// record when their stored low 16 bits fall.
constexpr int LONGEST_LINE_NUMBER_TEXT = 20;

// How many decimal digits the number takes.
int count_digits(std::uint64_t value);

// Writes the line number in decimal at out; returns how many digits it took.
int write_line_number(std::uint64_t line_number, unsigned char *out);

} // namespace morvane
