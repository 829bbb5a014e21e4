// Renumbering in three passes over the listing: the lines taken in file
// order (renum_lines), the findings told in file order with the length of
// every line written, and, only when none of them is an error, the lines
// written in the machine's order with their new numbers.
#include "core/renum/renumber_listing.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "core/basic/image_format.h"
#include "core/basic/keyword_table.h"
#include "core/findings/file_places.h"
#include "core/renum/renum_model.h"
#include "core/text/listing_decoding.h"

namespace morvane {
namespace {

// --- The machine's order ---

// Visits the lines written in the machine's order: each numbered line by
// its number, each run of lines without numbers by its index.
template <typename Visit> void in_machine_order(const Renumber &renumber, Visit visit) {
    auto runs_after = [&](std::uint32_t bucket) {
        for (std::uint32_t run = first_run_after(renumber, bucket); run != NO_LINE;
             run = renumber.runs[run].next)
            visit(NO_LINE, run);
    };
    runs_after(0);
    for (std::uint32_t number = 0; number < NUMBER_COUNT; number++) {
        if (holder_of(renumber, number) != NO_OFFSET) visit(number, NO_LINE);
        runs_after(number + 1);
    }
}

void add_order_finding(Renumber &renumber, std::size_t offset, FindingId id, auto... arguments) {
    if (renumber.order_finding_count == 3) return;
    OrderFinding &added = renumber.order_findings[renumber.order_finding_count++];
    added.offset = offset;
    set_finding(added.finding, id, arguments...);
}

// The start of the line at place k of a run, read again from the listing.
std::size_t run_line_start(Renumber &renumber, const UnnumberedRun &run, std::uint32_t k) {
    seek_line(renumber.front, run.start);
    bool continuing = false;
    for (std::uint32_t seen = 0; read_next_line(renumber.front, renumber.line);) {
        RenumLine line = read_renum_line(renumber, continuing);
        continuing = renumber.line.cut;
        if (line.kind == LineKind::UNNUMBERED && seen++ == k) return renumber.line.start;
    }
    return run.start;
}

struct Numbering {
    bool keeping = true; // still among the lines below from, which keep their numbers
    std::int64_t last_kept = -1;
    std::size_t first_not_kept = NO_OFFSET;
    bool kept_after_unnumbered = false;
    bool range_told = false;
    std::uint64_t next = 0;
    std::uint32_t last_number = NO_LINE, last_run = NO_LINE;
};

std::uint32_t held(std::uint64_t number) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(number, NO_LINE - 1));
}

void leave_kept_lines(Numbering &numbering, std::size_t start) {
    if (!numbering.keeping) return;
    numbering.keeping = false;
    numbering.first_not_kept = start;
}

void number_line(Renumber &renumber, Numbering &numbering, std::uint32_t number) {
    const RenumberOptions &options = renumber.options;
    std::size_t start = holder_of(renumber, number);
    numbering.last_number = number;
    numbering.last_run = NO_LINE;
    if (numbering.keeping && number < options.from) {
        set_new_number(renumber, number, number);
        set_taker(renumber, number, number);
        numbering.last_kept = number;
        return;
    }
    leave_kept_lines(numbering, start);
    if (number < options.from && !numbering.kept_after_unnumbered) {
        numbering.kept_after_unnumbered = true;
        add_order_finding(renumber, numbering.first_not_kept, FindingId::UNNUMBERED_LINE_KEPT,
                          number, options.from);
    }
    if (numbering.next > HIGHEST_NUMBER && !std::exchange(numbering.range_told, true))
        add_order_finding(renumber, start, FindingId::NEW_NUMBER_RANGE,
                          static_cast<unsigned long long>(numbering.next));
    set_new_number(renumber, number, held(numbering.next));
    if (numbering.next <= HIGHEST_NUMBER)
        set_taker(renumber, static_cast<std::uint32_t>(numbering.next), number);
    numbering.next += options.step;
}

void number_run(Renumber &renumber, Numbering &numbering, std::uint32_t index) {
    std::uint64_t step = renumber.options.step;
    UnnumberedRun &run = renumber.runs[index];
    numbering.last_run = index;
    leave_kept_lines(numbering, run.start);
    run.first_new = held(numbering.next);
    std::uint32_t before =
        numbering.last_number == NO_LINE ? NO_NUMBER_BEFORE : numbering.last_number;
    for (std::uint64_t k = 0, n = numbering.next; k < run.count && n <= HIGHEST_NUMBER;
         k++, n += step)
        set_taker(renumber, static_cast<std::uint32_t>(n), TAKEN_BY_UNNUMBERED | before);
    std::uint64_t last = numbering.next + (run.count - 1) * step;
    if (last > HIGHEST_NUMBER && !numbering.range_told) {
        numbering.range_told = true;
        std::uint64_t k =
            numbering.next > HIGHEST_NUMBER ? 0 : (HIGHEST_NUMBER - numbering.next) / step + 1;
        std::size_t at = run_line_start(renumber, run, static_cast<std::uint32_t>(k));
        add_order_finding(renumber, at, FindingId::NEW_NUMBER_RANGE,
                          static_cast<unsigned long long>(numbering.next + k * step));
    }
    numbering.next += run.count * step;
}

// Gives each line written its new number: the lines below from keep theirs,
// the rest get start, start + step, and so on.
void number_lines(Renumber &renumber) {
    Numbering numbering;
    numbering.next = renumber.options.start;
    in_machine_order(renumber, [&](std::uint32_t number, std::uint32_t run) {
        if (run == NO_LINE)
            number_line(renumber, numbering, number);
        else
            number_run(renumber, numbering, run);
    });
    if (numbering.first_not_kept != NO_OFFSET && !numbering.kept_after_unnumbered &&
        numbering.last_kept >= static_cast<std::int64_t>(renumber.options.start))
        add_order_finding(renumber, numbering.first_not_kept, FindingId::START_NOT_ABOVE_KEPT,
                          renumber.options.start, static_cast<long long>(numbering.last_kept));
    renumber.last_written = NO_OFFSET;
    if (numbering.last_run != NO_LINE) {
        const UnnumberedRun &run = renumber.runs[numbering.last_run];
        renumber.last_written = run_line_start(renumber, run, run.count - 1);
    } else if (numbering.last_number != NO_LINE) {
        renumber.last_written = holder_of(renumber, numbering.last_number);
    }
}

// --- References ---

struct Target {
    enum Kind { KEEP, REWRITE, COMPUTED, UNKNOWN_LABEL, MISSING, RETARGETED } kind;
    std::uint32_t number; // REWRITE: the new number; RETARGETED: the line that would get it
};

// True for the items that name a line, or start a target that is computed.
bool names_a_target(const Item &item) {
    return item.kind == ItemKind::REFERENCE || (item.kind == ItemKind::LABEL && item.token != 0) ||
           item.computed_target;
}

Target label_target(const Renumber &renumber, const Item &item) {
    const FrontLine &line = renumber.line;
    std::size_t name = text_origin(line, item.start + 1);
    const Label *label =
        find_label(renumber, renumber.listing + name, text_end_offset(line, item.end - 1) - name);
    if (label == nullptr) return {Target::UNKNOWN_LABEL, 0};
    std::uint32_t now = label_number(renumber, *label);
    return now == NO_LINE ? Target{Target::KEEP, 0} : Target{Target::REWRITE, now};
}

// The new number of the line a reference's number names. A first line
// without a number is the line 0 the converter stores it as.
std::uint32_t new_number_named(const Renumber &renumber, const Item &item) {
    if (item.value > HIGHEST_NUMBER) return NO_LINE;
    std::uint32_t now = new_number_of(renumber, static_cast<std::uint32_t>(item.value));
    if (now != NO_LINE || item.value != 0 || !renumber.first_line_unnumbered) return now;
    return renumber.runs[first_run_after(renumber, 0)].first_new;
}

// What becomes of the item at index where a statement names a line. A
// missing line's number that a line gets would make the reference lead
// there. ON ERROR GOTO 0 names no line at all.
Target target_of(const Renumber &renumber, int index) {
    const Item &item = renumber.items[index];
    if (item.computed_target) return {Target::COMPUTED, 0};
    if (item.kind == ItemKind::LABEL) return label_target(renumber, item);
    if (item.kind != ItemKind::REFERENCE ||
        turns_error_trapping_off(renumber.line.text, renumber.items, index))
        return {Target::KEEP, 0};
    std::uint32_t now = new_number_named(renumber, item);
    if (now != NO_LINE)
        return now == item.value ? Target{Target::KEEP, 0} : Target{Target::REWRITE, now};
    std::uint32_t taker = item.value <= HIGHEST_NUMBER
                              ? taker_of(renumber, static_cast<std::uint32_t>(item.value))
                              : NO_LINE;
    return taker == NO_LINE ? Target{Target::MISSING, 0} : Target{Target::RETARGETED, taker};
}

// Writes the number's decimal digits; returns how many.
int decimal(std::uint32_t number, char (&digits)[12]) {
    char reversed[12];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number > 0);
    for (int i = 0; i < count; i++)
        digits[i] = reversed[count - 1 - i];
    return count;
}

// --- Telling, in file order ---

void add_at(Renumber &renumber, std::size_t offset, std::size_t end, FindingId id,
            auto... arguments) {
    if (Finding *finding = add_finding(renumber.findings, offset, end))
        set_finding(*finding, id, arguments...);
}

void add_at_item(Renumber &renumber, const Item &item, FindingId id, auto... arguments) {
    const FrontLine &line = renumber.line;
    add_at(renumber, text_origin(line, item.start), text_end_offset(line, item.end - 1), id,
           arguments...);
}

// A label longer than any message has room for, where it is defined or named.
void tell_long_label(Renumber &renumber, std::size_t at, std::size_t end, const char *name,
                     int length) {
    add_at(renumber, at, end, FindingId::LONG_LABEL, LONGEST_LABEL, name, length, LONGEST_LABEL);
}

// A reference to a missing line whose number the new numbers give to a line.
void tell_retargeted(Renumber &renumber, const Item &item, std::uint32_t taker) {
    auto missing = static_cast<unsigned long long>(item.value);
    if ((taker & TAKEN_BY_UNNUMBERED) == 0)
        return add_at_item(renumber, item, FindingId::RETARGETED_REFERENCE, missing, taker,
                           missing);
    char where[24] = "at the listing's start";
    std::uint32_t before = taker & ~TAKEN_BY_UNNUMBERED;
    if (before != NO_NUMBER_BEFORE) std::snprintf(where, sizeof where, "after line %u", before);
    add_at_item(renumber, item, FindingId::RETARGETED_REFERENCE_UNNUMBERED, missing,
                static_cast<const char *>(where), missing);
}

// The new number of the line, and whether it is the last one written.
struct Placed {
    std::uint32_t number;
    bool last;
};

// Names what renumbering cannot follow in the line's references, and adds
// the bytes the line will take to the output's length.
void plan_line(Renumber &renumber, const RenumLine &line, Placed placed) {
    const FrontLine &text = renumber.line;
    const unsigned char *listing = renumber.listing;
    std::int64_t growth = 0, raw_growth = 0;
    char digits[12];
    for (int i = 0, told = 0; told < renumber.target_count; i++) {
        const Item &item = renumber.items[i];
        if (!names_a_target(item)) continue;
        told++;
        if (item.kind == ItemKind::LABEL && item.end - item.start - 1 > LONGEST_LABEL) {
            tell_long_label(renumber, text_origin(text, item.start),
                            text_end_offset(text, item.end - 1),
                            reinterpret_cast<const char *>(text.text) + item.start + 1,
                            item.end - item.start - 1);
            continue;
        }
        Target target = target_of(renumber, i);
        if (target.kind == Target::COMPUTED)
            add_at_item(renumber, item, FindingId::COMPUTED_TARGET);
        if (target.kind == Target::UNKNOWN_LABEL)
            add_at_item(renumber, item, FindingId::UNKNOWN_LABEL, item.end - item.start,
                        reinterpret_cast<const char *>(text.text) + item.start);
        if (target.kind == Target::MISSING)
            add_at_item(renumber, item, FindingId::MISSING_TARGET,
                        static_cast<unsigned long long>(item.value));
        if (target.kind == Target::RETARGETED) tell_retargeted(renumber, item, target.number);
        if (target.kind != Target::REWRITE) continue;
        if (line.kind == LineKind::NUMBERED)
            renumber.numbers->rewritten[line.number / 8] |=
                static_cast<unsigned char>(1u << (line.number % 8));
        int length = decimal(target.number, digits);
        growth += length - (item.end - item.start);
        raw_growth += length - static_cast<std::int64_t>(text_end_offset(text, item.end - 1) -
                                                         text_origin(text, item.start));
    }
    bool keep_number = line.kind == LineKind::NUMBERED && placed.number == line.number;
    int number_length = decimal(placed.number, digits) + (line.kind == LineKind::UNNUMBERED);
    // The number or indentation before the kept bytes gives way to what is written there.
    std::int64_t replaced = static_cast<std::int64_t>(line.kept - text.start);
    if (text.origin != nullptr) // counted origins mean no carriage return among them
        for (std::size_t at = text.start; at < line.kept; at++)
            replaced -= listing[at] == '\r';
    std::int64_t written = keep_number ? replaced : number_length;
    std::int64_t length = text.byte_count - text.line_feed - replaced + written + growth;
    // The converter takes 1,023 bytes a line, its line feed included.
    bool line_feed = text.line_feed || !placed.last;
    if (length + line_feed > LONGEST_LINE)
        add_at(renumber, text.start, text.start, FindingId::LONG_WITH_NEW_NUMBERS,
               static_cast<long long>(length + line_feed));
    std::size_t line_end = text.line_feed ? text.end - line.content_end
                           : placed.last  ? 0
                                          : std::strlen(renumber.line_end);
    renumber.output_length += (keep_number ? line.kept - text.start : number_length) +
                              (line.content_end - line.kept) + raw_growth + line_end;
}

void tell_charset_errors(Renumber &renumber) {
    const FrontLine &line = renumber.line;
    for (int i = 0; i < line.problem_count; i++) {
        const CharsetProblem &problem = line.problems[i];
        if (problem.kind == CharsetProblemKind::NOT_IN_SET)
            add_at(renumber, problem.offset, problem.offset + 2, FindingId::CHARSET_NOT_IN_SET,
                   shift_jis_name(problem).text);
        if (problem.kind == CharsetProblemKind::NO_SECOND_BYTE)
            add_at(renumber, problem.offset, problem.offset + 1, FindingId::CHARSET_NO_SECOND_BYTE,
                   problem.first);
    }
}

// Where the telling pass stands: the run of lines without numbers it is
// in, the next label, the next run of numbers above 65,535.
struct Telling {
    std::uint32_t run = NO_LINE, next_run = 0, position = 0;
    std::size_t next_label = 0, next_range = 0;
};

void tell_number(Renumber &renumber, Telling &telling, const RenumLine &line) {
    const FrontLine &text = renumber.line;
    std::size_t digits_end = text_end_offset(text, line.digits_end - 1);
    const Grown<RangeRun> &ranges = renumber.range_runs;
    if (telling.next_range < ranges.count && ranges[telling.next_range].start == text.start) {
        std::uint64_t lines = ranges[telling.next_range++].lines;
        if (lines == 1)
            add_at(renumber, text.start, digits_end, FindingId::NUMBER_OUT_OF_EDITOR_RANGE,
                   static_cast<unsigned long long>(line.value));
        else
            add_at(renumber, text.start, digits_end, FindingId::NUMBER_OUT_OF_EDITOR_RANGE_RUN,
                   static_cast<unsigned long long>(line.value),
                   static_cast<unsigned long long>(lines - 1), lines == 2 ? "" : "s");
        if (lines > 1) renumber.findings.pending[renumber.findings.count - 1].finding.lines = lines;
    }
    telling.run = NO_LINE;
    if (line.value > HIGHEST_NUMBER) return;
    std::uint64_t &earlier = renumber.numbers->editor_line_of[line.number];
    bool deletion = line.kind == LineKind::DELETION;
    if (earlier != 0)
        add_at(renumber, text.start, digits_end,
               deletion ? FindingId::DELETED_LINE : FindingId::REPLACED_LINE, line.number,
               line.number, static_cast<unsigned long long>(earlier));
    else if (deletion)
        add_at(renumber, text.start, digits_end, FindingId::DELETED_NO_LINE, line.number);
    earlier = deletion ? 0 : text.editor_line;
}

void tell_label(Renumber &renumber, Telling &telling, const RenumLine &line) {
    const Label &label = renumber.labels[telling.next_label++];
    const FrontLine &text = renumber.line;
    std::size_t at = text_origin(text, line.label.start), end = label.name + label.name_length;
    const char *name = reinterpret_cast<const char *>(renumber.listing + label.name);
    auto length = static_cast<int>(label.name_length);
    if (length > LONGEST_LABEL) return tell_long_label(renumber, at, end, name, length);
    if (label.duplicate)
        add_at(renumber, at, end, FindingId::DUPLICATE_LABEL, length, name,
               static_cast<unsigned long long>(label.first_editor_line));
    if (!names_a_line(renumber, label))
        add_at(renumber, at, end,
               label.names == NO_LINE ? FindingId::LABEL_WITHOUT_LINE
                                      : FindingId::LABEL_LINE_DELETED,
               length, name);
}

// The new number of a line without one: its run's, counted on.
std::uint32_t tell_unnumbered(Renumber &renumber, Telling &telling) {
    if (telling.run == NO_LINE) {
        telling.run = telling.next_run++;
        telling.position = 0;
    } else {
        telling.position++;
    }
    std::uint64_t number = renumber.runs[telling.run].first_new +
                           std::uint64_t{telling.position} * renumber.options.step;
    return held(number);
}

void tell_order_findings(Renumber &renumber) {
    for (int i = 0; i < renumber.order_finding_count; i++) {
        const OrderFinding &order = renumber.order_findings[i];
        if (order.offset != renumber.line.start) continue;
        if (Finding *finding = add_finding(renumber.findings, order.offset, order.offset))
            *finding = order.finding;
    }
}

void tell_line(Renumber &renumber, Telling &telling, const RenumLine &line) {
    const FrontLine &text = renumber.line;
    if (text.cut && line.kind != LineKind::CONTINUATION)
        add_at(renumber, text.start, text.end, FindingId::CUT_LINE,
               static_cast<unsigned long long>(editor_line_end(renumber.front, text) - text.start));
    std::uint32_t number = NO_LINE;
    switch (line.kind) {
    case LineKind::NUMBERED:
    case LineKind::DELETION:
        tell_number(renumber, telling, line);
        if (line.kind == LineKind::NUMBERED && holder_of(renumber, line.number) == text.start)
            number = new_number_of(renumber, line.number);
        break;
    case LineKind::UNNUMBERED:
        number = tell_unnumbered(renumber, telling);
        break;
    case LineKind::LABEL:
        tell_label(renumber, telling, line);
        break;
    default:
        break;
    }
    tell_order_findings(renumber);
    if (number != NO_LINE && !text.cut)
        plan_line(renumber, line, {number, text.start == renumber.last_written});
}

void tell_pending(Renumber &renumber, FindingSink sink) {
    if (renumber.findings.count == 0) return;
    for (std::size_t i = 0; i < renumber.findings.count; i++)
        renumber.errors += renumber.findings.pending[i].finding.error;
    cursor_to_line(renumber.cursor, renumber.front, renumber.line);
    tell_findings(renumber.findings, renumber.cursor, sink);
}

void tell_every_line(Renumber &renumber, FindingSink sink) {
    Telling telling;
    start_listing_front(renumber.front, renumber.listing, renumber.length);
    renumber.cursor = start_editor_cursor(renumber.listing, renumber.length);
    bool continuing = false;
    while (read_next_line(renumber.front, renumber.line)) {
        RenumLine line = read_renum_line(renumber, continuing);
        continuing = renumber.line.cut;
        tell_charset_errors(renumber);
        // Only the characters are told then: the rest may read otherwise once they are mended.
        if (renumber.charset_errors == 0) tell_line(renumber, telling, line);
        tell_pending(renumber, sink);
    }
}

// --- Writing, in the machine's order ---

bool write_bytes(Renumber &renumber, const void *bytes, std::size_t count) {
    if (count == 0 || renumber.write_failed) return !renumber.write_failed;
    if (!renumber.out.write(renumber.out.context, static_cast<const unsigned char *>(bytes), count))
        renumber.write_failed = true;
    return !renumber.write_failed;
}

// The listing's bytes from one offset to another: as the file holds them,
// where the listing was read as UTF-8, so that every character keeps its spelling.
void write_listing_bytes(Renumber &renumber, std::size_t from, std::size_t to) {
    if (to <= from) return;
    const ListingText *file = renumber.file;
    if (file == nullptr || file->encoding == Encoding::SHIFT_JIS) {
        write_bytes(renumber, renumber.listing + from, to - from);
        return;
    }
    std::size_t file_from = file_offset(*file, from), file_to = file_offset(*file, to);
    write_bytes(renumber, file->file + file_from, file_to - file_from);
}

void write_line(Renumber &renumber, const RenumLine &line, std::uint32_t new_number) {
    const FrontLine &text = renumber.line;
    char digits[12];
    if (line.kind == LineKind::NUMBERED && new_number == line.number)
        write_listing_bytes(renumber, text.start, line.kept);
    else
        write_bytes(renumber, digits, static_cast<std::size_t>(decimal(new_number, digits)));
    if (line.kind == LineKind::UNNUMBERED) write_bytes(renumber, " ", 1);
    std::size_t copied_to = line.kept;
    for (int i = 0, told = 0; told < renumber.target_count; i++) {
        const Item &item = renumber.items[i];
        if (!names_a_target(item)) continue;
        told++;
        Target target = target_of(renumber, i);
        if (target.kind != Target::REWRITE) continue;
        write_listing_bytes(renumber, copied_to, text_origin(text, item.start));
        write_bytes(renumber, digits, static_cast<std::size_t>(decimal(target.number, digits)));
        copied_to = text_end_offset(text, item.end - 1);
    }
    write_listing_bytes(renumber, copied_to, line.content_end);
    if (text.line_feed)
        write_listing_bytes(renumber, line.content_end, text.end);
    else if (text.start != renumber.last_written)
        write_bytes(renumber, renumber.line_end, std::strlen(renumber.line_end));
}

// A line with nothing to rewrite but its number, in plain ASCII: its bytes
// after the number go across as they stand.
bool write_plain_numbered(Renumber &renumber, std::uint32_t number) {
    SkimmedLine skimmed;
    if (is_rewritten(renumber, number) || !skim_next_line(renumber.front, skimmed)) return false;
    std::size_t kept = skimmed.start + static_cast<std::size_t>(skimmed.digits);
    char digits[12];
    if (new_number_of(renumber, number) == number)
        write_listing_bytes(renumber, skimmed.start, kept);
    else
        write_bytes(renumber, digits,
                    static_cast<std::size_t>(decimal(new_number_of(renumber, number), digits)));
    write_listing_bytes(renumber, kept, skimmed.end);
    return true;
}

void write_numbered(Renumber &renumber, std::uint32_t number) {
    seek_line(renumber.front, holder_of(renumber, number));
    if (write_plain_numbered(renumber, number)) return;
    read_next_line(renumber.front, renumber.line);
    write_line(renumber, read_renum_line(renumber, false), new_number_of(renumber, number));
}

void write_run(Renumber &renumber, const UnnumberedRun &run) {
    seek_line(renumber.front, run.start);
    std::uint32_t written = 0;
    while (written < run.count && read_next_line(renumber.front, renumber.line)) {
        RenumLine line = read_renum_line(renumber, false);
        if (line.kind != LineKind::UNNUMBERED) continue;
        std::uint64_t number = run.first_new + std::uint64_t{written++} * renumber.options.step;
        write_line(renumber, line, held(number));
    }
}

void write_in_order(Renumber &renumber) {
    start_listing_front(renumber.front, renumber.listing, renumber.length);
    write_listing_bytes(renumber, 0, renumber.front.first);
    in_machine_order(renumber, [&](std::uint32_t number, std::uint32_t run) {
        if (run == NO_LINE)
            write_numbered(renumber, number);
        else
            write_run(renumber, renumber.runs[run]);
    });
    write_listing_bytes(renumber, renumber.front.end, renumber.length);
}

// The line end a moved last line gets: the file's own, CR LF or LF.
const char *line_end_of(const unsigned char *listing, std::size_t end) {
    auto *feed = static_cast<const unsigned char *>(std::memchr(listing, '\n', end));
    return feed != nullptr && feed > listing && feed[-1] == '\r' ? "\r\n" : "\n";
}

RenumberOutcome renumber_taken(Renumber &renumber, FindingSink findings) {
    if (!take_lines(renumber) || !sort_labels(renumber)) return RenumberOutcome::OUT_OF_MEMORY;
    number_lines(renumber);
    tell_every_line(renumber, findings);
    if (renumber.findings.out_of_memory) return RenumberOutcome::OUT_OF_MEMORY;
    if (renumber.errors > 0 || renumber.charset_errors > 0) return RenumberOutcome::REFUSED;
    std::uint64_t length =
        renumber.output_length + renumber.front.first + (renumber.length - renumber.front.end);
    if (renumber.out.reserve != nullptr &&
        !renumber.out.reserve(renumber.out.context, static_cast<std::size_t>(length)))
        return RenumberOutcome::OUT_OF_MEMORY;
    write_in_order(renumber);
    return renumber.write_failed ? RenumberOutcome::WRITE_FAILED : RenumberOutcome::RENUMBERED;
}

void start_renumber(Renumber &renumber, const unsigned char *listing, std::size_t length,
                    const RenumberOptions &options, Sink out) {
    renumber.listing = listing;
    renumber.length = length;
    renumber.options = options;
    start_listing_front(renumber.front, listing, length);
    renumber.line_end = line_end_of(listing, renumber.front.end);
    renumber.out = out;
}

RenumberOutcome renumber_text(const unsigned char *listing, std::size_t length,
                              const ListingText *file, const RenumberOptions &options, Sink out,
                              FindingSink findings) {
    if (starts_like_image(listing, length)) {
        tell_image_as_listing(listing, length, findings);
        return RenumberOutcome::REFUSED;
    }
    // Far too large for a thread's stack.
    void *room = std::malloc(sizeof(Renumber));
    auto *numbers = static_cast<NumberTables *>(std::calloc(1, sizeof(NumberTables)));
    if (room == nullptr || numbers == nullptr) {
        std::free(room);
        std::free(numbers);
        return RenumberOutcome::OUT_OF_MEMORY;
    }
    auto *renumber = new (room) Renumber{};
    renumber->numbers = numbers;
    renumber->file = file;
    start_renumber(*renumber, listing, length, options, out);
    RenumberOutcome outcome = renumber_taken(*renumber, findings);
    free_findings(renumber->findings);
    renumber->~Renumber();
    std::free(room);
    std::free(numbers);
    return outcome;
}

} // namespace

RenumberOutcome renumber_listing(const unsigned char *listing, std::size_t length,
                                 const RenumberOptions &options, Sink out, FindingSink findings) {
    return renumber_text(listing, length, nullptr, options, out, findings);
}

RenumberOutcome renumber_listing(const ListingText &listing, const RenumberOptions &options,
                                 Sink out, FindingSink findings) {
    FilePlaces places;
    return renumber_text(listing.text, listing.length, &listing, options, out,
                         findings_in_file(places, listing, findings));
}

} // namespace morvane
