// A record body decoded into listing text: tokens by name or by a
// one-character spelling, target codes as Shift_JIS characters.
#pragma once

#include <cstdint>

#include "core/basic/line_text.h"

namespace morvane {

// The longest body that a listing line can give: a first line of 1,023
// bytes cut there, without a number, whose every byte gives one.
constexpr int LONGEST_CHECKED_BODY = LONGEST_LINE;

// The most text one step of decoding writes: the longest keyword name.
constexpr int LONGEST_STEP_TEXT = 8;

// The most digits a line number takes: numbers climb by up to 65,536 a
// record when their stored low 16 bits fall.
constexpr int LONGEST_LINE_NUMBER_TEXT = 20;

// Room for the line of any body of up to LONGEST_CHECKED_BODY bytes.
constexpr int LISTED_LINE_ROOM = 9 * 1024;

enum class BodyState : unsigned char { NORMAL, STRING, DATA, REMARK };

// Where decoding stands in a body, as the converter's tokenizer stood there.
struct BodyDecoder {
    BodyState state = BodyState::NORMAL;
    bool in_quotes = false; // inside quotes among DATA items
};

struct DecodedStep {
    int written;        // bytes of text written
    int used;           // body bytes used: 1, or 2 for a pair
    bool token_by_name; // a token was written by its keyword's name
};

// Decodes the body byte b, followed in the body by next (-1 if none), into
// text at out. respelled writes a token by its one-character spelling.
DecodedStep decode_step(BodyDecoder &decoder, unsigned char b, int next, bool respelled,
                        unsigned char *out);

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

// Writes the line number in decimal at out; returns how many digits it took.
int write_line_number(std::uint64_t line_number, unsigned char *out);

} // namespace morvane
