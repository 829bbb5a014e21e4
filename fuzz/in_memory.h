// Runs of both programs' work on bytes held in memory, through the
// library's C interface, for the fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct Outcome {
    int status;          // the command line's exit status
    std::string output;  // the image or the listing written
    std::string message; // what the command line prints on standard error
};

// Converts the bytes as a listing, read as the encoding says (a morvane_encoding).
Outcome convert_in_memory(const std::uint8_t *data, std::size_t size, int encoding = 0);

// Lists the bytes as an image, writing the listing in the encoding.
Outcome list_in_memory(const std::uint8_t *data, std::size_t size, int encoding = 0);

// Requires that a complete image lists in UTF-8 with status 0 into a
// listing that converts, with no option, into the identical image.
void require_utf8_round_trip(const std::string &image);

// Aborts with the property's name, for libFuzzer to report, unless condition holds.
void require(bool condition, const char *what);
