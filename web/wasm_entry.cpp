// The page's way into the programs' core: a conversion or a listing of
// bytes held in memory, with the result and its status kept for the page
// to collect. Messages reach the page through standard error.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <emscripten/emscripten.h>

#include "convert_run.h"
#include "list_image.h"
#include "list_run.h"
#include "output_block.h"
#include "run_files.h"

namespace {

// A run that ends early comes back here; the core keeps no destructors
// on its way, so nothing is skipped that must run.
std::jmp_buf run_ended;

char *result = nullptr;
std::size_t result_size = 0;

// Runs work on the bytes with the result in memory; returns the exit status.
template <typename Work>
int run_in_memory(const char *name, unsigned char *data, int size, Work work) {
    std::free(result);
    result = nullptr;
    result_size = 0;
    std::FILE *input = size > 0 ? fmemopen(data, static_cast<std::size_t>(size), "rb")
                                : std::fopen("/dev/null", "rb");
    use_streams(input, name, open_memstream(&result, &result_size), "output");
    int status = setjmp(run_ended);
    if (status != 0) return status - 1;
    int status_at_end = work();
    close_files_or_exit();
    return status_at_end;
}

} // namespace

void end_process(int status) {
    std::longjmp(run_ended, status + 1);
}

extern "C" {

EMSCRIPTEN_KEEPALIVE int convert_listing_bytes(const char *name, unsigned char *data, int size) {
    return run_in_memory(name, data, size, [] {
        convert_listing();
        return 0;
    });
}

EMSCRIPTEN_KEEPALIVE int list_image_bytes(const char *name, unsigned char *data, int size) {
    return run_in_memory(name, data, size, [] {
        read_image_header_or_exit();
        return list_records() ? 0 : 2; // 2: a line does not convert back
    });
}

EMSCRIPTEN_KEEPALIVE const char *result_bytes() {
    return result;
}

EMSCRIPTEN_KEEPALIVE int result_length() {
    return static_cast<int>(result_size);
}
}
