// The two files of a program's run, opened and closed with care, and the
// ways a run ends early because of them.
//
// A run reads one input file and writes one output file. A failure to
// open one prints one line on standard error and ends the process with
// status 1. Nothing here allocates or throws.
#pragma once

#include <cstddef>
#include <cstdio>

#include "core/io/core_io.h"
#include "core/text/unicode_text.h"

namespace morvane {

struct RunFiles {
    std::FILE *input;
    std::FILE *output;
    const char *input_path;
    const char *output_path;
    bool output_is_standard; // standard output: never emptied or cut back
    // The input's first bytes, read ahead to look at them, handed on first.
    unsigned char head[16];
    std::size_t head_length;
    std::size_t head_position;
};

// "-" names standard input or standard output; "./-" a file so named.
inline bool is_standard_stream(const char *path) {
    return path[0] == '-' && path[1] == '\0';
}

// Which standard streams were closed when the program started.
struct ClosedStreams {
    bool input, output, errors;
};

// Opens /dev/null on each of the standard streams that is closed, so that
// no file opened later takes its number and receives the messages.
ClosedStreams open_standard_streams();

// Exits 1 if both paths name one pipe or FIFO, which the run would wait on
// for ever; nothing is opened. "-" names standard input or output.
void refuse_same_pipe_or_exit(const char *input, const char *output);

// Opens the input, exiting 1 if it cannot be read as a file (a directory cannot).
void open_input_or_exit(RunFiles &files, const char *path);

// Takes standard input as the input, named in messages as name.
void use_standard_input(RunFiles &files, const char *name);

// Exits 1, before any output is opened, if the listing starts like an
// image: the two names were swapped, and the image would be overwritten.
void refuse_image_as_listing_or_exit(RunFiles &files);

// Opens the output and empties it, exiting 1 if it cannot be opened or if it
// is the input itself; in that case the input is left untouched.
void open_output_or_exit(RunFiles &files, const char *path);

// Takes standard output as the output, named in messages as name; exits 1
// if it is the input itself.
void use_standard_output_or_exit(RunFiles &files, const char *name);

// The input as the core reads it, and the output as the core writes it.
Source input_source(RunFiles &files);
Sink output_sink(RunFiles &files);

// Prints the outcome's message, if any, and closes both files; returns the
// exit status, 1 also if the output did not reach its file whole.
int finish_run(RunFiles &files, const Outcome &outcome);

// What a program says of itself: with --help or -h alone, its usage and
// options on standard output; with --version alone, its name and the
// project's version. Either ends the process with status 0.
struct ProgramText {
    const char *name;
    const char *help;
};
void answer_help_or_version(int argc, char **argv, const ProgramText &program);

// An option that takes a value, as "--option=VALUE" or "--option VALUE":
// if argv[at] is it, value is set (nullptr if none follows), at moves to
// its last word and the result is true.
bool take_valued_option(int argc, char **argv, int &at, const char *option, const char *&value);

// The encoding named by --encoding's value; exits with the status after
// naming what is wrong if it names none.
EncodingChoice encoding_or_exit(const char *program, const char *value, int status);

// Prints one line on standard error: the format with its arguments.
template <typename... Arguments> void print_line(const char *format, Arguments... arguments) {
    std::fprintf(stderr, format, arguments...);
    std::fputc('\n', stderr);
}

} // namespace morvane
