// morvane-list: lists a tokenized program image as a BASIC listing that
// converts back into the same image.
#include <cstdlib>

#include "list_image.h"
#include "list_run.h"
#include "run_files.h"

void end_process(int status) {
    std::exit(status);
}

int main(int argc, char **argv) {
    check_list_arguments_or_exit(argc - 1);
    open_standard_streams();
    refuse_same_pipe_or_exit(argv[1], argv[2]);
    open_input_or_exit(argv[1]);
    read_image_header_or_exit(); // before the listing is created
    open_output_or_exit(argv[2]);
    bool lossless = list_records(); // a line per record, then the trailer
    close_files_or_exit();
    return lossless ? 0 : 2;
}
