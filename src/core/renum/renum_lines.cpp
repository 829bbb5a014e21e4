// The lines of a listing as renumbering takes them: each sorted into its
// kind by the converter's reading of it, then taken as the machine's line
// editor would take it typed: a later line replaces one of the same number,
// a number alone deletes it, and a label names the next line written.
#include <algorithm>
#include <utility>

#include "core/basic/editor_position.h"
#include "core/renum/renum_model.h"

namespace morvane {
namespace {

bool is_blank_or_return(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

bool blank_between(const unsigned char *listing, std::size_t from, std::size_t to) {
    for (std::size_t at = from; at < to; at++)
        if (!is_blank_or_return(listing[at])) return false;
    return true;
}

std::size_t content_end_of(const Renumber &renumber, const FrontLine &line) {
    if (!line.line_feed) return line.end;
    std::size_t end = line.end - 1;
    return end > line.start && renumber.listing[end - 1] == '\r' ? end - 1 : end;
}

void link_run(Renumber &renumber, std::uint32_t bucket, std::uint32_t run) {
    std::uint32_t first = first_run_after(renumber, bucket);
    if (first == NO_LINE)
        first = run;
    else
        renumber.runs[last_run_after(renumber, bucket)].next = run;
    set_runs_after(renumber, bucket, first, run);
}

// Where the first pass stands: the number the next line without one follows.
struct Taking {
    std::uint32_t bucket = 0; // 0 before any number, n + 1 after n
    std::uint32_t run = NO_LINE;
    std::size_t labels_waiting = 0;
    RangeRun range{0, 0};
};

bool take_unnumbered(Renumber &renumber, Taking &taking, const RenumLine &line) {
    if (taking.run == NO_LINE) {
        taking.run = static_cast<std::uint32_t>(renumber.runs.count);
        // Before any number, the first run starts with the listing's first line.
        if (taking.run == 0 && taking.bucket == 0) renumber.first_line_unnumbered = true;
        if (!renumber.runs.add({line.start, 0, NO_LINE, 0})) return false;
        link_run(renumber, taking.bucket, taking.run);
    }
    renumber.runs[taking.run].count++;
    return true;
}

void take_numbered(Renumber &renumber, Taking &taking, const RenumLine &line) {
    // A number the line editor does not take is refused; it holds no place.
    if (line.value <= HIGHEST_NUMBER)
        set_holder(renumber, line.number, line.kind == LineKind::DELETION ? NO_OFFSET : line.start);
    taking.bucket = line.number + 1;
    taking.run = NO_LINE;
}

// The labels that wait for a line name this one.
void name_by_waiting_labels(Renumber &renumber, Taking &taking, const RenumLine &line) {
    for (; taking.labels_waiting < renumber.labels.count; taking.labels_waiting++) {
        Label &label = renumber.labels[taking.labels_waiting];
        if (line.kind == LineKind::NUMBERED) {
            label.names = NAMES_NUMBER | line.number;
        } else {
            label.names = taking.run;
            label.position = renumber.runs[taking.run].count - 1;
        }
    }
}

bool take_label(Renumber &renumber, const RenumLine &line) {
    const FrontLine &text = renumber.line;
    std::size_t name = text_origin(text, line.label.start + 1);
    auto length = static_cast<std::uint32_t>(text_end_offset(text, line.label.end - 1) - name);
    return renumber.labels.add({name, length, NO_LINE, 0, false, text.editor_line, 0});
}

// A run of numbers above 65,535 goes on or ends with each line.
bool follow_range(Renumber &renumber, Taking &taking, const RenumLine &line) {
    bool above = (line.kind == LineKind::NUMBERED || line.kind == LineKind::DELETION) &&
                 line.value > HIGHEST_NUMBER;
    if (above && taking.range.lines++ == 0) taking.range.start = line.start;
    if (above || taking.range.lines == 0) return true;
    std::uint64_t lines = std::exchange(taking.range.lines, 0);
    return renumber.range_runs.add({taking.range.start, lines});
}

void count_charset_errors(Renumber &renumber) {
    for (int i = 0; i < renumber.line.problem_count; i++)
        if (renumber.line.problems[i].kind != CharsetProblemKind::PASSED_THROUGH)
            renumber.charset_errors++;
}

bool take_line(Renumber &renumber, Taking &taking, const RenumLine &line) {
    if (!follow_range(renumber, taking, line)) return false;
    switch (line.kind) {
    case LineKind::BLANK:
    case LineKind::CONTINUATION:
        return true;
    case LineKind::LABEL:
        return take_label(renumber, line);
    case LineKind::NUMBERED:
    case LineKind::DELETION:
        take_numbered(renumber, taking, line);
        break;
    case LineKind::UNNUMBERED:
        if (!take_unnumbered(renumber, taking, line)) return false;
        break;
    }
    if (line.kind != LineKind::DELETION) name_by_waiting_labels(renumber, taking, line);
    return true;
}

} // namespace

RenumLine read_renum_line(Renumber &renumber, bool continuing) {
    const FrontLine &text = renumber.line;
    const unsigned char *listing = renumber.listing;
    RenumLine line{};
    line.start = text.start;
    line.content_end = content_end_of(renumber, text);
    line.kept = text.start;
    renumber.item_count = renumber.target_count = 0;
    if (continuing) {
        line.kind = LineKind::CONTINUATION;
        return line;
    }
    if (blank_between(listing, text.start, line.content_end)) {
        line.kind = LineKind::BLANK;
        return line;
    }
    renumber.item_count = scan_line(text.text, renumber.items, renumber.target_count);
    bool any = renumber.item_count > 0;
    const Item &first = renumber.items[0];
    if (any && first.kind == ItemKind::LABEL) {
        line.kind = LineKind::LABEL;
        line.label = first;
        return line;
    }
    if (!any || first.kind != ItemKind::LINE_NUMBER) {
        line.kind = LineKind::UNNUMBERED;
        while (line.kept < line.content_end && is_blank_or_return(listing[line.kept]))
            line.kept++;
        return line;
    }
    line.value = first.value;
    line.number = static_cast<std::uint32_t>(std::min<std::uint64_t>(first.value, HIGHEST_NUMBER));
    line.digits_end = first.end;
    line.kept = text_end_offset(text, first.end - 1);
    // A number alone, as typed on the machine; decided by the file's bytes, so
    // that a line whose text a NUL byte cuts short is kept whole.
    line.kind = blank_between(listing, line.kept, line.content_end) ? LineKind::DELETION
                                                                    : LineKind::NUMBERED;
    return line;
}

RenumLine read_skimmed_line(const Renumber &renumber, const SkimmedLine &skimmed) {
    RenumLine line{};
    line.start = skimmed.start;
    line.content_end = skimmed.content_end;
    for (int at = 0; at < skimmed.digits; at++) {
        auto digit = static_cast<std::uint64_t>(renumber.listing[skimmed.start + at] - '0');
        line.value = line.value < VALUE_LIMIT / 10 ? line.value * 10 + digit : VALUE_LIMIT;
    }
    line.number = static_cast<std::uint32_t>(std::min<std::uint64_t>(line.value, HIGHEST_NUMBER));
    line.digits_end = skimmed.digits;
    line.kept = skimmed.start + static_cast<std::size_t>(skimmed.digits);
    line.kind = blank_between(renumber.listing, line.kept, line.content_end) ? LineKind::DELETION
                                                                             : LineKind::NUMBERED;
    return line;
}

bool take_lines(Renumber &renumber) {
    Taking taking;
    start_listing_front(renumber.front, renumber.listing, renumber.length);
    bool continuing = false;
    for (;;) {
        SkimmedLine skimmed;
        RenumLine line;
        if (!continuing && skim_next_line(renumber.front, skimmed)) {
            line = read_skimmed_line(renumber, skimmed);
        } else if (read_next_line(renumber.front, renumber.line)) {
            line = read_renum_line(renumber, continuing);
            continuing = renumber.line.cut;
            count_charset_errors(renumber);
        } else {
            break;
        }
        // A character outside the set refuses the listing, and only such
        // characters are told: the lines need no taking after the first.
        if (renumber.charset_errors > 0) continue;
        if (!take_line(renumber, taking, line)) return false;
    }
    return taking.range.lines == 0 ||
           renumber.range_runs.add({taking.range.start, taking.range.lines});
}

} // namespace morvane
