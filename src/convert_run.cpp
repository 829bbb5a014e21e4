#include "convert_run.h"

#include <cstdio>

#include "line_number.h"
#include "run_files.h"

void check_arguments_or_exit(int argument_count) {
    if (argument_count == 2) return;
    std::fputs("morvane version 0.5 : usage\n", stderr);
    std::fputs("  morvane infile outfile\n", stderr);
    end_process(1);
}

void fatal_error(const char *message) {
    std::fprintf(stderr, "%s %d\n", message, static_cast<int>(current_line_number));
    close_files();
    end_process(1);
}
