// Files read and written whole, for the programs that need all of a
// listing before they can say anything about it.
#pragma once

#include <cstddef>

namespace morvane {

// The whole file, or standard input for "-", in a buffer from malloc;
// nullptr if it cannot be read.
unsigned char *read_whole_file(const char *path, std::size_t &length);

// Writes the bytes as the whole of the file, or to standard output for "-";
// false if any did not arrive. A regular file is replaced only once the
// bytes are safely beside it, so that a failure leaves it as it was.
bool write_whole_file(const char *path, const unsigned char *bytes, std::size_t length);

} // namespace morvane
