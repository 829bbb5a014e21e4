// morvane: converts a BASIC listing into a tokenized program image.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/convert/convert_run.h"
#include "core/list/image_name.h"
#include "programs/run_files.h"

namespace {

// Prints the usage text and exits 1 unless there are exactly two arguments.
void check_arguments_or_exit(int argument_count) {
    if (argument_count == 2) return;
    std::fputs("morvane version 0.5 : usage\n", stderr);
    std::fputs("  morvane infile outfile\n", stderr);
    std::exit(1);
}

constexpr const char *HELP =
    "usage: morvane [--encoding=NAME] [--name=NAME] LISTING IMAGE\n"
    "Converts a BASIC listing into a tokenized program image.\n"
    "  LISTING      the listing to read; - for standard input\n"
    "  IMAGE        the image to write; - for standard output\n"
    "  --encoding=NAME  read the listing as utf-8 or shift_jis (default:\n"
    "               UTF-8 if it starts with the byte-order mark or is valid\n"
    "               UTF-8 with characters outside ASCII, else Shift_JIS)\n"
    "  --name=NAME  the image's name, 1 to 6 characters (default mrv)\n"
    "  -h, --help   print this help\n"
    "  --version    print the version\n"
    "Status: 0 converted, 1 failed (a partial image is left behind).\n";
constexpr morvane::ProgramText PROGRAM{"morvane", HELP};

// The name field --name gives; exits 1 saying why if it gives none.
morvane::ImageName name_or_exit(const char *text, morvane::EncodingChoice encoding) {
    using namespace morvane;
    ImageName name{};
    NameProblem problem = image_name_from_argument(text, encoding, name);
    if (problem == NameProblem::NONE) return name;
    with_name_problem(problem, text, [](const char *format, const char *argument) {
        std::fputs("morvane: ", stderr);
        print_line(format, argument);
    });
    std::exit(1);
}

// The options before the two files: --encoding and --name, each as
// "--option=VALUE" or "--option VALUE". Returns where the files start.
int read_options_or_exit(int argc, char **argv, morvane::ConvertOptions &options) {
    using namespace morvane;
    const char *name = nullptr;
    int at = 1;
    for (; at < argc; at++) {
        const char *value = nullptr;
        if (take_valued_option(argc, argv, at, "--encoding", value)) {
            options.encoding = encoding_or_exit("morvane", value, 1);
        } else if (take_valued_option(argc, argv, at, "--name", value)) {
            name = value != nullptr ? value : "";
        } else {
            break;
        }
    }
    if (name != nullptr) options.name = name_or_exit(name, options.encoding);
    return at;
}

// The run's blocks, a few hundred KiB: static, so that starting the
// program needs no allocation.
morvane::Converter converter;

} // namespace

int main(int argc, char **argv) {
    using namespace morvane;
    open_standard_streams();
    answer_help_or_version(argc, argv, PROGRAM);
    ConvertOptions options;
    int first = read_options_or_exit(argc, argv, options);
    check_arguments_or_exit(argc - first);
    const char *listing = argv[first], *image = argv[first + 1];
    refuse_same_pipe_or_exit(listing, image);
    RunFiles files;
    if (is_standard_stream(listing))
        use_standard_input(files, listing);
    else
        open_input_or_exit(files, listing);
    refuse_image_as_listing_or_exit(files); // before the output, typically the listing, is opened
    if (is_standard_stream(image))
        use_standard_output_or_exit(files, image);
    else
        open_output_or_exit(files, image);
    Outcome outcome = convert(converter, input_source(files), output_sink(files), options);
    return finish_run(files, outcome);
}
