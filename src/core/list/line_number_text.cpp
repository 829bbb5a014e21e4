#include "core/list/line_number_text.h"

#include <cstring>

namespace morvane {

int count_digits(std::uint64_t value) {
    if (value < 100000) // the stored 16 bits: nearly every line
        return value >= 10000 ? 5 : value >= 1000 ? 4 : value >= 100 ? 3 : value >= 10 ? 2 : 1;
    int count = 6;
    for (value /= 1000000; value > 0; value /= 10)
        count++;
    return count;
}

int write_line_number(std::uint64_t line_number, unsigned char *out) {
    // Two digits a step: a number is written for every line.
    static const char PAIRS[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "4041424344454647484950515253545556575859606162636465666768697071727374757677787980"
        "81828384858687888990919293949596979899";
    std::uint64_t value = line_number;
    int count = count_digits(value);
    int at = count;
    for (; value >= 10; value /= 100) {
        at -= 2;
        std::memcpy(out + at, PAIRS + 2 * (value % 100), 2);
    }
    if (at > 0) out[0] = static_cast<unsigned char>('0' + value);
    return count;
}

} // namespace morvane
