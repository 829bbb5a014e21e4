// A record body decoded a byte at a time into listing text, as the
// converter's tokenizer stood at each byte: tokens by name or by a
// one-character spelling, target codes as Shift_JIS characters.
#pragma once

#include <cstdint>

namespace morvane {

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

// How a step spells what it decodes.
enum Spelling : unsigned char {
    BY_NAME,  // a token by its keyword's name, a character as its Shift_JIS character
    SPELLED,  // a token by its one-character spelling
    SHORTEST, // besides, every byte the converter passes through unchanged as that byte
};

// True for a token that has a one-character spelling.
bool has_spelling(unsigned char token);

// Decodes the body byte b, followed in the body by next (-1 if none), into
// text at out, spelled as asked.
DecodedStep decode_spelled(BodyDecoder &decoder, unsigned char b, int next, Spelling spelling,
                           unsigned char *out);

// Decodes the body byte b, followed in the body by next (-1 if none), into
// text at out. respelled writes a token by its one-character spelling.
DecodedStep decode_step(BodyDecoder &decoder, unsigned char b, int next, bool respelled,
                        unsigned char *out);

} // namespace morvane
