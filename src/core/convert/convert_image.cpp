#include "core/convert/convert_image.h"

namespace morvane {

void write_header(OutputBlock &output, const ImageName &name) {
    for (int i = 0; i < LEAD_IN_LENGTH; i++)
        write_byte(output, LEAD_IN);
    for (unsigned char b : name.bytes)
        write_byte(output, b);
}

unsigned char *store_record_head(unsigned char *out, std::uint32_t line_number) {
    out[0] = RECORD_START;
    out[1] = RECORD_START;
    out[2] = static_cast<unsigned char>(line_number & 0xFFu);
    out[3] = static_cast<unsigned char>((line_number >> 8) & 0xFFu);
    return out + RECORD_HEAD_LENGTH;
}

void write_trailer(OutputBlock &output) {
    for (int i = 0; i < TRAILER_LENGTH; i++)
        write_byte(output, 0x00);
}

} // namespace morvane
