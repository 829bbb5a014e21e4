// The conversion run: its command line, and the one way a conversion error
// found inside a line ends it.
#pragma once

// Prints the usage text and exits 1 unless there are exactly two arguments.
void check_arguments_or_exit(int argument_count);

// Prints the message with the current line number, closes both files, exits 1.
[[noreturn]] void fatal_error(const char *message);
