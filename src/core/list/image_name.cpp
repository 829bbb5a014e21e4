#include "core/list/image_name.h"

#include <cstring>

#include "core/basic/charset.h"
#include "core/basic/line_text.h"
#include "core/list/body_decoder.h"
#include "core/text/listing_decoding.h"

namespace morvane {

NameProblem image_name_from_text(const unsigned char *text, std::size_t length, ImageName &name) {
    if (length == 0) return NameProblem::EMPTY;
    // Six characters are at most twelve bytes; a longer text is too long
    // whatever it converts into.
    if (length > 2 * NAME_LENGTH) return NameProblem::TOO_LONG;
    unsigned char line[LINE_BUFFER_SIZE + SCAN_PADDING] = {};
    std::memcpy(line, text, length);
    if (std::memchr(line, 0x00, length) != nullptr) return NameProblem::OUTSIDE_SET;
    if (!convert_charset(line)) return NameProblem::OUTSIDE_SET;
    std::size_t converted = std::strlen(reinterpret_cast<const char *>(line));
    if (converted > NAME_LENGTH) return NameProblem::TOO_LONG;
    name = {};
    std::memcpy(name.bytes, line, converted);
    return NameProblem::NONE;
}

NameProblem image_name_from_argument(const char *text, EncodingChoice encoding, ImageName &name) {
    ListingText decoded;
    if (!read_listing_text(reinterpret_cast<const unsigned char *>(text), std::strlen(text),
                           encoding, decoded))
        return NameProblem::OUT_OF_MEMORY;
    NameProblem problem = image_name_from_text(decoded.text, decoded.length, name);
    free_listing_text(decoded);
    return problem;
}

int name_text(const ImageName &name, unsigned char *out) {
    int used = 0;
    while (used < NAME_LENGTH && name.bytes[used] != 0x00)
        used++;
    for (int i = used; i < NAME_LENGTH; i++)
        if (name.bytes[i] != 0x00) return -1;
    // Each byte spelled as a string's would be, so that the name reads back
    // as the listing's text does.
    BodyDecoder decoder{BodyState::STRING, false};
    int written = 0;
    for (int at = 0; at < used;) {
        int next = at + 1 < used ? name.bytes[at + 1] : -1;
        DecodedStep step = decode_step(decoder, name.bytes[at], next, false, out + written);
        written += step.written;
        at += step.used;
    }
    out[written] = 0x00;
    ImageName back;
    if (image_name_from_text(out, static_cast<std::size_t>(written), back) != NameProblem::NONE)
        return -1;
    return std::memcmp(back.bytes, name.bytes, NAME_LENGTH) == 0 ? written : -1;
}

} // namespace morvane
