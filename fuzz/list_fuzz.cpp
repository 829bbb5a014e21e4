// libFuzzer target for the lister. The bytes are listed as an image: no
// crash, no read past them, the same listing twice; and a listing that
// ends with status 0 converts into the identical image again, name field
// and all (an image of another name is named, with status 2). The bytes
// are also converted as a listing, and an image that results must list
// with status 0, or 2 where its Shift_JIS listing would be read as UTF-8.
#include <cstdint>
#include <string>

#include "in_memory.h"

namespace {

const std::uint8_t *bytes_of(const std::string &text) {
    return reinterpret_cast<const std::uint8_t *>(text.data());
}

void check_listing_as_image(const std::uint8_t *data, std::size_t size) {
    Outcome first = list_in_memory(data, size);
    Outcome second = list_in_memory(data, size);
    require(first.status == second.status && first.output == second.output,
            "same listing a second time");
    if (first.status != 0) return;
    Outcome again = convert_in_memory(bytes_of(first.output), first.output.size());
    require(again.status == 0, "a lossless listing converts");
    require(again.output == std::string(reinterpret_cast<const char *>(data), size),
            "a lossless listing converts into the identical image");
}

void check_converted_image_lists(const std::uint8_t *data, std::size_t size) {
    Outcome image = convert_in_memory(data, size);
    if (image.status != 0) return;
    Outcome listing = list_in_memory(bytes_of(image.output), image.output.size());
    bool reads_as_utf8 =
        listing.status == 2 && listing.message.rfind("The listing is valid UTF-8", 0) == 0;
    require(listing.status == 0 || reads_as_utf8,
            "an image the converter completed lists losslessly");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    check_listing_as_image(data, size);
    check_converted_image_lists(data, size);
    return 0;
}
