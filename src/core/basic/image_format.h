// The program image's layout, which converting writes and listing reads: a
// fixed header, one record per line, a fixed trailer.
#pragma once

#include <cstddef>

namespace morvane {

constexpr int HEADER_LENGTH = 16;

// Ten lead-in bytes, then the name field: the name the machine shows and
// looks for when it loads the program, padded with 0x00.
constexpr int LEAD_IN_LENGTH = 10;
constexpr unsigned char LEAD_IN = 0xD3;
constexpr int NAME_LENGTH = HEADER_LENGTH - LEAD_IN_LENGTH;

struct ImageName {
    unsigned char bytes[NAME_LENGTH];
};

// The name the converter gives an image unless told another.
constexpr ImageName DEFAULT_IMAGE_NAME = {{'m', 'r', 'v', 0x00, 0x00, 0x00}};

// A record: 0xFF, 0xFF, the line number's low and high byte, the body, 0x00.
constexpr unsigned char RECORD_START = 0xFF;
constexpr int RECORD_HEAD_LENGTH = 4;

// Twelve 0x00 follow the last record.
constexpr int TRAILER_LENGTH = 12;

// True if the bytes start with the image's lead-in: an image given where a
// listing belongs, the two names swapped.
constexpr bool starts_like_image(const unsigned char *bytes, std::size_t length) {
    if (length < LEAD_IN_LENGTH) return false;
    for (int i = 0; i < LEAD_IN_LENGTH; i++)
        if (bytes[i] != LEAD_IN) return false;
    return true;
}

} // namespace morvane
