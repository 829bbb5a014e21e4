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

// The lines written that do not convert back into their records.
int lines_not_read_back = 0;

// The converter needs numbers that increase, and stores their low 16 bits:
// a record's number is the lowest above the previous line's with its low
// 16 bits, so 0 after 1 is written as 65536, which is stored as 0 again.
std::uint64_t number_above(std::uint64_t previous_plus_one, std::uint16_t stored) {
    std::uint64_t number = (previous_plus_one & ~std::uint64_t{0xFFFF}) | stored;
    return number < previous_plus_one ? number + 0x10000 : number;
}

// The largest line number the converter accepts: it compares them as
// signed 32-bit values.
constexpr std::uint64_t LARGEST_LINE_NUMBER = 0x7FFFFFFF;

void report_not_read_back(std::uint64_t line_number, int body_offset) {
    lines_not_read_back++;
    std::fprintf(stderr, "Line %llu does not convert back into its record at byte %d of its body\n",
                 static_cast<unsigned long long>(line_number), body_offset);
}

ListedLine list_short(std::uint64_t line_number, const unsigned char *body, int length) {
    reserve_output_room(LISTED_LINE_ROOM);
    ListedLine listed = list_short_record(line_number, body, length, output_block + output_fill);
    output_fill += static_cast<std::size_t>(listed.length);
    return listed;
}

// A body too long for any listing line is decoded as it comes, every token
// by name; there is no line it could read back from, so nothing is checked
// but where the line passes the most the converter reads of it.
ListedLine list_long(std::uint64_t line_number) {
    reserve_output_room(LONGEST_LINE_NUMBER_TEXT + 1);
    int written = write_line_number(line_number, output_block + output_fill);
    output_fill += static_cast<std::size_t>(written);
    write_byte(' ');
    written++;
    ListedLine listed{0, -1};
    BodyDecoder decoder;
    int offset = 0;
    for (int b = next_body_byte(); b >= 0; b = next_body_byte()) {
        reserve_output_room(LONGEST_STEP_TEXT);
        int next = peek_body_byte();
        DecodedStep step = decode_step(decoder, static_cast<unsigned char>(b), next, false,
                                       output_block + output_fill);
        output_fill += static_cast<std::size_t>(step.written);
        written += step.written;
        if (listed.broken_at < 0 && written > LONGEST_LINE) listed.broken_at = offset;
        offset += step.used;
        if (step.used == 2) next_body_byte();
    }
    write_byte('\n');
    listed.length = written + 1;
    return listed;
}

} // namespace

void check_list_arguments_or_exit(int argument_count) {
    if (argument_count == 2) return;
    std::fputs("morvane-list version " MORVANE_VERSION " : usage\n", stderr);
    std::fputs("  morvane-list infile outfile\n", stderr);
    end_process(1);
}

bool list_records() {
    start_output();
    lines_not_read_back = 0;
    std::uint64_t lowest_number = 0; // the lowest the next line may have
    for (std::uint16_t stored = 0;;) {
        line_start = output_position();
        if (!read_record_head(stored)) break;
        std::uint64_t line_number = number_above(lowest_number, stored);
        const unsigned char *body = nullptr;
        int length = read_short_body(body, LONGEST_CHECKED_BODY);
        ListedLine listed =
            length >= 0 ? list_short(line_number, body, length) : list_long(line_number);
        if (line_number > LARGEST_LINE_NUMBER) listed.broken_at = 0;
        if (listed.broken_at >= 0) report_not_read_back(line_number, listed.broken_at);
        lowest_number = line_number + 1;
    }
    return lines_not_read_back == 0;
}

void exit_broken_image(std::uint64_t offset) {
    take_output_back_to(line_start);
    char format[80];
    std::snprintf(format, sizeof format, "Broken program image %%s at byte %llu\n",
                  static_cast<unsigned long long>(offset));
    exit_with_message(format, input_file_path());
}
