// libFuzzer target for the lossless promise, strictly: whenever the bytes
// convert as a listing, the image lists with status 0 into a listing that
// converts into the identical image.
#include <cstdint>

#include "in_memory.h"

namespace {

const std::uint8_t *bytes_of(const std::string &text) {
    return reinterpret_cast<const std::uint8_t *>(text.data());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Outcome image = convert_in_memory(data, size);
    if (image.status != 0) return 0;
    Outcome listing = list_in_memory(bytes_of(image.output), image.output.size());
    require(listing.status == 0, "an image the converter completed lists with status 0");
    Outcome again = convert_in_memory(bytes_of(listing.output), listing.output.size());
    require(again.status == 0, "its listing converts");
    require(again.output == image.output, "into the identical image");
    return 0;
}
