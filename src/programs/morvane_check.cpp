// morvane-check: prints every problem of a listing, with its line and
// column, in the form editors read: PATH:LINE:COLUMN: SEVERITY: MESSAGE [NAME].
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/check/check_listing.h"
#include "core/io/run_messages.h"
#include "programs/run_files.h"
#include "programs/whole_file.h"

namespace {

using morvane::FINDING_KIND_COUNT;
using morvane::FINDING_KINDS;

struct Options {
    bool silenced[FINDING_KIND_COUNT]; // by kind, each kind of the name turned off
    morvane::EncodingChoice encoding;
    int first_file; // argv index
};

constexpr const char *HELP =
    "usage: morvane-check [--encoding=NAME] [-w NAME]... FILE...\n"
    "Prints every problem of each listing as PATH:LINE:COLUMN: SEVERITY: MESSAGE [NAME].\n"
    "  FILE         a listing to check; - for standard input\n"
    "  --encoding=NAME  read the listings as utf-8 or shift_jis (default: by their bytes,\n"
    "               as morvane reads them)\n"
    "  -w NAME      turn the warning NAME off (errors cannot be)\n"
    "  --           the arguments after it are files\n"
    "  -h, --help   print this help\n"
    "  --version    print the version\n"
    "Status: 0 nothing found, 1 findings, 2 a file unreadable or a usage error.\n";
constexpr morvane::ProgramText PROGRAM{"morvane-check", HELP};

[[noreturn]] void exit_usage(const char *problem, const char *name) {
    if (problem != nullptr) std::fprintf(stderr, "morvane-check: %s%s\n", problem, name);
    std::fputs("usage: morvane-check [--encoding=NAME] [-w NAME]... FILE...\n", stderr);
    std::exit(2);
}

// Turns off every warning of the checker's by that name; false if there is none.
bool silence(Options &options, const char *name) {
    bool found = false;
    for (const morvane::FindingKind &kind : FINDING_KINDS)
        if ((kind.programs & morvane::FROM_CHECK) != 0 && !kind.error &&
            std::strcmp(kind.name, name) == 0)
            found = options.silenced[static_cast<int>(kind.id)] = true;
    return found;
}

// -w NAME turns a warning off; errors cannot be.
Options read_options_or_exit(int argc, char **argv) {
    Options options{};
    int at = 1;
    for (; at < argc && argv[at][0] == '-' && argv[at][1] != '\0'; at++) {
        if (std::strcmp(argv[at], "--") == 0) {
            at++;
            break;
        }
        const char *value = nullptr;
        if (morvane::take_valued_option(argc, argv, at, "--encoding", value)) {
            options.encoding = morvane::encoding_or_exit("morvane-check", value, 2);
            continue;
        }
        if (std::strcmp(argv[at], "-w") != 0) exit_usage("unknown option ", argv[at]);
        if (++at == argc) exit_usage("-w needs the name of a warning", "");
        const morvane::FindingKind *kind =
            morvane::finding_kind_named(argv[at], morvane::FROM_CHECK);
        if (kind != nullptr && kind->error) exit_usage("errors cannot be turned off: ", argv[at]);
        if (!silence(options, argv[at])) exit_usage("no such warning: ", argv[at]);
    }
    if (at == argc) exit_usage(nullptr, "");
    options.first_file = at;
    return options;
}

struct Printer {
    const char *path;
    const Options *options;
    bool printed;
};

void print_finding(void *context, const morvane::Finding &finding) {
    auto &printer = *static_cast<Printer *>(context);
    if (printer.options->silenced[static_cast<int>(finding.id)]) return;
    morvane::with_finding_line(printer.path, finding, [](const char *format, auto... arguments) {
        std::printf(format, arguments...);
        std::putchar('\n');
    });
    printer.printed = true;
}

} // namespace

int main(int argc, char **argv) {
    morvane::answer_help_or_version(argc, argv, PROGRAM);
    Options options = read_options_or_exit(argc, argv);
    bool found = false, unreadable = false;
    for (int at = options.first_file; at < argc; at++) {
        std::size_t length = 0;
        unsigned char *listing = morvane::read_whole_file(argv[at], length);
        if (listing == nullptr) {
            std::fprintf(stderr, "morvane-check: can't read %s\n", argv[at]);
            unreadable = true;
            continue;
        }
        const char *path = std::strcmp(argv[at], "-") == 0 ? "<stdin>" : argv[at];
        Printer printer{path, &options, false};
        std::uint64_t count = 0;
        morvane::ListingText text;
        morvane::CheckOutcome outcome = morvane::CheckOutcome::OUT_OF_MEMORY;
        if (morvane::read_listing_text(listing, length, options.encoding, text))
            outcome = morvane::check_listing(text, {print_finding, &printer}, count);
        morvane::free_listing_text(text);
        std::free(listing);
        if (outcome != morvane::CheckOutcome::CHECKED) {
            std::fprintf(stderr, "morvane-check: not enough memory for %s\n", path);
            unreadable = true;
        }
        found = found || printer.printed;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("morvane-check: can't write standard output\n", stderr);
        return 2;
    }
    return unreadable ? 2 : found ? 1 : 0;
}
