// A short record listed: its line spelled so that it converts back into
// the same body, by the respelling rules and further where they give up.
#pragma once

#include <cstdint>

#include "core/basic/line_text.h"

namespace morvane {

// The longest body that a listing line can give: a first line of 1,023
// bytes cut there, without a number, whose every byte gives one.
constexpr int LONGEST_CHECKED_BODY = LONGEST_LINE;

// Room for the line of any body of up to LONGEST_CHECKED_BODY bytes.
constexpr int LISTED_LINE_ROOM = 9 * 1024;

struct ListedLine {
    int length;    // bytes of the line written
    int broken_at; // the first body byte the line does not give back; -1 if it gives all
};

// Writes the listing line of a record whose body is at most
// LONGEST_CHECKED_BODY bytes and followed by its 0x00, spelled so that it
// converts back into the same body wherever the respelling rules allow.
// line_number is the number to write, above the previous line's.
ListedLine list_short_record(std::uint64_t line_number, const unsigned char *body, int length,
                             unsigned char *line);

} // namespace morvane
