// The output, written strictly front to back through one fixed block.
//
// Bytes are gathered in the block and handed to the sink a block at a time:
// one by one through write_byte, or many at once by storing them straight
// into the block after reserve_output_room. A sink that refuses a block
// makes the failure sticky; the run asks once per line. Nothing written is
// ever patched afterwards; a broken image's partial line can only be taken
// back whole (take_output_back_to).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/io/core_io.h"

namespace morvane {

// Larger than the read block: the file system's work for each write
// weighs more than the copy, so fewer, larger writes save time.
constexpr std::size_t OUTPUT_BLOCK_SIZE = 128 * 1024;

struct OutputBlock {
    Sink sink;
    std::uint64_t written; // bytes handed to the sink
    std::size_t fill;      // bytes gathered in the block
    bool failed;           // the sink refused a block
    unsigned char bytes[OUTPUT_BLOCK_SIZE];
};

// Starts a fresh output into the sink: nothing gathered, nothing written.
void start_output(OutputBlock &output, Sink sink);

// How many bytes have been written so far, gathered ones included.
inline std::uint64_t output_position(const OutputBlock &output) {
    return output.written + output.fill;
}

// Takes back what was written from position on: from the block, and from
// the sink where it can (elsewhere it stays written).
void take_output_back_to(OutputBlock &output, std::uint64_t position);

// Hands the gathered bytes to the sink; false if it refused any, now or before.
bool flush_output(OutputBlock &output);

// Makes sure count more bytes (at most a block) fit in the block, so that
// they can be stored straight into it at output.bytes + output.fill.
inline void reserve_output_room(OutputBlock &output, std::size_t count) {
    if (OUTPUT_BLOCK_SIZE - output.fill < count) flush_output(output);
}

// Appends the low 8 bits of b to the output.
inline void write_byte(OutputBlock &output, unsigned b) {
    if (output.fill == OUTPUT_BLOCK_SIZE) flush_output(output);
    output.bytes[output.fill++] = static_cast<unsigned char>(b);
}

} // namespace morvane
