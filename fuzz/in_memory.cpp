#include "in_memory.h"

#include <cstdio>
#include <cstdlib>

#include "morvane.h"

namespace {

Outcome run_in_memory(bool converting, const std::uint8_t *data, std::size_t size, int encoding) {
    unsigned char *output = nullptr;
    std::size_t length = 0;
    morvane_result result;
    morvane_options options{encoding, nullptr};
    int status =
        converting
            ? morvane_convert_with(data, size, "input", &options, &output, &length, &result)
            : morvane_list_with(data, size, "input", &options, &output, &length, nullptr, &result);
    require(status == result.status, "the status returned is the result's");
    require(output != nullptr, "an output buffer every time");
    Outcome outcome{status, std::string(reinterpret_cast<char *>(output), length), result.message};
    morvane_free(output);
    return outcome;
}

} // namespace

Outcome convert_in_memory(const std::uint8_t *data, std::size_t size, int encoding) {
    return run_in_memory(true, data, size, encoding);
}

Outcome list_in_memory(const std::uint8_t *data, std::size_t size, int encoding) {
    return run_in_memory(false, data, size, encoding);
}

void require_utf8_round_trip(const std::string &image) {
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(image.data());
    Outcome utf8 = list_in_memory(bytes, image.size(), MORVANE_ENCODING_UTF_8);
    require(utf8.status == 0, "a complete image lists in UTF-8 with status 0");
    Outcome back = convert_in_memory(reinterpret_cast<const std::uint8_t *>(utf8.output.data()),
                                     utf8.output.size());
    require(back.status == 0 && back.output == image,
            "its UTF-8 listing converts, with no option, into the identical image");
}

void require(bool condition, const char *what) {
    if (condition) return;
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}
