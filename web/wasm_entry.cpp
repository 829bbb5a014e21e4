// The page's way into the core: a conversion or a listing of bytes held in
// memory through the library's C interface, with the result kept for the
// page to collect.
#include <cstddef>
#include <emscripten/emscripten.h>

#include "morvane.h"

namespace {

// The last run's output and result, until the next run.
unsigned char *result = nullptr;
std::size_t result_size = 0;
morvane_result outcome;

using Run = int (*)(const unsigned char *, size_t, const char *, unsigned char **, size_t *,
                    morvane_result *);

int run(Run work, const char *name, const unsigned char *data, int size) {
    morvane_free(result);
    result = nullptr;
    result_size = 0;
    return work(data, static_cast<std::size_t>(size), name, &result, &result_size, &outcome);
}

} // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int convert_listing_bytes(const char *name, unsigned char *data, int size) {
    return run(morvane_convert, name, data, size);
}

EMSCRIPTEN_KEEPALIVE int list_image_bytes(const char *name, unsigned char *data, int size) {
    return run(morvane_list, name, data, size);
}

EMSCRIPTEN_KEEPALIVE const unsigned char *result_bytes() {
    return result;
}

EMSCRIPTEN_KEEPALIVE int result_length() {
    return static_cast<int>(result_size);
}

// What the command line would print on standard error, without the last line feed.
EMSCRIPTEN_KEEPALIVE const char *result_message() {
    return outcome.message;
}
}
