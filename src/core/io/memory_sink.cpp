#include "core/io/memory_sink.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace morvane {

bool write_memory(void *context, const unsigned char *bytes, std::size_t size) {
    auto *sink = static_cast<MemorySink *>(context);
    if (sink->capacity - sink->length < size) {
        std::size_t capacity = std::max(sink->capacity * 2, sink->length + size);
        auto *grown = static_cast<unsigned char *>(std::realloc(sink->bytes, capacity));
        if (grown == nullptr) return !(sink->out_of_memory = true);
        sink->bytes = grown;
        sink->capacity = capacity;
    }
    if (size > 0) std::memcpy(sink->bytes + sink->length, bytes, size);
    sink->length += size;
    return true;
}

bool reserve_memory(void *context, std::size_t size) {
    auto *sink = static_cast<MemorySink *>(context);
    if (sink->capacity - sink->length >= size) return true;
    auto *grown = static_cast<unsigned char *>(std::realloc(sink->bytes, sink->length + size));
    if (grown == nullptr) return !(sink->out_of_memory = true);
    sink->bytes = grown;
    sink->capacity = sink->length + size;
    return true;
}

bool truncate_memory(void *context, std::uint64_t position) {
    auto *sink = static_cast<MemorySink *>(context);
    if (position < sink->length) sink->length = static_cast<std::size_t>(position);
    return true;
}

} // namespace morvane
