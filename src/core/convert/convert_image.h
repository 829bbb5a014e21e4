// The program image as the converter writes it: a fixed header, one record
// per listing line, a fixed trailer.
#pragma once

#include <cstdint>

#include "core/basic/image_format.h"
#include "core/io/output_block.h"

namespace morvane {

// Writes the 16-byte header: ten 0xD3, then the name field.
void write_header(OutputBlock &output, const ImageName &name);

// Stores a record's head at out: 0xFF, 0xFF, then the line number's low and
// high byte; returns the place after it.
unsigned char *store_record_head(unsigned char *out, std::uint32_t line_number);

// Writes the 12-byte trailer of 0x00 that follows the last record.
void write_trailer(OutputBlock &output);

} // namespace morvane
