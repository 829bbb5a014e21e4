// The conversion run: the command line, the two files, and every way the run ends.
//
// A run is one pass: open the listing, open the image, convert every line,
// close both. Any error prints one line on standard error and ends the
// process with status 1 through end_process.
#pragma once

#include <cstdio>

extern std::FILE *input_stream;

// Ends the process with the given status. The program exits; a test harness
// that converts in memory may define it to unwind instead.
[[noreturn]] void end_process(int status);

// Prints the usage text and exits 1 unless there are exactly two arguments.
void check_arguments_or_exit(int argument_count);

// Opens the listing, exiting 1 if it cannot be read as a file.
void open_listing_or_exit(const char *path);

// Creates or truncates the image, exiting 1 if it cannot, or if it is the listing itself.
void open_image_or_exit(const char *path);

// Closes both files, exiting 1 if the image did not reach its file whole.
void close_files_or_exit();

// Prints the message with the current line number, closes both files, exits 1.
[[noreturn]] void fatal_error(const char *message);

// Ends the run because the listing could not be read; the image gets no trailer.
[[noreturn]] void exit_read_failed();

// Ends the run because the image could not be written.
[[noreturn]] void exit_write_failed();
