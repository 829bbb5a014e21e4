// The statement tokenizer: turns the statements of one line into a record body.
#pragma once

#include "core/basic/line_text.h"

namespace morvane {

// The most a body and its 0x00 can take, since a body is never longer than
// its line, and the room the tokenizer may write past them.
constexpr int LONGEST_BODY = LINE_BUFFER_SIZE + 1;
constexpr int BODY_ROOM = LONGEST_BODY + SCAN_PADDING;

// Writes the record body for the statements at text, up to the line's end,
// then its 0x00, at out; returns the place after the 0x00. text has
// SCAN_PADDING bytes of room past the line's end; out has room for
// BODY_ROOM bytes.
unsigned char *tokenize_statements(const unsigned char *text, unsigned char *out);

} // namespace morvane
