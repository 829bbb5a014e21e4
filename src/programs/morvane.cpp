// morvane: converts a BASIC listing into a tokenized program image.
#include <cstdio>
#include <cstdlib>

#include "core/convert/convert_run.h"
#include "programs/run_files.h"

namespace {

// Prints the usage text and exits 1 unless there are exactly two arguments.
void check_arguments_or_exit(int argument_count) {
    if (argument_count == 2) return;
    std::fputs("morvane version 0.5 : usage\n", stderr);
    std::fputs("  morvane infile outfile\n", stderr);
    std::exit(1);
}

constexpr const char *HELP = "usage: morvane LISTING IMAGE\n"
                             "Converts a BASIC listing into a tokenized program image.\n"
                             "  LISTING      the listing to read; - for standard input\n"
                             "  IMAGE        the image to write; - for standard output\n"
                             "  -h, --help   print this help\n"
                             "  --version    print the version\n"
                             "Status: 0 converted, 1 failed (a partial image is left behind).\n";
constexpr morvane::ProgramText PROGRAM{"morvane", HELP};

// The run's blocks, a few hundred KiB: static, so that starting the
// program needs no allocation.
morvane::Converter converter;

} // namespace

int main(int argc, char **argv) {
    using namespace morvane;
    open_standard_streams();
    answer_help_or_version(argc, argv, PROGRAM);
    check_arguments_or_exit(argc - 1);
    refuse_same_pipe_or_exit(argv[1], argv[2]);
    RunFiles files;
    if (is_standard_stream(argv[1]))
        use_standard_input(files, argv[1]);
    else
        open_input_or_exit(files, argv[1]);
    refuse_image_as_listing_or_exit(files); // before the output, typically the listing, is opened
    if (is_standard_stream(argv[2]))
        use_standard_output_or_exit(files, argv[2]);
    else
        open_output_or_exit(files, argv[2]);
    Outcome outcome = convert(converter, input_source(files), output_sink(files));
    return finish_run(files, outcome);
}
