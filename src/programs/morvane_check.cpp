// morvane-check: prints every problem of a listing, with its line and
// column, in the form editors read: PATH:LINE:COLUMN: SEVERITY: MESSAGE [NAME].
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/check/check_listing.h"
#include "core/io/run_messages.h"
#include "programs/whole_file.h"

namespace {

const char *const ERRORS[] = {"line-order", "empty-line", "no-line-number", "charset"};
const char *const WARNINGS[] = {
    "long-line", "unnumbered-first-line", "line-number-range", "lone-cr",       "end-mark",
    "nul-byte",  "passthrough",           "keyword-in-name",   "missing-target"};
constexpr int WARNING_COUNT = sizeof WARNINGS / sizeof WARNINGS[0];

struct Options {
    bool silenced[WARNING_COUNT];
    int first_file; // argv index
};

[[noreturn]] void exit_usage(const char *problem, const char *name) {
    if (problem != nullptr) std::fprintf(stderr, "morvane-check: %s%s\n", problem, name);
    std::fputs("usage: morvane-check [-w NAME]... FILE...\n", stderr);
    std::exit(2);
}

int warning_index(const char *name) {
    for (int i = 0; i < WARNING_COUNT; i++)
        if (std::strcmp(WARNINGS[i], name) == 0) return i;
    return -1;
}

bool is_error_name(const char *name) {
    for (const char *error : ERRORS)
        if (std::strcmp(error, name) == 0) return true;
    return false;
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
        if (std::strcmp(argv[at], "-w") != 0) exit_usage("unknown option ", argv[at]);
        if (++at == argc) exit_usage("-w needs the name of a warning", "");
        if (is_error_name(argv[at])) exit_usage("errors cannot be turned off: ", argv[at]);
        int warning = warning_index(argv[at]);
        if (warning < 0) exit_usage("no such warning: ", argv[at]);
        options.silenced[warning] = true;
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
    int warning = finding.error ? -1 : warning_index(finding.name);
    if (warning >= 0 && printer.options->silenced[warning]) return;
    morvane::with_finding_line(printer.path, finding, [](const char *format, auto... arguments) {
        std::printf(format, arguments...);
        std::putchar('\n');
    });
    printer.printed = true;
}

} // namespace

int main(int argc, char **argv) {
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
        morvane::check_listing(listing, length, {print_finding, &printer});
        std::free(listing);
        found = found || printer.printed;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("morvane-check: can't write standard output\n", stderr);
        return 2;
    }
    return unreadable ? 2 : found ? 1 : 0;
}
