// An array from malloc that grows as it is added to, for plain data: every
// failure to grow is a false returned, never an exception.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>

namespace morvane {

template <typename Item> struct Grown {
    Item *items = nullptr;
    std::size_t count = 0, capacity = 0;

    Grown() = default;
    Grown(const Grown &) = delete;
    Grown &operator=(const Grown &) = delete;
    ~Grown() { std::free(items); }

    bool reserve(std::size_t wanted) {
        if (wanted <= capacity) return true;
        std::size_t grown_to = std::max(wanted, capacity * 2);
        void *grown = std::realloc(items, grown_to * sizeof(Item));
        if (grown == nullptr) return false;
        items = static_cast<Item *>(grown);
        capacity = grown_to;
        return true;
    }
    bool add(const Item &item) {
        if (!reserve(count + 1)) return false;
        items[count++] = item;
        return true;
    }
    Item &operator[](std::size_t at) { return items[at]; }
    const Item &operator[](std::size_t at) const { return items[at]; }
};

} // namespace morvane
