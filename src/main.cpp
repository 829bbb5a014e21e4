#include "main.h"

#include <filesystem>
#include <system_error>

#include "image_format.h"
#include "line_number.h"

std::FILE *input_stream = nullptr;

namespace {

const char *listing_path = "";
const char *image_path = "";

[[noreturn]] void exit_with_message(const char *format, const char *path) {
    std::fprintf(stderr, format, path);
    end_process(1);
}

void close_listing() {
    if (input_stream != nullptr) std::fclose(input_stream);
    input_stream = nullptr;
}

// Pushes out what is gathered and closes the image; false if any of it was refused.
bool close_image() {
    if (output_stream == nullptr) return true;
    bool written = flush_image();
    std::fflush(output_stream);
    if (std::ferror(output_stream)) written = false;
    if (std::fclose(output_stream) != 0) written = false;
    output_stream = nullptr;
    return written;
}

bool is_directory(const char *path) {
    std::error_code ignored;
    return std::filesystem::is_directory(path, ignored);
}

// True when writing the image would truncate the listing: a regular file
// reached through both paths, by hard link or symbolic link alike.
bool image_is_listing(const char *path) {
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(listing_path, ignored)) return false;
    return std::filesystem::equivalent(listing_path, path, ignored);
}

} // namespace

void check_arguments_or_exit(int argument_count) {
    if (argument_count == 2) return;
    std::fputs("morvane version 0.5 : usage\n", stderr);
    std::fputs("  morvane infile outfile\n", stderr);
    end_process(1);
}

void open_listing_or_exit(const char *path) {
    listing_path = path;
    // The C library opens a directory for reading on some systems; it is no listing.
    if (!is_directory(path)) input_stream = std::fopen(path, "rb");
    if (input_stream == nullptr) exit_with_message("Can't open input file %s\n", path);
}

void open_image_or_exit(const char *path) {
    image_path = path;
    if (image_is_listing(path)) {
        close_listing();
        exit_with_message("Input and output are the same file %s\n", path);
    }
    output_stream = std::fopen(path, "wb");
    if (output_stream == nullptr) {
        close_listing();
        exit_with_message("Can't open output file %s\n", path);
    }
}

void close_files_or_exit() {
    close_listing();
    if (!close_image()) exit_with_message("Can't write output file %s\n", image_path);
}

void fatal_error(const char *message) {
    std::fprintf(stderr, "%s %d\n", message, static_cast<int>(current_line_number));
    close_listing();
    close_image();
    end_process(1);
}

void exit_read_failed() {
    close_listing();
    close_image();
    exit_with_message("Can't read input file %s\n", listing_path);
}

void exit_write_failed() {
    close_listing();
    close_image();
    exit_with_message("Can't write output file %s\n", image_path);
}
