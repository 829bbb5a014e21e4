// Output gathered in memory: a buffer from malloc that grows as the core
// writes to it, for the front ends that hand bytes back instead of files.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/io/core_io.h"

namespace morvane {

struct MemorySink {
    unsigned char *bytes; // from malloc; the owner frees it
    std::size_t length;
    std::size_t capacity;
    bool out_of_memory; // a write was refused for want of memory
};

// Appends the bytes; false, and out_of_memory set, if the buffer cannot grow.
bool write_memory(void *context, const unsigned char *bytes, std::size_t size);

// Takes back what was written from position on.
bool truncate_memory(void *context, std::uint64_t position);

// Makes room for size bytes more at once, so that a sink written to a
// known length takes no more memory than that.
bool reserve_memory(void *context, std::size_t size);

inline Sink memory_sink(MemorySink &sink) {
    return {write_memory, truncate_memory, &sink, reserve_memory};
}

} // namespace morvane
