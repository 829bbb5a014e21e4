// Files read and written whole, for the programs that need all of a
// listing before they can say anything about it.
//
// A file is replaced safely: the new bytes go into a new file beside it,
// which takes the old one's owner, group and permissions and is then
// renamed over it. Whatever fails, and at whatever moment the program is
// killed, the file is afterwards either whole as it was or whole as new.
// Where that cannot be promised (a file with several names, a folder where
// no file can be made), nothing is written and the failure says why.
#pragma once

#include <cstddef>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace morvane {

// The whole file, or standard input for "-", in a buffer from malloc;
// nullptr if it cannot be read.
unsigned char *read_whole_file(const char *path, std::size_t &length);

enum class WriteFailure {
    NONE,
    UNWRITABLE,      // the system refused a write; error says why
    STANDARD_CLOSED, // standard output was closed when the program started
    SEVERAL_NAMES,   // a new file would part the names of a hard-linked one
    DANGLING_LINK,   // a symbolic link to no file
    NOT_BESIDE,      // no new file can be made beside it; error says why
    OWNER_NOT_KEPT,  // the new file cannot take the old one's owner or group
    CHANGED,         // something else wrote the file while the program ran
};

// What the output was before the program read its input, so that a file
// changed meanwhile is not replaced.
struct OutputFile {
    const char *path;  // as the user named it
    char target[4096]; // the file itself: through symbolic links
    bool standard;     // "-": standard output
    bool exists;
    bool regular; // replaced by renaming; anything else is written in place
#if !defined(_WIN32)
    struct stat seen;
#endif
};

struct WriteResult {
    WriteFailure failure;
    int error; // errno, where the system said why
};

// Looks at the output before anything is read; standard_closed says that
// standard output had to be opened on /dev/null at the start.
WriteResult look_at_output(const char *path, bool standard_closed, OutputFile &output);

// Writes the bytes as the whole of the file, or to standard output for "-".
WriteResult write_whole_file(const OutputFile &output, const unsigned char *bytes,
                             std::size_t length);

} // namespace morvane
