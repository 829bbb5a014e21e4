// The statement tokenizer: turns the body of one line into a record body.
#pragma once

#include <cstdint>

// Returns the token of the first keyword in table order that text starts
// with, upper-cased, and sets length to the keyword's length; returns 0 and
// leaves length alone when no keyword starts there. text must end with a 0x00.
std::int32_t match_keyword(const unsigned char *text, int &length);

// Writes the record body from the mark to the line's end, then its 0x00.
void tokenize_statements();
