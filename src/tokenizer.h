// The statement tokenizer: turns the body of one line into a record body.
#pragma once

#include <cstdint>

// Returns the token of the first keyword in table order that the text at the
// mark starts with, upper-cased, and moves both cursors past it; 0 and the
// mark unmoved when no keyword starts here.
std::int32_t match_keyword();

// Writes the record body from the mark to the line's end, then its 0x00.
void tokenize_statements();
