#include "list_run.h"

#include <cstdio>

#include "list_decode.h"
#include "list_image.h"
#include "output_block.h"
#include "run_files.h"

namespace {

// Where the line being written starts in the output, counted from the
// output's first byte: a broken record takes its partial line back.
std::uint64_t line_start = 0;

void list_short(std::uint16_t line_number, const unsigned char *body, int length) {
    reserve_output_room(LISTED_LINE_ROOM);
    output_fill += static_cast<std::size_t>(
        list_short_record(line_number, body, length, output_block + output_fill));
}

// A body too long for any listing line is decoded as it comes, every token
// by name; there is no line it could read back from, so nothing is checked.
void list_long(std::uint16_t line_number) {
    reserve_output_room(LONGEST_STEP_TEXT); // room for the number's five digits
    output_fill +=
        static_cast<std::size_t>(write_line_number(line_number, output_block + output_fill));
    write_byte(' ');
    BodyDecoder decoder;
    for (int b = next_body_byte(); b >= 0; b = next_body_byte()) {
        reserve_output_room(LONGEST_STEP_TEXT);
        int next = peek_body_byte();
        DecodedStep step = decode_step(decoder, static_cast<unsigned char>(b), next, false,
                                       output_block + output_fill);
        output_fill += static_cast<std::size_t>(step.written);
        if (step.used == 2) next_body_byte();
    }
    write_byte('\n');
}

} // namespace

void check_list_arguments_or_exit(int argument_count) {
    if (argument_count == 2) return;
    std::fputs("morvane-list version " MORVANE_VERSION " : usage\n", stderr);
    std::fputs("  morvane-list infile outfile\n", stderr);
    end_process(1);
}

void list_records() {
    start_output();
    std::uint16_t line_number = 0;
    for (;;) {
        line_start = output_position();
        if (!read_record_head(line_number)) return;
        const unsigned char *body = nullptr;
        int length = read_short_body(body, LONGEST_CHECKED_BODY);
        if (length >= 0)
            list_short(line_number, body, length);
        else
            list_long(line_number);
    }
}

void exit_broken_image(std::uint64_t offset) {
    take_output_back_to(line_start);
    char format[80];
    std::snprintf(format, sizeof format, "Broken program image %%s at byte %llu\n",
                  static_cast<unsigned long long>(offset));
    exit_with_message(format, input_file_path());
}
