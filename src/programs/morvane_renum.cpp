// morvane-renum: puts a listing's lines in the machine's order and numbers
// them anew, rewriting every line number their statements name; lines
// without numbers and labels are numbered like the rest.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/io/memory_sink.h"
#include "core/io/run_messages.h"
#include "core/renum/renumber_listing.h"
#include "programs/run_files.h"
#include "programs/whole_file.h"

namespace {

using namespace morvane;

struct Arguments {
    morvane::RenumberOptions options;
    morvane::EncodingChoice encoding;
    const char *input;
    const char *output;
};

constexpr const char *HELP =
    "usage: morvane-renum [--encoding=NAME] [--start N] [--step N] [--from N] LISTING OUTPUT\n"
    "Puts a listing's lines in the machine's order and numbers them anew, rewriting every\n"
    "line number and label their statements name.\n"
    "  LISTING      the listing to read; - for standard input\n"
    "  OUTPUT       the listing to write, which may be LISTING; - for standard output\n"
    "  --start N    the first new number (default 10)\n"
    "  --step N     the step between new numbers (default 10)\n"
    "  --from N     keep the numbers of the lines below N (default 0)\n"
    "  --encoding=NAME  read the listing as utf-8 or shift_jis (default: by its bytes, as\n"
    "               morvane reads it); the output is written in the same\n"
    "  -h, --help   print this help\n"
    "  --version    print the version\n"
    "Status: 0 renumbered, 1 refused or a file failed (nothing written), 2 a usage error.\n";
constexpr ProgramText PROGRAM{"morvane-renum", HELP};

[[noreturn]] void exit_usage(const char *problem, const char *name) {
    if (problem != nullptr) std::fprintf(stderr, "morvane-renum: %s%s\n", problem, name);
    std::fputs("usage: morvane-renum [--encoding=NAME] [--start N] [--step N] [--from N] LISTING "
               "OUTPUT\n",
               stderr);
    std::exit(2);
}

// A number from lowest to 65535, written in decimal digits alone.
std::uint32_t number_or_exit(const char *option, const char *text, std::uint32_t lowest) {
    std::uint32_t number = 0;
    bool digits = *text != '\0';
    for (const char *at = text; *at != '\0' && digits; at++) {
        digits = *at >= '0' && *at <= '9' && number <= 65535;
        number = number * 10 + static_cast<std::uint32_t>(*at - '0');
    }
    if (!digits || number < lowest || number > 65535) {
        std::fprintf(stderr, "morvane-renum: %s takes a number from %u to 65535, not '%s'\n",
                     option, lowest, text);
        exit_usage(nullptr, "");
    }
    return number;
}

// --start, --step and --from, each as "--start N" or "--start=N", then the two files.
Arguments read_arguments_or_exit(int argc, char **argv) {
    Arguments arguments{};
    const char *files[2] = {};
    int file_count = 0;
    bool options_end = false;
    for (int at = 1; at < argc; at++) {
        const char *argument = argv[at];
        if (options_end || argument[0] != '-' || argument[1] == '\0') {
            if (file_count == 2) exit_usage("one file too many: ", argument);
            files[file_count++] = argument;
            continue;
        }
        if (std::strcmp(argument, "--") == 0) {
            options_end = true;
            continue;
        }
        const char *encoding = nullptr;
        if (take_valued_option(argc, argv, at, "--encoding", encoding)) {
            arguments.encoding = encoding_or_exit("morvane-renum", encoding, 2);
            continue;
        }
        const char *names[] = {"--start", "--step", "--from"};
        std::uint32_t *values[] = {&arguments.options.start, &arguments.options.step,
                                   &arguments.options.from};
        int option = -1;
        const char *value = nullptr;
        for (int i = 0; i < 3 && option < 0; i++) {
            std::size_t length = std::strlen(names[i]);
            if (std::strncmp(argument, names[i], length) != 0) continue;
            if (argument[length] == '=')
                value = argument + length + 1;
            else if (argument[length] == '\0' && at + 1 < argc)
                value = argv[++at];
            else if (argument[length] != '\0')
                continue;
            option = i;
        }
        if (option < 0) exit_usage("unknown option ", argument);
        if (value == nullptr) exit_usage("a number must follow ", argument);
        *values[option] = number_or_exit(names[option], value, option == 1 ? 1 : 0);
    }
    if (file_count < 2) exit_usage(nullptr, "");
    arguments.input = files[0];
    arguments.output = files[1];
    return arguments;
}

// Prints a finding on standard error as morvane-check prints it.
void print_finding(void *context, const morvane::Finding &finding) {
    morvane::with_finding_line(
        static_cast<const char *>(context), finding,
        [](const char *format, auto... arguments) { morvane::print_line(format, arguments...); });
}

// The listing renumbered in memory, so that nothing is written unless all of
// it could be; exits 1 after the findings if it was refused.
MemorySink renumber_or_exit(const Arguments &arguments, const char *name) {
    std::size_t length = 0;
    unsigned char *listing = read_whole_file(arguments.input, length);
    if (listing == nullptr) {
        std::fprintf(stderr, "morvane-renum: can't read %s\n", arguments.input);
        std::exit(1);
    }
    MemorySink renumbered{nullptr, 0, 0, false};
    ListingText text;
    RenumberOutcome outcome = RenumberOutcome::OUT_OF_MEMORY;
    if (read_listing_text(listing, length, arguments.encoding, text))
        outcome = renumber_listing(text, arguments.options, memory_sink(renumbered),
                                   {print_finding, const_cast<char *>(name)});
    free_listing_text(text);
    std::free(listing);
    if (outcome == RenumberOutcome::RENUMBERED) return renumbered;
    if (outcome != RenumberOutcome::REFUSED)
        std::fprintf(stderr, "morvane-renum: not enough memory for %s\n", name);
    std::free(renumbered.bytes);
    std::exit(1);
}

// Says why nothing was written; a file that was there is left as it was.
void print_write_failure(const OutputFile &output, WriteResult result) {
    const char *path = output.path;
    const char *reason = result.error != 0 ? std::strerror(result.error) : "";
    const char *kept = output.exists && output.regular ? "; it is left as it was" : "";
    switch (result.failure) {
    case WriteFailure::NONE:
        return;
    case WriteFailure::UNWRITABLE:
        if (result.error == 0) return print_line("morvane-renum: can't write %s%s", path, kept);
        return print_line("morvane-renum: can't write %s: %s%s", path, reason, kept);
    case WriteFailure::STANDARD_CLOSED:
        return print_line("%s", "morvane-renum: can't write standard output: it is closed");
    case WriteFailure::SEVERAL_NAMES:
        return print_line("morvane-renum: %s has other names, which a new file would part; it "
                          "is left as it was (write to another file and copy that over it)",
                          path);
    case WriteFailure::DANGLING_LINK:
        return print_line("morvane-renum: %s is a symbolic link to no file; nothing is written",
                          path);
    case WriteFailure::NOT_BESIDE:
        return print_line("morvane-renum: can't make a new file beside %s: %s%s", path, reason,
                          kept);
    case WriteFailure::OWNER_NOT_KEPT:
        return print_line("morvane-renum: can't give a new file the owner and group of %s: %s%s",
                          path, reason, kept);
    case WriteFailure::CHANGED:
        return print_line("morvane-renum: %s changed while it was renumbered; it is left as it "
                          "was, and nothing is written",
                          path);
    }
}

} // namespace

int main(int argc, char **argv) {
    ClosedStreams closed = open_standard_streams();
    answer_help_or_version(argc, argv, PROGRAM);
    Arguments arguments = read_arguments_or_exit(argc, argv);
    refuse_same_pipe_or_exit(arguments.input, arguments.output);
    OutputFile output;
    // Looked at before the input is read: in place, the input is the output.
    WriteResult result = look_at_output(arguments.output, closed.output, output);
    if (result.failure == WriteFailure::NONE) {
        const char *name = std::strcmp(arguments.input, "-") == 0 ? "<stdin>" : arguments.input;
        MemorySink renumbered = renumber_or_exit(arguments, name);
        result = write_whole_file(output, renumbered.bytes, renumbered.length);
        std::free(renumbered.bytes);
    }
    print_write_failure(output, result);
    return result.failure == WriteFailure::NONE ? 0 : 1;
}
