// The listing reader: the listing's lines, one at a time, cut by its text
// rules and converted into target codes.
#pragma once

#include "line_text.h"

struct LineBuffer {
    unsigned char text[LINE_BUFFER_SIZE]; // the line, its line feed if it has one, then 0x00
};

extern LineBuffer line_buffer;

// Forgets anything read ahead from an earlier listing; input_stream is read from its start.
void start_line_reader();

// Loads the next line into line_buffer, converted to target codes; false
// when the listing has no more lines. A character the target set lacks
// stops the run.
bool load_next_line();
