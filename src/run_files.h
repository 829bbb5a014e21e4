// The two files of a run, opened and closed with care, and the ways a run
// ends early because of them.
//
// A run reads one input file and writes one output file. Every failure
// prints one line on standard error and ends the process with status 1
// through end_process. Nothing here allocates or throws.
#pragma once

#include <cstdio>

extern std::FILE *input_stream;

// Ends the process with the given status. The programs exit; a test harness
// that converts in memory may define it to unwind instead.
[[noreturn]] void end_process(int status);

// Opens /dev/null on each of the standard streams that is closed, so that
// no file opened later takes its number and receives the messages.
void open_standard_streams();

// Exits 1 if both paths name one pipe or FIFO, which the run would wait on
// for ever; nothing is opened.
void refuse_same_pipe_or_exit(const char *input_path, const char *output_path);

// Opens the input, exiting 1 if it cannot be read as a file (a directory cannot).
void open_input_or_exit(const char *path);

// The input's path as given.
const char *input_file_path();

// Opens the output and empties it, exiting 1 if it cannot be opened or if it
// is the input itself; in that case the input is left untouched.
void open_output_or_exit(const char *path);

// Runs on streams opened elsewhere (in memory, say): input and output
// become the run's files, named in messages as given.
void use_streams(std::FILE *input, const char *input_name, std::FILE *output,
                 const char *output_name);

// Closes both files, exiting 1 if the output did not reach its file whole.
void close_files_or_exit();

// Closes both files after a failure, pushing out what is gathered.
void close_files();

// Prints the format with the path in place of %s, closes both files, exits 1.
[[noreturn]] void exit_with_message(const char *format, const char *path);

// Ends the run because the input could not be read.
[[noreturn]] void exit_read_failed();

// Ends the run because the output could not be written.
[[noreturn]] void exit_write_failed();
