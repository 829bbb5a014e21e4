// morvane: converts a BASIC listing into a tokenized program image.
#include <cstdlib>

#include "convert_run.h"
#include "run_files.h"

void end_process(int status) {
    std::exit(status);
}

int main(int argc, char **argv) {
    check_arguments_or_exit(argc - 1);
    open_standard_streams();
    refuse_same_pipe_or_exit(argv[1], argv[2]);
    open_input_or_exit(argv[1]);
    open_output_or_exit(argv[2]);
    convert_listing(); // header, a record per line, trailer
    close_files_or_exit();
    return 0;
}
