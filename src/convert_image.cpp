#include "convert_image.h"

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
