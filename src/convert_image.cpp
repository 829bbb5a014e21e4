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

void write_record_head(std::uint32_t line_number) {
    write_byte(RECORD_START);
    write_byte(RECORD_START);
    write_byte(line_number & 0xFFu);
    write_byte((line_number >> 8) & 0xFFu);
}

void write_trailer() {
    for (int i = 0; i < TRAILER_LENGTH; i++)
        write_byte(0x00);
}
