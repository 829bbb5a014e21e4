// Runs of both programs on bytes held in memory, for the fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct Outcome {
    int status;         // 0, or the status the run ended with
    std::string output; // the image or the listing written
};

// Converts the bytes as a listing.
Outcome convert_in_memory(const std::uint8_t *data, std::size_t size);

// Lists the bytes as an image.
Outcome list_in_memory(const std::uint8_t *data, std::size_t size);

// Aborts with the property's name, for libFuzzer to report, unless condition holds.
void require(bool condition, const char *what);
