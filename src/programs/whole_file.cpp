#include "programs/whole_file.h"

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace morvane {
namespace {

bool write_stream(std::FILE *stream, const unsigned char *bytes, std::size_t length) {
    bool written = std::fwrite(bytes, 1, length, stream) == length;
    return std::fflush(stream) == 0 && !std::ferror(stream) && written;
}

// Writes the file in place: for whatever is not a plain file of its own
// (standard output, a device, a pipe, a link, a file with several names).
bool write_in_place(const char *path, const unsigned char *bytes, std::size_t length) {
    std::FILE *file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    bool written = write_stream(file, bytes, length);
    return std::fclose(file) == 0 && written;
}

#if !defined(_WIN32)
// Writes a new file beside the old one, then puts it in the old one's place,
// with the old one's permissions, or the ones a new file would get.
bool write_beside(const char *path, const unsigned char *bytes, std::size_t length,
                  const struct stat *old) {
    std::string temporary = std::string(path) + ".XXXXXX";
    int descriptor = mkstemp(temporary.data());
    // A folder where no new file may be made can still hold a writable file.
    if (descriptor < 0) return write_in_place(path, bytes, length);
    mode_t mask = umask(0);
    umask(mask);
    mode_t mode = old != nullptr ? old->st_mode & 07777 : 0666 & ~mask;
    std::size_t done = 0;
    while (done < length) {
        ssize_t count = write(descriptor, bytes + done, length - done);
        if (count <= 0) break;
        done += static_cast<std::size_t>(count);
    }
    bool written = done == length && fchmod(descriptor, mode) == 0 && fsync(descriptor) == 0;
    written = close(descriptor) == 0 && written;
    if (written && std::rename(temporary.c_str(), path) == 0) return true;
    std::remove(temporary.c_str());
    return false;
}
#endif

} // namespace

unsigned char *read_whole_file(const char *path, std::size_t &length) {
    bool standard = std::strcmp(path, "-") == 0;
    std::FILE *file = standard ? stdin : std::fopen(path, "rb");
    if (file == nullptr) return nullptr;
    // A file of known size is read into a buffer of its size and one byte
    // more (to see its end), so that it takes no room twice over; a stream
    // of unknown size into one that doubles.
    std::size_t capacity = 64 * 1024;
    if (!standard && std::fseek(file, 0, SEEK_END) == 0) {
        long size = std::ftell(file);
        if (size >= 0) capacity = std::max(capacity, static_cast<std::size_t>(size) + 1);
        std::rewind(file);
    }
    auto *bytes = static_cast<unsigned char *>(std::malloc(capacity));
    length = 0;
    while (bytes != nullptr) {
        length += std::fread(bytes + length, 1, capacity - length, file);
        if (length < capacity) break;
        auto *grown = static_cast<unsigned char *>(std::realloc(bytes, capacity * 2));
        if (grown == nullptr) std::free(bytes);
        bytes = grown;
        capacity *= 2;
    }
    bool failed = std::ferror(file) != 0;
    if (!standard) std::fclose(file);
    if (failed) std::free(bytes);
    return failed ? nullptr : bytes;
}

bool write_whole_file(const char *path, const unsigned char *bytes, std::size_t length) {
    if (std::strcmp(path, "-") == 0) return write_stream(stdout, bytes, length);
#if !defined(_WIN32)
    struct stat old;
    if (lstat(path, &old) != 0) return write_beside(path, bytes, length, nullptr);
    if (S_ISREG(old.st_mode) && old.st_nlink == 1) return write_beside(path, bytes, length, &old);
#endif
    return write_in_place(path, bytes, length);
}

} // namespace morvane
