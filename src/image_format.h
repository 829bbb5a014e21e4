// The program image: a fixed header, one record per listing line, a fixed trailer.
#pragma once

#include "output_block.h"

// Writes the 16-byte header: ten 0xD3, the name field "mrv", three 0x00.
void write_header();

// Writes the 12-byte trailer of 0x00 that follows the last record.
void write_trailer();
