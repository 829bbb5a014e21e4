#include "convert_image.h"

namespace {

// The header as it stands at the start of every image: the name field is
// the same whatever the files are called.
constexpr unsigned char IMAGE_HEADER[16] = {
    0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, // lead-in
    'm',  'r',  'v',  0x00, 0x00, 0x00,                         // name field
};

constexpr int TRAILER_LENGTH = 12;
constexpr unsigned RECORD_START = 0xFF;

} // namespace

void write_header() {
    for (unsigned char b : IMAGE_HEADER)
        write_byte(b);
}

unsigned char *store_record_head(unsigned char *out, std::uint32_t line_number) {
    out[0] = RECORD_START;
    out[1] = RECORD_START;
    out[2] = static_cast<unsigned char>(line_number & 0xFFu);
    out[3] = static_cast<unsigned char>((line_number >> 8) & 0xFFu);
    return out + RECORD_HEAD_LENGTH;
}

void write_trailer() {
    for (int i = 0; i < TRAILER_LENGTH; i++)
        write_byte(0x00);
}
