#include "output_block.h"

#include "run_files.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

std::FILE *output_stream = nullptr;
unsigned char output_block[OUTPUT_BLOCK_SIZE];
std::size_t output_fill = 0;

namespace {

// Bytes handed to output_stream so far.
std::uint64_t output_written = 0;

} // namespace

void start_output() {
    output_fill = 0;
    output_written = 0;
}

std::uint64_t output_position() {
    return output_written + output_fill;
}

void take_output_back_to(std::uint64_t position) {
    if (position >= output_written) {
        output_fill = static_cast<std::size_t>(position - output_written);
        return;
    }
    output_fill = 0;
#if !defined(_WIN32)
    if (ftruncate(fileno(output_stream), static_cast<off_t>(position)) == 0)
        output_written = position;
#endif
}

bool flush_output() {
    std::size_t count = output_fill;
    output_fill = 0;
    output_written += count;
    return std::fwrite(output_block, 1, count, output_stream) == count;
}

void flush_output_or_exit() {
    if (!flush_output()) exit_write_failed();
}
