// The conversion run: its command line, the listing converted line by line
// into the image, and the one way a conversion error found inside a line
// ends it.
#pragma once

// Prints the usage text and exits 1 unless there are exactly two arguments.
void check_arguments_or_exit(int argument_count);

// Converts the listing on input_stream into the image on output_stream:
// the header, one record per line, the trailer. Every run starts afresh; a
// conversion error ends it through fatal_error.
void convert_listing();

// Prints the message with the current line number, closes both files, exits 1.
[[noreturn]] void fatal_error(const char *message);
