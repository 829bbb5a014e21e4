#include "output_block.h"

#include "run_files.h"

std::FILE *output_stream = nullptr;
unsigned char output_block[OUTPUT_BLOCK_SIZE];
std::size_t output_fill = 0;

bool flush_output() {
    std::size_t count = output_fill;
    output_fill = 0;
    return std::fwrite(output_block, 1, count, output_stream) == count;
}

void flush_output_or_exit() {
    if (!flush_output()) exit_write_failed();
}
