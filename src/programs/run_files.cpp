#include "programs/run_files.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/basic/image_format.h"

#include "core/io/run_messages.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <filesystem>
#include <io.h>
#include <system_error>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace morvane {
namespace {

void close_input(RunFiles &files) {
    if (files.input != nullptr) std::fclose(files.input);
    files.input = nullptr;
}

// Closes the output; false if any of it was refused.
bool close_output(RunFiles &files) {
    if (files.output == nullptr) return true;
    bool written = std::fflush(files.output) == 0 && !std::ferror(files.output);
    if (std::fclose(files.output) != 0) written = false;
    files.output = nullptr;
    return written;
}

void close_files(RunFiles &files) {
    close_input(files);
    close_output(files);
}

long long read_file(void *context, unsigned char *buffer, std::size_t size) {
    auto &files = *static_cast<RunFiles *>(context);
    if (files.head_position < files.head_length) {
        std::size_t count = std::min(size, files.head_length - files.head_position);
        std::memcpy(buffer, files.head + files.head_position, count);
        files.head_position += count;
        return static_cast<long long>(count);
    }
    std::FILE *stream = files.input;
    if (std::ferror(stream)) return -1;
    std::size_t got = std::fread(buffer, 1, size, stream);
    return got == 0 && std::ferror(stream) ? -1 : static_cast<long long>(got);
}

bool write_file(void *context, const unsigned char *bytes, std::size_t size) {
    return std::fwrite(bytes, 1, size, static_cast<std::FILE *>(context)) == size;
}

// Takes back the end of a regular file; what went to a pipe stays written.
bool truncate_file(void *context, std::uint64_t position) {
#if defined(_WIN32)
    (void)context;
    (void)position;
    return false;
#else
    return ftruncate(fileno(static_cast<std::FILE *>(context)), static_cast<off_t>(position)) == 0;
#endif
}

[[noreturn]] void exit_with_path(RunFiles &files, const char *message, const char *path) {
    std::fprintf(stderr, "%s%s\n", message, path);
    close_files(files);
    std::exit(1);
}

// Both files are read and written a block at a time: a stream buffer
// would only copy each block once more, and could not be allocated under a
// tight memory limit.
void read_and_write_unbuffered(std::FILE *stream) {
    std::setvbuf(stream, nullptr, _IONBF, 0);
}

#if defined(_WIN32)

// Without inode numbers, the paths are compared: both name one regular file.
bool output_is_input(const RunFiles &files, const char *path) {
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(files.input_path, ignored)) return false;
    return std::filesystem::equivalent(files.input_path, path, ignored);
}

std::FILE *open_input_file(const char *path) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) return nullptr;
    return std::fopen(path, "rb");
}

std::FILE *open_output_file(RunFiles &files, const char *path) {
    if (output_is_input(files, path))
        exit_with_path(files, "Input and output are the same file ", path);
    return std::fopen(path, "wb");
}

#else

// Opens /dev/null on descriptor 0, 1 or 2 if that one is closed: open
// takes the lowest free number, and the ones below are open already.
bool open_if_closed(int descriptor) {
    if (fcntl(descriptor, F_GETFD) != -1) return false;
    open("/dev/null", O_RDWR);
    return true;
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
std::FILE *open_output_file(RunFiles &files, const char *path) {
    int descriptor = open(path, O_WRONLY | O_CREAT, 0666);
    if (descriptor < 0) return nullptr;
    if (same_open_file(fileno(files.input), descriptor)) {
        close(descriptor);
        exit_with_path(files, "Input and output are the same file ", path);
    }
    std::FILE *stream = truncate_if_regular(descriptor) ? fdopen(descriptor, "wb") : nullptr;
    if (stream == nullptr) close(descriptor);
    return stream;
}

#endif

} // namespace

ClosedStreams open_standard_streams() {
#if !defined(_WIN32)
    // In this order: each open takes the lowest free number.
    bool input = open_if_closed(STDIN_FILENO);
    bool output = open_if_closed(STDOUT_FILENO);
    bool errors = open_if_closed(STDERR_FILENO);
    return {input, output, errors};
#else
    // Messages end with a line feed alone, byte for byte as elsewhere.
    _setmode(_fileno(stderr), _O_BINARY);
    return {false, false, false};
#endif
}

void refuse_same_pipe_or_exit(const char *input, const char *output) {
#if !defined(_WIN32)
    // Opening a FIFO waits for the other end, so the names are compared
    // before either is opened; the open descriptors are compared again after.
    struct stat in {
    }, out{};
    bool input_standard = std::strcmp(input, "-") == 0;
    bool output_standard = std::strcmp(output, "-") == 0;
    if ((input_standard ? fstat(STDIN_FILENO, &in) : stat(input, &in)) != 0) return;
    if ((output_standard ? fstat(STDOUT_FILENO, &out) : stat(output, &out)) != 0) return;
    RunFiles none{nullptr, nullptr, input, output, false, {}, 0, 0};
    if (S_ISFIFO(in.st_mode) && same_file(in, out))
        exit_with_path(none, "Input and output are the same file ", output);
#else
    (void)input;
    (void)output;
#endif
}

void open_input_or_exit(RunFiles &files, const char *path) {
    files = {nullptr, nullptr, path, "", false, {}, 0, 0};
    files.input = open_input_file(path);
    if (files.input == nullptr) exit_with_path(files, "Can't open input file ", path);
    read_and_write_unbuffered(files.input);
}

void open_output_or_exit(RunFiles &files, const char *path) {
    files.output_path = path;
    files.output = open_output_file(files, path);
    if (files.output == nullptr) exit_with_path(files, "Can't open output file ", path);
    read_and_write_unbuffered(files.output);
}

Source input_source(RunFiles &files) {
    return {read_file, &files};
}

Sink output_sink(RunFiles &files) {
    return {write_file, files.output_is_standard ? nullptr : truncate_file, files.output};
}

void use_standard_input(RunFiles &files, const char *name) {
    files = {stdin, nullptr, name, "", false, {}, 0, 0};
    read_and_write_unbuffered(files.input);
}

void refuse_image_as_listing_or_exit(RunFiles &files) {
    // Short reads (a pipe) are read on until the lead-in is whole or the input ends.
    while (files.head_length < LEAD_IN_LENGTH) {
        std::size_t got = std::fread(files.head + files.head_length, 1,
                                     LEAD_IN_LENGTH - files.head_length, files.input);
        if (got == 0) break;
        files.head_length += got;
    }
    if (starts_like_image(files.head, files.head_length))
        exit_with_path(files, "Input file is a program image ", files.input_path);
}

void use_standard_output_or_exit(RunFiles &files, const char *name) {
    files.output_path = name;
#if !defined(_WIN32)
    if (same_open_file(fileno(files.input), fileno(stdout)))
        exit_with_path(files, "Input and output are the same file ", name);
#endif
    files.output = stdout;
    files.output_is_standard = true;
    read_and_write_unbuffered(files.output);
}

void answer_help_or_version(int argc, char **argv, const ProgramText &program) {
    if (argc != 2) return;
    const char *asked = argv[1];
    if (std::strcmp(asked, "--help") == 0 || std::strcmp(asked, "-h") == 0)
        std::fputs(program.help, stdout);
    else if (std::strcmp(asked, "--version") == 0)
        std::printf("%s %s\n", program.name, MORVANE_FULL_VERSION);
    else
        return;
    std::exit(std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1);
}

int finish_run(RunFiles &files, const Outcome &outcome) {
    if (outcome.kind == OutcomeKind::COMPLETE)
        with_listing_notes(outcome, [](const char *format, auto... arguments) {
            print_line(format, arguments...);
        });
    int status = with_outcome_message(
        outcome, files.input_path, files.output_path,
        [](const char *format, auto... arguments) { print_line(format, arguments...); });
    close_input(files);
    bool written = close_output(files);
    if (status != 1 && !written) {
        print_line("Can't write output file %s", files.output_path);
        status = 1;
    }
    return status;
}

bool take_valued_option(int argc, char **argv, int &at, const char *option, const char *&value) {
    std::size_t length = std::strlen(option);
    const char *argument = argv[at];
    if (std::strncmp(argument, option, length) != 0) return false;
    if (argument[length] == '=') {
        value = argument + length + 1;
        return true;
    }
    if (argument[length] != '\0') return false;
    value = at + 1 < argc ? argv[++at] : nullptr;
    return true;
}

EncodingChoice encoding_or_exit(const char *program, const char *value, int status) {
    EncodingChoice choice = EncodingChoice::BY_CONTENT;
    if (value == nullptr) {
        std::fprintf(stderr, "%s: --encoding needs a name: utf-8 or shift_jis\n", program);
        std::exit(status);
    }
    if (!encoding_named(value, choice)) {
        std::fprintf(stderr, "%s: unknown encoding '%s': use utf-8 or shift_jis\n", program, value);
        std::exit(status);
    }
    return choice;
}

} // namespace morvane
