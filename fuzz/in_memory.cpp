#include "in_memory.h"

#include <cstdio>
#include <cstdlib>

#include "convert_run.h"
#include "list_image.h"
#include "list_run.h"
#include "output_block.h"
#include "run_files.h"

namespace {

struct ProcessEnded {
    int status;
};

std::FILE *open_input_in_memory(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return std::fopen("/dev/null", "rb");
    return fmemopen(const_cast<std::uint8_t *>(data), size, "rb");
}

// Runs one program's work with its input and output in memory.
template <typename Work>
Outcome run_in_memory(const std::uint8_t *data, std::size_t size, Work work) {
    char *output = nullptr;
    std::size_t output_size = 0;
    use_streams(open_input_in_memory(data, size), "input", open_memstream(&output, &output_size),
                "output");
    if (input_stream == nullptr || output_stream == nullptr) std::abort();
    int status = 0;
    try {
        int status_at_end = work();
        close_files_or_exit();
        status = status_at_end;
    } catch (const ProcessEnded &ended) {
        status = ended.status;
    }
    if (output_stream != nullptr) std::abort(); // every way out closes the output
    Outcome outcome{status, std::string(output, output_size)};
    std::free(output);
    return outcome;
}

} // namespace

// Every way a run ends unwinds back to the harness.
void end_process(int status) {
    throw ProcessEnded{status};
}

Outcome convert_in_memory(const std::uint8_t *data, std::size_t size) {
    return run_in_memory(data, size, [] {
        convert_listing();
        return 0;
    });
}

Outcome list_in_memory(const std::uint8_t *data, std::size_t size) {
    return run_in_memory(data, size, [] {
        read_image_header_or_exit();
        return list_records() ? 0 : 2; // 2: a line does not convert back
    });
}

void require(bool condition, const char *what) {
    if (condition) return;
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}
