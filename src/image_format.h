// The program image: a fixed header, one record per listing line, a fixed trailer.
//
// The image is written strictly front to back; nothing is ever patched
// afterwards. Bytes are gathered in a fixed block and handed to the stream a
// block at a time: one by one through write_byte, or, for a record body,
// stored straight into the block after reserve_image_room.
#pragma once

#include <cstddef>
#include <cstdio>

extern std::FILE *output_stream;

constexpr std::size_t IMAGE_BLOCK_SIZE = 64 * 1024;
extern unsigned char image_block[IMAGE_BLOCK_SIZE];
extern std::size_t image_block_fill;

// Hands the gathered bytes to output_stream; false if the stream refused any.
bool flush_image();

// Hands the gathered bytes on, ending the run with the write-failure message if refused.
void flush_image_or_exit();

// Makes sure count more bytes fit in the block, so that they can be stored
// straight into it at image_block + image_block_fill.
inline void reserve_image_room(std::size_t count) {
    if (IMAGE_BLOCK_SIZE - image_block_fill < count) flush_image_or_exit();
}

// Appends the low 8 bits of b to the image.
inline void write_byte(unsigned b) {
    if (image_block_fill == IMAGE_BLOCK_SIZE) flush_image_or_exit();
    image_block[image_block_fill++] = static_cast<unsigned char>(b);
}

// Writes the 16-byte header: ten 0xD3, the name field "mrv", three 0x00.
void write_header();

// Writes the 12-byte trailer of 0x00 that follows the last record.
void write_trailer();
