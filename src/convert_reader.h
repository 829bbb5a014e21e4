// The listing reader: the listing's lines, one at a time, cut by its text
// rules and converted into target codes.
#pragma once

#include "line_text.h"

struct LineBuffer {
    unsigned char text[LINE_BUFFER_SIZE + SCAN_PADDING]; // the line, its line feed if any, 0x00
};

extern LineBuffer line_buffer;

// Forgets anything read ahead from an earlier listing; input_stream is read from its start.
void start_line_reader();

// Loads the next line, converted to target codes, and returns its text:
// in line_buffer, or in place where the listing's bytes need no change. It
// ends at its line feed or a 0x00 and stays valid until the next load;
// nullptr when the listing has no more lines. A character the target set
// lacks stops the run.
const unsigned char *load_next_line();
