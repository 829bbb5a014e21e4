// The output file, written strictly front to back through one fixed block.
//
// Bytes are gathered in the block and handed to output_stream a block at a
// time: one by one through write_byte, or many at once by storing them
// straight into the block after reserve_output_room. Nothing written is
// ever patched afterwards; a broken image's partial line can only be taken
// back whole (take_output_back_to).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

extern std::FILE *output_stream;

// Larger than the read block: the file system's work for each write
// weighs more than the copy, so fewer, larger writes save time.
constexpr std::size_t OUTPUT_BLOCK_SIZE = 128 * 1024;
extern unsigned char output_block[OUTPUT_BLOCK_SIZE];
extern std::size_t output_fill;

// Starts a fresh output: nothing gathered, nothing written.
void start_output();

// How many bytes have been written to the output so far, gathered ones included.
std::uint64_t output_position();

// Takes back what was written from position on: from the block, and from a
// regular file that received it already (elsewhere it stays written).
void take_output_back_to(std::uint64_t position);

// Hands the gathered bytes to output_stream; false if the stream refused any.
bool flush_output();

// Hands the gathered bytes on, ending the run with the write-failure message if refused.
void flush_output_or_exit();

// Makes sure count more bytes (at most a block) fit in the block, so that
// they can be stored straight into it at output_block + output_fill.
inline void reserve_output_room(std::size_t count) {
    if (OUTPUT_BLOCK_SIZE - output_fill < count) flush_output_or_exit();
}

// Appends the low 8 bits of b to the output.
inline void write_byte(unsigned b) {
    if (output_fill == OUTPUT_BLOCK_SIZE) flush_output_or_exit();
    output_block[output_fill++] = static_cast<unsigned char>(b);
}
