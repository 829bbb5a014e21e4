#include "convert_run.h"

#include <cstdint>
#include <cstdio>

#include "convert_image.h"
#include "convert_reader.h"
#include "line_number.h"
#include "run_files.h"
#include "tokenizer.h"

namespace {

// The number of the last line accepted; -1 before the first.
std::int32_t previous_line_number = -1;

// The number of the line being converted, or of the last one before a line
// that fails; conversion errors report it.
std::int32_t current_line_number = 0;

void start_conversion() {
    start_output();
    start_line_reader();
    previous_line_number = -1;
    current_line_number = 0;
}

// Converts a loaded line into its record.
void convert_line(const unsigned char *text) {
    const unsigned char *statements = read_line_number(text, current_line_number);
    if (previous_line_number >= current_line_number) fatal_error("Illegal line number found in");
    previous_line_number = current_line_number;
    // The whole record is stored straight into the block, which has room for it.
    reserve_output_room(RECORD_HEAD_LENGTH + BODY_ROOM);
    unsigned char *body = store_record_head(output_block + output_fill,
                                            static_cast<std::uint32_t>(current_line_number));
    unsigned char *end = tokenize_statements(statements, body);
    output_fill = static_cast<std::size_t>(end - output_block);
}

} // namespace

void check_arguments_or_exit(int argument_count) {
    if (argument_count == 2) return;
    std::fputs("morvane version 0.5 : usage\n", stderr);
    std::fputs("  morvane infile outfile\n", stderr);
    end_process(1);
}

void convert_listing() {
    start_conversion();
    write_header();
    for (const unsigned char *text = load_next_line(); text != nullptr; text = load_next_line())
        convert_line(text);
    write_trailer();
}

void fatal_error(const char *message) {
    std::fprintf(stderr, "%s %d\n", message, static_cast<int>(current_line_number));
    close_files();
    end_process(1);
}
