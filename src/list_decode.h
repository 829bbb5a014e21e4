// A record body decoded into listing text: tokens by name or by a
// one-character spelling, target codes as Shift_JIS characters.
#pragma once

#include <cstdint>

// The longest body that a listing line of at most 1,023 bytes can give:
// one digit, a space, the body at a byte or more a byte, the line feed.
constexpr int LONGEST_CHECKED_BODY = 1020;

// Room for the line of any body of up to LONGEST_CHECKED_BODY bytes.
constexpr int LISTED_LINE_ROOM = 8 * 1024;

// The most text one step of decoding writes: the longest keyword name.
constexpr int LONGEST_STEP_TEXT = 8;

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

// Writes the listing line of a record whose body is at most
// LONGEST_CHECKED_BODY bytes and followed by its 0x00, spelled so that it converts back into the
// same body wherever the respelling rules allow; returns its length.
int list_short_record(std::uint16_t line_number, const unsigned char *body, int length,
                      unsigned char *line);

// Writes the line number in decimal at out; returns how many digits it took.
int write_line_number(std::uint16_t line_number, unsigned char *out);
