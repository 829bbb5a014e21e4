// The statement tokenizer: turns the statements of one line into a record body.
#pragma once

#include "line_text.h"

// The most a body and its 0x00 can take: a body is never longer than its line.
constexpr int LONGEST_BODY = LINE_BUFFER_SIZE + 1;

// Writes the record body for the statements at text, up to the line's end,
// then its 0x00, at out; returns the place after the 0x00. out has room for
// LONGEST_BODY bytes.
unsigned char *tokenize_statements(const unsigned char *text, unsigned char *out);
