// morvane-list: lists a tokenized program image as a BASIC listing that
// converts back into the same image.
#include <cstdio>
#include <cstdlib>

#include "core/io/run_messages.h"
#include "core/list/list_run.h"
#include "programs/run_files.h"

namespace {

// Prints the usage text and exits 1 unless there are exactly two arguments.
void check_arguments_or_exit(int argument_count) {
    if (argument_count == 2) return;
    std::fputs("morvane-list version " MORVANE_VERSION " : usage\n", stderr);
    std::fputs("  morvane-list infile outfile\n", stderr);
    std::exit(1);
}

constexpr const char *HELP =
    "usage: morvane-list [--encoding=NAME] IMAGE LISTING\n"
    "Lists a tokenized program image as a BASIC listing that converts back into it.\n"
    "  IMAGE        the image to read; - for standard input\n"
    "  LISTING      the listing to write; - for standard output\n"
    "  --encoding=NAME  write the listing as shift_jis (default) or utf-8\n"
    "  -h, --help   print this help\n"
    "  --version    print the version\n"
    "Status: 0 listed, 1 failed, 2 listed but the listing alone does not convert back\n"
    "into the identical image (a line, the image's name, the encoding).\n";
constexpr morvane::ProgramText PROGRAM{"morvane-list", HELP};

void name_line_not_read_back(void *, std::uint64_t line_number, int body_offset) {
    morvane::with_line_not_read_back_message(
        line_number, body_offset,
        [](const char *format, auto... arguments) { morvane::print_line(format, arguments...); });
}

// The run's blocks, a few hundred KiB: static, so that starting the
// program needs no allocation.
morvane::Lister lister;

} // namespace

int main(int argc, char **argv) {
    using namespace morvane;
    open_standard_streams();
    answer_help_or_version(argc, argv, PROGRAM);
    Encoding encoding = Encoding::SHIFT_JIS;
    int first = 1;
    for (const char *value = nullptr;
         first < argc && take_valued_option(argc, argv, first, "--encoding", value); first++)
        encoding = encoding_or_exit("morvane-list", value, 1) == EncodingChoice::UTF_8
                       ? Encoding::UTF_8
                       : Encoding::SHIFT_JIS;
    check_arguments_or_exit(argc - first);
    const char *image = argv[first], *listing = argv[first + 1];
    refuse_same_pipe_or_exit(image, listing);
    RunFiles files;
    if (is_standard_stream(image))
        use_standard_input(files, image);
    else
        open_input_or_exit(files, image);
    Outcome outcome = start_listing(lister, input_source(files)); // before the listing is created
    if (outcome.kind == OutcomeKind::COMPLETE) {
        if (is_standard_stream(listing))
            use_standard_output_or_exit(files, listing);
        else
            open_output_or_exit(files, listing);
        outcome =
            list_records(lister, output_sink(files), {name_line_not_read_back, nullptr}, encoding);
    }
    return finish_run(files, outcome);
}
