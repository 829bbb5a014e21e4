// What renumbering knows of a listing between its passes: the lines the
// machine's line editor would keep, in its order, and the labels. Small
// for its size: a numbered line is known by its number alone, lines
// without numbers by the runs they stand in, and everything else is read
// again from the listing when it is needed.
#pragma once

#include "core/text/listing_decoding.h"

#include <cstddef>
#include <cstdint>

#include "core/basic/listing_front.h"
#include "core/basic/scanner.h"
#include "core/findings/findings.h"
#include "core/io/core_io.h"
#include "core/io/grown.h"
#include "core/renum/renumber_listing.h"

namespace morvane {

constexpr std::uint32_t NO_LINE = 0xFFFFFFFF;
constexpr std::uint32_t HIGHEST_NUMBER = 65535;
constexpr int NUMBER_COUNT = 65536;

enum class LineKind : std::uint8_t {
    BLANK,        // spaces and tabs at most: for the author, never written
    LABEL,        // @name alone: names the next line written, is never written itself
    NUMBERED,     // a number and statements
    UNNUMBERED,   // statements alone: numbered after the numbered line before it
    DELETION,     // a number alone: deletes the line of that number, as typed on the machine
    CONTINUATION, // the rest of a line the converter cut: part of the line before
};

// One line of the listing as renumbering reads it.
struct RenumLine {
    LineKind kind;
    std::size_t start;
    std::uint32_t number;    // NUMBERED and DELETION: held at HIGHEST_NUMBER
    std::uint64_t value;     // the number as written
    int digits_end;          // in the text: after the number's digits
    std::size_t kept;        // the first byte kept after the number or the indentation
    std::size_t content_end; // before its line end: CR LF, LF, or none
    Item label;              // LABEL: the @name
};

// Lines without numbers that follow each other, all after the same
// numbered line: they stay together in the machine's order.
struct UnnumberedRun {
    std::size_t start; // the first one's start
    std::uint32_t count;
    std::uint32_t next;      // the next run after the same number, or NO_LINE
    std::uint32_t first_new; // the first one's new number
};

// A label names a numbered line by its number, or a line of a run.
constexpr std::uint32_t NAMES_NUMBER = 0x80000000;

struct Label {
    std::size_t name; // the name after the @, in the listing
    std::uint32_t name_length;
    std::uint32_t names;    // NAMES_NUMBER | number, a run's index, or NO_LINE
    std::uint32_t position; // in the run
    bool duplicate;
    std::uint64_t editor_line;
    std::uint64_t first_editor_line; // a duplicate's first definition
};

// A run of lines whose numbers are above 65,535, named once at its first.
struct RangeRun {
    std::size_t start;
    std::uint64_t lines;
};

// A finding about the new numbers, told with the findings of its line.
struct OrderFinding {
    std::size_t offset;
    Finding finding;
};

// By number: the start of the line that has it, the line its new number
// goes to (by new number), its new number, its line
// on the editor as the listing is told, the first and last run of lines
// without numbers after it (index 0 holds the runs before any number, index
// n + 1 those after n), and whether its line has a line number to rewrite.
// Each is kept plus one, so that the zeros the tables start as (from
// calloc, with no time spent filling them) stand for none.
struct NumberTables {
    std::size_t holder[NUMBER_COUNT];
    std::uint32_t taker[NUMBER_COUNT]; // by new number: the line that gets it
    std::uint32_t new_of[NUMBER_COUNT];
    std::uint64_t editor_line_of[NUMBER_COUNT]; // not shifted: 0 is no line
    std::uint32_t first_run[NUMBER_COUNT + 1], last_run[NUMBER_COUNT + 1];
    unsigned char rewritten[NUMBER_COUNT / 8];
};

struct Renumber {
    const unsigned char *listing;
    std::size_t length;
    const ListingText *file; // the file the listing was read from: its bytes are written
    RenumberOptions options;
    ListingFront front;
    FrontLine line;
    NumberTables *numbers;
    Grown<UnnumberedRun> runs;
    Grown<Label> labels;          // in file order
    Grown<std::uint32_t> by_name; // the labels sorted by name
    Grown<RangeRun> range_runs;
    std::uint64_t charset_errors;
    bool first_line_unnumbered; // the converter stores it as line 0
    OrderFinding order_findings[3];
    int order_finding_count;
    std::size_t last_written; // the start of the last line written, or NO_OFFSET
    std::uint64_t output_length;
    const char *line_end; // written after a line that had none and is no longer last
    LineFindings findings;
    EditorCursor cursor;
    Item items[LINE_TEXT_ROOM]; // the line's, as the scanner tells them
    int item_count;
    int target_count; // of them, those that name a line or start a computed target
    std::uint64_t errors;
    bool out_of_memory;
    Sink out;
    bool write_failed;
};

// The tables by number, read and written past their shift: NO_OFFSET and
// NO_LINE (every bit set) are kept as 0.
inline std::size_t holder_of(const Renumber &renumber, std::uint32_t number) {
    return renumber.numbers->holder[number] - 1;
}
inline void set_holder(Renumber &renumber, std::uint32_t number, std::size_t start) {
    renumber.numbers->holder[number] = start + 1;
}
inline std::uint32_t new_number_of(const Renumber &renumber, std::uint32_t number) {
    return renumber.numbers->new_of[number] - 1;
}
inline void set_new_number(Renumber &renumber, std::uint32_t number, std::uint32_t new_number) {
    renumber.numbers->new_of[number] = new_number + 1;
}
// The line a new number goes to: its old number, or TAKEN_BY_UNNUMBERED
// with the number of the numbered line before it (NO_NUMBER_BEFORE if none).
constexpr std::uint32_t TAKEN_BY_UNNUMBERED = 0x80000000, NO_NUMBER_BEFORE = NUMBER_COUNT;
inline std::uint32_t taker_of(const Renumber &renumber, std::uint32_t new_number) {
    return renumber.numbers->taker[new_number] - 1;
}
inline void set_taker(Renumber &renumber, std::uint32_t new_number, std::uint32_t taker) {
    if (new_number < NUMBER_COUNT) renumber.numbers->taker[new_number] = taker + 1;
}
inline std::uint32_t first_run_after(const Renumber &renumber, std::uint32_t bucket) {
    return renumber.numbers->first_run[bucket] - 1;
}
inline std::uint32_t last_run_after(const Renumber &renumber, std::uint32_t bucket) {
    return renumber.numbers->last_run[bucket] - 1;
}
inline void set_runs_after(Renumber &renumber, std::uint32_t bucket, std::uint32_t first,
                           std::uint32_t last) {
    renumber.numbers->first_run[bucket] = first + 1;
    renumber.numbers->last_run[bucket] = last + 1;
}
inline bool is_rewritten(const Renumber &renumber, std::uint32_t number) {
    return (renumber.numbers->rewritten[number / 8] >> (number % 8) & 1) != 0;
}

// Reads the front's current line as renumbering does, its items into
// renumber.items; continuing says it is the rest of a line the converter cut.
RenumLine read_renum_line(Renumber &renumber, bool continuing);

// First pass, in file order: the lines taken as the line editor would.
bool take_lines(Renumber &renumber);

// Sorts the labels by name and marks those defined twice.
bool sort_labels(Renumber &renumber);

// The label with the name at text, or nullptr.
const Label *find_label(const Renumber &renumber, const unsigned char *name, std::size_t length);

// The new number of the line a label names; NO_LINE if it names none.
std::uint32_t label_number(const Renumber &renumber, const Label &label);
bool names_a_line(const Renumber &renumber, const Label &label);

} // namespace morvane
