// libFuzzer target for the lossless promise, strictly: whenever the bytes
// convert as a listing, the image lists with status 0 into a listing that
// converts into the identical image, in Shift_JIS and in UTF-8. A Shift_JIS
// listing that would be read as UTF-8 is named so (status 2) and converts
// back with the encoding given.
#include <cstdint>

#include "in_memory.h"
#include "morvane.h"

namespace {

const std::uint8_t *bytes_of(const std::string &text) {
    return reinterpret_cast<const std::uint8_t *>(text.data());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Outcome image = convert_in_memory(data, size);
    if (image.status != 0) return 0;
    Outcome listing = list_in_memory(bytes_of(image.output), image.output.size());
    bool reads_as_utf8 =
        listing.status == 2 && listing.message.rfind("The listing is valid UTF-8", 0) == 0;
    require(listing.status == 0 || reads_as_utf8,
            "an image the converter completed lists with status 0");
    Outcome again = convert_in_memory(bytes_of(listing.output), listing.output.size(),
                                      reads_as_utf8 ? MORVANE_ENCODING_SHIFT_JIS : 0);
    require(again.status == 0, "its listing converts");
    require(again.output == image.output, "into the identical image");
    require_utf8_round_trip(image.output);
    return 0;
}
