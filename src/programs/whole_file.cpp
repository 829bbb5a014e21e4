#include "programs/whole_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace morvane {
namespace {

constexpr WriteResult WRITTEN{WriteFailure::NONE, 0};

WriteResult failed(WriteFailure failure, int error) {
    return {failure, error};
}

// The output's name, or standard output for "-"; spare is the room the
// system's own steps need beside the name.
WriteResult name_output(const char *path, bool standard_closed, std::size_t spare,
                        OutputFile &output) {
    output = {};
    output.path = path;
    output.standard = std::strcmp(path, "-") == 0;
    if (output.standard)
        return standard_closed ? failed(WriteFailure::STANDARD_CLOSED, 0) : WRITTEN;
    if (std::strlen(path) + spare >= sizeof output.target)
        return failed(WriteFailure::UNWRITABLE, ENAMETOOLONG);
    std::strcpy(output.target, path);
    return WRITTEN;
}

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

#if defined(_WIN32)

WriteResult look_at_output(const char *path, bool standard_closed, OutputFile &output) {
    // Room for the new file's name: the name and ".new~".
    WriteResult named = name_output(path, standard_closed, 8, output);
    if (named.failure != WriteFailure::NONE || output.standard) return named;
    output.regular = true;
    return WRITTEN;
}

// Windows replaces a file by moving the new one over it, which it does
// whole or not at all.
WriteResult write_whole_file(const OutputFile &output, const unsigned char *bytes,
                             std::size_t length) {
    if (output.standard) {
        bool written = length == 0 || std::fwrite(bytes, 1, length, stdout) == length;
        if (std::fflush(stdout) == 0 && written) return WRITTEN;
        return failed(WriteFailure::UNWRITABLE, errno);
    }
    char temporary[sizeof output.target];
    std::snprintf(temporary, sizeof temporary, "%s.new~", output.target);
    std::FILE *file = std::fopen(temporary, "wb");
    if (file == nullptr) return failed(WriteFailure::NOT_BESIDE, errno);
    bool written = length == 0 || std::fwrite(bytes, 1, length, file) == length;
    written = std::fclose(file) == 0 && written;
    if (written &&
        MoveFileExA(temporary, output.target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return WRITTEN;
    std::remove(temporary);
    return failed(WriteFailure::UNWRITABLE, 0);
}

#else

namespace {

bool write_all(int descriptor, const unsigned char *bytes, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        ssize_t count = write(descriptor, bytes + done, length - done);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        done += static_cast<std::size_t>(count);
    }
    return true;
}

// A regular file behind standard output (as with 1<>file) ends where the
// new bytes end: no old tail is left after them.
WriteResult write_standard_output(const unsigned char *bytes, std::size_t length) {
    if (!write_all(STDOUT_FILENO, bytes, length)) return failed(WriteFailure::UNWRITABLE, errno);
    struct stat status {};
    if (fstat(STDOUT_FILENO, &status) != 0 || !S_ISREG(status.st_mode)) return WRITTEN;
    off_t end = lseek(STDOUT_FILENO, 0, SEEK_CUR);
    if (end < 0 || ftruncate(STDOUT_FILENO, end) != 0)
        return failed(WriteFailure::UNWRITABLE, errno);
    return WRITTEN;
}

// A device, a pipe or a FIFO holds nothing to lose and is written as it is.
WriteResult write_in_place(const char *path, const unsigned char *bytes, std::size_t length) {
    int descriptor = open(path, O_WRONLY | O_NOCTTY);
    if (descriptor < 0) return failed(WriteFailure::UNWRITABLE, errno);
    bool written = write_all(descriptor, bytes, length);
    int error = errno;
    if (close(descriptor) != 0 && written) return failed(WriteFailure::UNWRITABLE, errno);
    return written ? WRITTEN : failed(WriteFailure::UNWRITABLE, error);
}

struct NewFile {
    int descriptor;
    char name[sizeof OutputFile::target + 32];
};

// The folder part of a path, "." for a bare name, "/" for one in the root.
void folder_of(const char *path, char (&folder)[sizeof OutputFile::target]) {
    const char *slash = std::strrchr(path, '/');
    std::size_t length = slash == nullptr ? 0 : slash == path ? 1 : slash - path;
    if (slash == nullptr)
        folder[length++] = '.';
    else
        std::memcpy(folder, path, length);
    folder[length] = '\0';
}

// A hidden name of fixed length, so that a file whose own name is near the
// system's longest still gets a new file beside it.
bool make_new_file(const char *folder, NewFile &file) {
    std::snprintf(file.name, sizeof file.name, "%s/.morvane-XXXXXX", folder);
    file.descriptor = mkstemp(file.name);
    return file.descriptor >= 0;
}

// The owner, group and permissions of the file replaced, or a new file's
// usual permissions. The owner comes first: changing it clears set-id bits.
// Giving a file its own owner and group again is allowed to any user.
WriteResult give_old_file_status(const OutputFile &output, int descriptor) {
    mode_t mask = umask(0);
    umask(mask);
    if (output.exists && fchown(descriptor, output.seen.st_uid, output.seen.st_gid) != 0)
        return failed(WriteFailure::OWNER_NOT_KEPT, errno);
    mode_t mode = output.exists ? output.seen.st_mode & 07777 : 0666 & ~mask;
    return fchmod(descriptor, mode) == 0 ? WRITTEN : failed(WriteFailure::UNWRITABLE, errno);
}

// What tells that a file was written: which file it is, its size and the
// time of its last change. Zeroed first, so that it compares as bytes.
struct Identity {
    dev_t device;
    ino_t inode;
    off_t size;
    time_t seconds;
    long nanoseconds;
};

Identity identity_of(const struct stat &status) {
    Identity identity;
    std::memset(&identity, 0, sizeof identity);
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
    identity.size = status.st_size;
    identity.seconds = status.st_mtim.tv_sec;
    identity.nanoseconds = status.st_mtim.tv_nsec;
    return identity;
}

// The file is still the one looked at before the input was read, or still none.
bool unchanged_since_seen(const OutputFile &output) {
    struct stat now {};
    if (lstat(output.target, &now) != 0) return !output.exists && errno == ENOENT;
    Identity seen = identity_of(output.seen), found = identity_of(now);
    return output.exists && std::memcmp(&seen, &found, sizeof seen) == 0;
}

// The new file's bytes, owner and permissions, on the disk.
WriteResult fill_new_file(const OutputFile &output, int descriptor, const unsigned char *bytes,
                          std::size_t length) {
    if (!write_all(descriptor, bytes, length)) return failed(WriteFailure::UNWRITABLE, errno);
    WriteResult status = give_old_file_status(output, descriptor);
    if (status.failure != WriteFailure::NONE) return status;
    return fsync(descriptor) == 0 ? WRITTEN : failed(WriteFailure::UNWRITABLE, errno);
}

// The rename itself reaches the disk with the folder.
void sync_folder(const char *folder) {
    int descriptor = open(folder, O_RDONLY | O_DIRECTORY);
    if (descriptor < 0) return;
    fsync(descriptor);
    close(descriptor);
}

// The new file, written and on the disk, then renamed over the old one in
// one step; any failure before the rename leaves the old one as it was.
WriteResult write_beside(const OutputFile &output, const unsigned char *bytes, std::size_t length) {
    char folder[sizeof OutputFile::target];
    folder_of(output.target, folder);
    NewFile file{};
    if (!make_new_file(folder, file)) return failed(WriteFailure::NOT_BESIDE, errno);
    WriteResult result = fill_new_file(output, file.descriptor, bytes, length);
    bool closed = close(file.descriptor) == 0;
    if (result.failure == WriteFailure::NONE)
        result = !closed                         ? failed(WriteFailure::UNWRITABLE, errno)
                 : !unchanged_since_seen(output) ? failed(WriteFailure::CHANGED, 0)
                 : std::rename(file.name, output.target) != 0
                     ? failed(WriteFailure::UNWRITABLE, errno)
                     : WRITTEN;
    if (result.failure != WriteFailure::NONE)
        unlink(file.name);
    else
        sync_folder(folder);
    return result;
}

} // namespace

WriteResult look_at_output(const char *path, bool standard_closed, OutputFile &output) {
    WriteResult result = name_output(path, standard_closed, 0, output);
    if (result.failure != WriteFailure::NONE || output.standard) return result;
    struct stat named {};
    if (lstat(path, &named) != 0) {
        output.regular = true;
        return errno == ENOENT ? WRITTEN : failed(WriteFailure::UNWRITABLE, errno);
    }
    // Through a symbolic link the file it leads to is replaced, and the link kept.
    if (S_ISLNK(named.st_mode) && realpath(path, output.target) == nullptr)
        return failed(errno == ENOENT ? WriteFailure::DANGLING_LINK : WriteFailure::UNWRITABLE,
                      errno);
    if (stat(output.target, &output.seen) != 0) return failed(WriteFailure::UNWRITABLE, errno);
    output.exists = true;
    output.regular = S_ISREG(output.seen.st_mode);
    if (!output.regular) return WRITTEN;
    if (output.seen.st_nlink > 1) return failed(WriteFailure::SEVERAL_NAMES, 0);
    // A new file beside it could replace even a file its user may not write.
    if (faccessat(AT_FDCWD, output.target, W_OK, AT_EACCESS) != 0)
        return failed(WriteFailure::UNWRITABLE, errno);
    return WRITTEN;
}

WriteResult write_whole_file(const OutputFile &output, const unsigned char *bytes,
                             std::size_t length) {
    if (output.standard) return write_standard_output(bytes, length);
    if (!output.regular) return write_in_place(output.target, bytes, length);
    return write_beside(output, bytes, length);
}

#endif

} // namespace morvane
