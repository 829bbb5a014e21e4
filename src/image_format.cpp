#include "image_format.h"

#include "main.h"

std::FILE *output_stream = nullptr;
unsigned char image_block[IMAGE_BLOCK_SIZE];
std::size_t image_block_fill = 0;

namespace {

// The header as it stands at the start of every image: the name field is
// the same whatever the files are called.
constexpr unsigned char IMAGE_HEADER[16] = {
    0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, // lead-in
    'm',  'r',  'v',  0x00, 0x00, 0x00,                         // name field
};

constexpr int TRAILER_LENGTH = 12;

} // namespace

bool flush_image() {
    std::size_t count = image_block_fill;
    image_block_fill = 0;
    return std::fwrite(image_block, 1, count, output_stream) == count;
}

void flush_image_or_exit() {
    if (!flush_image()) exit_write_failed();
}

void write_header() {
    for (unsigned char b : IMAGE_HEADER)
        write_byte(b);
}

void write_trailer() {
    for (int i = 0; i < TRAILER_LENGTH; i++)
        write_byte(0x00);
}
