#include "in_memory.h"

#include <cstdio>
#include <cstdlib>

#include "morvane.h"

namespace {

using Run = int (*)(const unsigned char *, size_t, const char *, unsigned char **, size_t *,
                    morvane_result *);

Outcome run_in_memory(Run run, const std::uint8_t *data, std::size_t size) {
    unsigned char *output = nullptr;
    std::size_t length = 0;
    morvane_result result;
    int status = run(data, size, "input", &output, &length, &result);
    require(status == result.status, "the status returned is the result's");
    require(output != nullptr, "an output buffer every time");
    Outcome outcome{status, std::string(reinterpret_cast<char *>(output), length), result.message};
    morvane_free(output);
    return outcome;
}

} // namespace

Outcome convert_in_memory(const std::uint8_t *data, std::size_t size) {
    return run_in_memory(morvane_convert, data, size);
}

Outcome list_in_memory(const std::uint8_t *data, std::size_t size) {
    return run_in_memory(morvane_list, data, size);
}

void require(bool condition, const char *what) {
    if (condition) return;
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}
