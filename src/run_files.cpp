#include "run_files.h"

#include "output_block.h"

#if defined(_WIN32)
#include <filesystem>
#include <system_error>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

std::FILE *input_stream = nullptr;

namespace {

const char *input_path = "";
const char *output_path = "";

void close_input() {
    if (input_stream != nullptr) std::fclose(input_stream);
    input_stream = nullptr;
}

// Pushes out what is gathered and closes the output; false if any of it was refused.
bool close_output() {
    if (output_stream == nullptr) return true;
    bool written = flush_output();
    std::fflush(output_stream);
    if (std::ferror(output_stream)) written = false;
    if (std::fclose(output_stream) != 0) written = false;
    output_stream = nullptr;
    return written;
}

// Both files are read and written a block at a time: a stream buffer
// would only copy each block once more, and could not be allocated under a
// tight memory limit.
void read_and_write_unbuffered(std::FILE *stream) {
    std::setvbuf(stream, nullptr, _IONBF, 0);
}

#if defined(_WIN32)

// Without inode numbers, the paths are compared: both name one regular file.
bool output_is_input(const char *path) {
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(input_path, ignored)) return false;
    return std::filesystem::equivalent(input_path, path, ignored);
}

std::FILE *open_input_file(const char *path) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) return nullptr;
    return std::fopen(path, "rb");
}

std::FILE *open_output_file(const char *path) {
    if (output_is_input(path)) {
        close_input();
        exit_with_message("Input and output are the same file %s\n", path);
    }
    return std::fopen(path, "wb");
}

#else

// Opens /dev/null on descriptor 0, 1 or 2 if that one is closed: open
// takes the lowest free number, and the ones below are open already.
void open_if_closed(int descriptor) {
    if (fcntl(descriptor, F_GETFD) == -1) open("/dev/null", O_RDWR);
}

// The status of an open descriptor; fstat cannot fail on one, and a status
// left empty would count as no regular file and no directory.
struct stat status_of(int descriptor) {
    struct stat status {};
    fstat(descriptor, &status);
    return status;
}

// A regular file is emptied before it is read; a pipe or FIFO would wait
// for itself, to be read only by what is written into it.
bool same_file(const struct stat &in, const struct stat &out) {
    return (S_ISREG(in.st_mode) || S_ISFIFO(in.st_mode)) && in.st_dev == out.st_dev &&
           in.st_ino == out.st_ino;
}

// Decided on the open descriptors, not on the names, so that a name
// swapped between a check and an open cannot fool it.
bool same_open_file(int input, int output) {
    return same_file(status_of(input), status_of(output));
}

std::FILE *open_input_file(const char *path) {
    int descriptor = open(path, O_RDONLY);
    if (descriptor < 0) return nullptr;
    std::FILE *stream = S_ISDIR(status_of(descriptor).st_mode) ? nullptr : fdopen(descriptor, "rb");
    if (stream == nullptr) close(descriptor);
    return stream;
}

// Empties a regular file; pipes and devices are written as they are.
bool truncate_if_regular(int descriptor) {
    return !S_ISREG(status_of(descriptor).st_mode) || ftruncate(descriptor, 0) == 0;
}

// The output is opened without truncating it, and emptied only once it is
// known not to be the input.
std::FILE *open_output_file(const char *path) {
    int descriptor = open(path, O_WRONLY | O_CREAT, 0666);
    if (descriptor < 0) return nullptr;
    if (same_open_file(fileno(input_stream), descriptor)) {
        close(descriptor);
        close_input();
        exit_with_message("Input and output are the same file %s\n", path);
    }
    std::FILE *stream = truncate_if_regular(descriptor) ? fdopen(descriptor, "wb") : nullptr;
    if (stream == nullptr) close(descriptor);
    return stream;
}

#endif

} // namespace

void open_standard_streams() {
#if !defined(_WIN32)
    for (int descriptor = 0; descriptor <= 2; descriptor++)
        open_if_closed(descriptor);
#endif
}

void refuse_same_pipe_or_exit(const char *input, const char *output) {
#if !defined(_WIN32)
    // Opening a FIFO waits for the other end, so the names are compared
    // before either is opened; the open descriptors are compared again after.
    struct stat in {
    }, out{};
    if (stat(input, &in) != 0 || stat(output, &out) != 0) return;
    if (S_ISFIFO(in.st_mode) && same_file(in, out))
        exit_with_message("Input and output are the same file %s\n", output);
#else
    (void)input;
    (void)output;
#endif
}

void open_input_or_exit(const char *path) {
    input_path = path;
    input_stream = open_input_file(path);
    if (input_stream == nullptr) exit_with_message("Can't open input file %s\n", path);
    read_and_write_unbuffered(input_stream);
}

const char *input_file_path() {
    return input_path;
}

void open_output_or_exit(const char *path) {
    output_path = path;
    output_stream = open_output_file(path);
    if (output_stream == nullptr) exit_with_message("Can't open output file %s\n", path);
    read_and_write_unbuffered(output_stream);
}

void use_streams(std::FILE *input, const char *input_name, std::FILE *output,
                 const char *output_name) {
    input_stream = input;
    input_path = input_name;
    output_stream = output;
    output_path = output_name;
}

void close_files_or_exit() {
    close_input();
    if (!close_output()) exit_with_message("Can't write output file %s\n", output_path);
}

void close_files() {
    close_input();
    close_output();
}

void exit_with_message(const char *format, const char *path) {
    std::fprintf(stderr, format, path);
    close_files();
    end_process(1);
}

void exit_read_failed() {
    exit_with_message("Can't read input file %s\n", input_path);
}

void exit_write_failed() {
    exit_with_message("Can't write output file %s\n", output_path);
}
