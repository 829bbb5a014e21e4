// libFuzzer target for renumbering: arbitrary bytes as a listing, renumbered
// with one of several --start/--step/--from choices. No crash and no read
// outside them; a refusal writes nothing and names an error; a renumbered
// listing converts, into the image of the original with its line numbers
// mapped record by record where the original converts, and renumbering it
// again changes nothing.
#include <cstdint>
#include <string>

#include "../tests/renum_mapping.h"
#include "in_memory.h"
#include "morvane.h"

namespace {

struct Renumbered {
    int status;
    std::string message;
    std::string listing;
};

Renumbered renumber(const std::uint8_t *data, std::size_t size, const unsigned (&options)[3]) {
    unsigned char *output = nullptr;
    std::size_t length = 0;
    morvane_result result;
    int status = morvane_renumber(data, size, "L", options[0], options[1], options[2], &output,
                                  &length, &result);
    require(output != nullptr, "a buffer also after a refusal");
    Renumbered renumbered{status, result.message,
                          std::string(reinterpret_cast<char *>(output), length)};
    morvane_free(output);
    return renumbered;
}

const unsigned OPTIONS[][3] = {{10, 10, 0}, {1, 1, 0}, {0, 65535, 0}, {100, 5, 20}, {5, 10, 50}};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const unsigned(&options)[3] = OPTIONS[size % std::size(OPTIONS)];
    Renumbered first = renumber(data, size, options);
    require(first.status == 0 || first.status == 1, "status 0 or 1");
    if (first.status == 1) {
        require(first.listing.empty(), "nothing written when refused");
        // The message holds 511 bytes: warnings before the error may fill it.
        require(first.message.find(": error: ") != std::string::npos || first.message.size() == 511,
                "a refusal names an error");
        return 0;
    }
    const auto *renumbered = reinterpret_cast<const std::uint8_t *>(first.listing.data());
    Outcome image = convert_in_memory(renumbered, first.listing.size());
    require(image.status == 0, "the renumbered listing converts");
    // Labels, and a first line without a number (line 0 to the converter),
    // renumber otherwise than the original's image reads; after a 0x00 a
    // line's text is in no record, so the image cannot tell a number alone.
    Outcome original = convert_in_memory(data, size);
    std::string listing(reinterpret_cast<const char *>(data), size);
    bool numbered_first = size > 0 && (data[0] >= '0' && data[0] <= '9');
    if (original.status == 0 && numbered_first && listing.find('@') == std::string::npos &&
        listing.find('\0') == std::string::npos)
        require(image.output == renum_mapping::expected_image(original.output, options[0],
                                                              options[1], options[2]),
                "the image of the original with its numbers mapped");
    if (options[0] < options[2]) return 0; // the new numbers then fall below --from
    Renumbered again = renumber(renumbered, first.listing.size(), options);
    require(again.status == 0 && again.listing == first.listing,
            "renumbering again changes nothing");
    return 0;
}
