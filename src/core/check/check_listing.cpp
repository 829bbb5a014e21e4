#include "core/check/check_listing.h"

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/basic/image_format.h"
#include "core/basic/keyword_table.h"
#include "core/basic/listing_front.h"
#include "core/basic/scanner.h"
#include "core/basic/simd.h"
#include "core/check/label_check.h"
#include "core/findings/file_places.h"
#include "core/io/grown.h"
#include "core/text/listing_decoding.h"

namespace morvane {
namespace {

// A run of lines whose numbers are above 65,535, named once at its first.
struct RangeRun {
    std::size_t start; // the first line's start
    std::uint64_t lines;
};

struct Check {
    ListingFront front;
    FindingSink sink;
    EditorCursor cursor;
    LineFindings findings;
    std::uint64_t count;
    // Line numbers of the listing: the first pass marks those the converter
    // takes and those written at all, the second checks targets.
    unsigned char defined[65536 / 8];
    unsigned char written[65536 / 8];
    Grown<RangeRun> range_runs;
    std::size_t next_run; // the first run not yet named
    // Line numbers as the converter has taken them.
    bool marking; // the first pass, which marks the line numbers taken
    bool any_line;
    std::int32_t previous_number;
    std::uint64_t previous_editor_line;
    // Carriage returns without a line feed: told once, at the first.
    std::uint64_t lone_carriage_returns;
    std::size_t first_lone_carriage_return;
    bool lone_told;
    // The line checking stands at, and its items.
    FrontLine line;
    int item_count;
    Item items[LINE_TEXT_ROOM];
};

// Adds a finding about the text's bytes from first to last.
void add_at_text(Check &check, int first, int last, FindingId id, auto... arguments) {
    const FrontLine &line = check.line;
    std::size_t offset = line.length > 0 ? text_origin(line, first) : line.start;
    std::size_t end = line.length > 0 ? text_end_offset(line, last) : line.start;
    if (Finding *finding = add_finding(check.findings, offset, end))
        set_finding(*finding, id, arguments...);
}

void add_at(Check &check, std::size_t offset, std::size_t end, FindingId id, auto... arguments) {
    if (Finding *finding = add_finding(check.findings, offset, end))
        set_finding(*finding, id, arguments...);
}

void scan_items(Check &check) {
    check.item_count = scan_line(check.line.text, check.items);
}

// The line's number as the converter reads it: its digits, or 0 if it has none.
struct LineNumber {
    bool has_digits;
    bool over_32_bits;
    std::uint32_t wrapped;
    int digits_end;
};

LineNumber line_number_of(const unsigned char *text, const Item *first) {
    LineNumber number{false, false, 0, 0};
    if (first == nullptr || first->kind != ItemKind::LINE_NUMBER) return number;
    number.has_digits = true;
    number.digits_end = first->end;
    number.wrapped = wrapped_line_number(text, *first, number.over_32_bits);
    return number;
}

LineNumber line_number_of(const Check &check) {
    return line_number_of(check.line.text, check.item_count > 0 ? &check.items[0] : nullptr);
}

bool is_marked(const unsigned char (&marks)[65536 / 8], std::uint64_t number) {
    return number < 65536 && (marks[number / 8] >> (number % 8) & 1) != 0;
}

void mark(unsigned char (&marks)[65536 / 8], std::uint32_t number) {
    if (number < 65536) marks[number / 8] |= static_cast<unsigned char>(1u << (number % 8));
}

// Takes the line's number as the converter does; true if it is above the one before.
bool take_line_number(Check &check, const LineNumber &number) {
    auto value = static_cast<std::int32_t>(number.wrapped);
    if (check.previous_number >= value) return false;
    check.any_line = true;
    check.previous_number = value;
    check.previous_editor_line = check.line.editor_line;
    if (check.marking && value >= 0) mark(check.defined, number.wrapped);
    return true;
}

// The first pass: every line number the converter takes, and the runs of
// numbers above 65,535.
bool mark_line_numbers(Check &check) {
    RangeRun run{0, 0};
    for (;;) {
        SkimmedLine skimmed;
        LineNumber number;
        std::size_t start = check.front.at;
        if (skim_next_line(check.front, skimmed, true)) {
            Item digits = line_number_item(check.front.listing + skimmed.start);
            number = line_number_of(check.front.listing + skimmed.start, &digits);
        } else if (read_next_line(check.front, check.line)) {
            LineScan scan;
            start_line_scan(scan, check.line.text);
            Item first;
            number = line_number_of(check.line.text, scan_item(scan, first) ? &first : nullptr);
            start = check.line.start;
        } else {
            break;
        }
        take_line_number(check, number);
        bool above = number.has_digits && (number.over_32_bits || number.wrapped > 65535);
        if (number.has_digits && !above) mark(check.written, number.wrapped);
        if (above && run.lines++ == 0) run.start = start;
        if (!above && run.lines > 0) {
            if (!check.range_runs.add(run)) return false;
            run.lines = 0;
        }
    }
    return run.lines == 0 || check.range_runs.add(run);
}

void check_range(Check &check, const LineNumber &number) {
    const Grown<RangeRun> &runs = check.range_runs;
    if (check.next_run >= runs.count || runs[check.next_run].start != check.line.start) return;
    std::uint64_t lines = runs[check.next_run++].lines;
    const char *over = number.over_32_bits ? "over " : "";
    auto shown =
        static_cast<unsigned long long>(number.over_32_bits ? 4294967295u : number.wrapped);
    unsigned stored = number.wrapped & 0xFFFF;
    if (lines == 1)
        add_at_text(check, 0, number.digits_end - 1, FindingId::LINE_NUMBER_RANGE, over, shown,
                    stored);
    else
        add_at_text(check, 0, number.digits_end - 1, FindingId::LINE_NUMBER_RANGE_RUN, over, shown,
                    stored, static_cast<unsigned long long>(lines - 1), lines == 2 ? "" : "s");
    if (lines > 1) check.findings.pending[check.findings.count - 1].finding.lines = lines;
}

// Where the digits of a number that spaces or tabs put out of the
// converter's sight stand, and where they end; 0 if the line is not so.
struct Indented {
    int start, end;
};

Indented indented_number(const unsigned char *text) {
    int at = 0;
    while (text[at] == ' ' || text[at] == '\t')
        at++;
    int end = at;
    while (is_ascii_digit(text[end]))
        end++;
    return {at > 0 && end > at ? at : 0, end};
}

// A tab or another control byte right after the number is stored as the
// line's first byte: only a space is taken there as the separator.
void check_after_number(Check &check, const LineNumber &number) {
    unsigned char after = check.line.text[number.digits_end];
    if (after != '\t' && (after >= 0x20 || after == '\n' || after == '\0')) return;
    char shown[16] = "a tab";
    if (after != '\t') std::snprintf(shown, sizeof shown, "byte 0x%02X", after);
    add_at_text(check, number.digits_end, number.digits_end, FindingId::BYTE_AFTER_NUMBER,
                static_cast<const char *>(shown));
}

// A line without a number that the converter sees: the first is stored as
// line 0, any later one is out of order. A number after spaces is named.
void check_unnumbered(Check &check, bool first, bool empty, int previous) {
    Indented indented = indented_number(check.line.text);
    int at = indented.start, last = indented.end - 1;
    if (first && at > 0)
        add_at_text(check, at, last, FindingId::UNNUMBERED_FIRST_LINE_INDENTED);
    else if (first)
        add_at_text(check, 0, 0, FindingId::UNNUMBERED_FIRST_LINE);
    else if (empty)
        add_at_text(check, 0, 0, FindingId::EMPTY_LINE, previous);
    else if (at > 0)
        add_at_text(check, at, last, FindingId::NO_LINE_NUMBER_INDENTED, previous);
    else
        add_at_text(check, 0, 0, FindingId::NO_LINE_NUMBER, previous);
}

// Checks the line's number against the one before, as the converter does.
void check_line_number(Check &check) {
    const FrontLine &line = check.line;
    LineNumber number = line_number_of(check);
    int last = number.digits_end > 0 ? number.digits_end - 1 : 0;
    bool empty = line.length == 0 || line.text[0] == '\n';
    if (!check.any_line && !number.has_digits) check_unnumbered(check, true, empty, 0);
    if (number.has_digits) check_after_number(check, number);
    int previous = check.previous_number;
    std::uint64_t previous_editor_line = check.previous_editor_line;
    bool first = !check.any_line;
    if (!take_line_number(check, number)) {
        if (first)
            add_at_text(check, 0, last, FindingId::LINE_ORDER_BELOW_ZERO,
                        static_cast<unsigned long long>(number.wrapped),
                        static_cast<int>(number.wrapped));
        else if (!number.has_digits)
            check_unnumbered(check, false, empty, previous);
        else
            add_at_text(check, 0, last, FindingId::LINE_ORDER, static_cast<int>(number.wrapped),
                        previous, static_cast<unsigned long long>(previous_editor_line));
    }
    check_range(check, number);
}

void check_charset(Check &check) {
    const FrontLine &line = check.line;
    for (int i = 0; i < line.problem_count; i++) {
        const CharsetProblem &problem = line.problems[i];
        std::size_t end = problem.offset + 2;
        switch (problem.kind) {
        case CharsetProblemKind::NO_SECOND_BYTE:
            add_at(check, problem.offset, problem.offset + 1, FindingId::CHARSET_NO_SECOND_BYTE,
                   problem.first);
            break;
        case CharsetProblemKind::NOT_IN_SET:
            add_at(check, problem.offset, end, FindingId::CHARSET_NOT_IN_SET,
                   shift_jis_name(problem).text);
            break;
        case CharsetProblemKind::PASSED_THROUGH:
            add_at(check, problem.offset, end, FindingId::PASSTHROUGH,
                   shift_jis_name(problem).text);
            break;
        }
    }
}

// REM and DATA make what follows them a remark or DATA items.
bool swallows_the_rest(std::int32_t token) {
    return token == TOKEN_REM || token == TOKEN_DATA;
}

// Names a keyword found inside a name, which the tokenizer wrote as
// letters around it. The message shows how the run of letters from
// run_start is read, item by item: a name letter by letter, a keyword whole.
// After a REM or DATA, which swallow what follows, it shows no more.
void add_keyword_in_name(Check &check, int first_item, int run_start) {
    const unsigned char *text = check.line.text;
    // The name shows at most NAME_SHOWN letters, and how it is read each
    // of them with a space before it.
    constexpr int NAME_SHOWN = 40;
    char name[NAME_SHOWN + 1] = {}, read_as[2 * NAME_SHOWN] = {};
    int n = 0, r = 0, at = run_start, last = run_start;
    std::int32_t swallowing = 0;
    for (int i = first_item; i < check.item_count && is_ascii_letter(text[at]) && n < NAME_SHOWN;) {
        const Item &item = check.items[i];
        if (item.start > at) break;
        bool keyword = item.kind == ItemKind::KEYWORD && item.start == at;
        int length = keyword ? item.end - at : 1;
        bool shown = swallowing == 0;
        if (r > 0 && shown) read_as[r++] = ' ';
        for (int k = 0; k < length && n < NAME_SHOWN; k++, at++) {
            name[n++] = static_cast<char>(to_upper(text[at]));
            if (shown) read_as[r++] = static_cast<char>(to_upper(text[at]));
        }
        if (keyword && swallowing == 0 && swallows_the_rest(item.token)) swallowing = item.token;
        last = at - 1;
        if (at >= item.end) i++;
    }
    if (swallowing == TOKEN_REM)
        add_at_text(check, run_start, last, FindingId::KEYWORD_IN_NAME_SWALLOWS, name, read_as,
                    "line is a remark", "REM");
    else if (swallowing == TOKEN_DATA)
        add_at_text(check, run_start, last, FindingId::KEYWORD_IN_NAME_SWALLOWS, name, read_as,
                    "statement is DATA items", "DATA");
    else
        add_at_text(check, run_start, last, FindingId::KEYWORD_IN_NAME, name, read_as);
}

// Names a line number after GOTO, GOSUB, THEN, RESTORE or RUN that no line has.
void check_target(Check &check, int index) {
    const Item &item = check.items[index];
    if (!is_jump_token(item.token)) return;
    // A number some line has, out of order, is left to that line's line-order error.
    if (!is_marked(check.defined, item.value) && !is_marked(check.written, item.value) &&
        !turns_error_trapping_off(check.line.text, check.items, index))
        add_at_text(check, item.start, item.end - 1, FindingId::MISSING_TARGET,
                    static_cast<unsigned long long>(item.value));
}

// The run of a name's letters that stands right before the keyword at
// item: letters of the names before it, back to anything else (a digit, a
// space, another kind of item), letter keywords among them counting for
// nothing. Its length, with where it starts and the item it starts in.
struct LetterRun {
    int letters, start, item;
};

LetterRun letters_before(const Check &check, int keyword) {
    const unsigned char *text = check.line.text;
    LetterRun run{0, 0, keyword};
    for (int i = keyword - 1; i >= 0 && check.items[i].end == check.items[i + 1].start; i--) {
        const Item &item = check.items[i];
        if (item.kind == ItemKind::KEYWORD && is_ascii_letter(text[item.start])) continue;
        if (item.kind != ItemKind::NAME) break;
        int at = item.end - 1;
        for (; at >= item.start && is_ascii_letter(text[at]); at--)
            run = {run.letters + 1, at, i};
        if (at >= item.start) break; // a digit ends the run
    }
    return run;
}

// Walks the line's items once: a keyword inside a name (at least two
// letters of the name before it, or any letter before a REM or DATA, which
// swallow the rest; named once a run), and the line numbers jumped to.
// ON ERROR is the machine's own statement, though the tokenizer reads its
// ERROR as ERR and OR.
void check_statements(Check &check) {
    const unsigned char *text = check.line.text;
    int named_run = -1; // where the last run named starts
    for (int i = 0; i < check.item_count; i++) {
        const Item &item = check.items[i];
        if (item.kind == ItemKind::REFERENCE) check_target(check, i);
        if (item.kind != ItemKind::KEYWORD || i == 0 || !is_ascii_letter(text[item.start]) ||
            check.items[i - 1].end != item.start)
            continue;
        LetterRun run = letters_before(check, i);
        int fewest = swallows_the_rest(item.token) ? 1 : 2;
        if (run.letters < fewest || run.start == named_run || is_on_error(text, check.items, i))
            continue;
        add_keyword_in_name(check, run.item, run.start);
        named_run = run.start;
    }
}

// The bytes of the editor's line that the cut left over, and the number
// the converter reads for the rest: the next line's digits.
void check_cut(Check &check) {
    const FrontLine &line = check.line;
    std::size_t line_end = editor_line_end(check.front, line);
    std::uint64_t rest_number = 0;
    const unsigned char *listing = check.front.listing;
    for (std::size_t k = line.end, taken = 0; k < check.front.end && taken < LONGEST_LINE; k++) {
        if (listing[k] == '\r') continue;
        if (!is_ascii_digit(listing[k])) break;
        rest_number = (rest_number * 10 + (listing[k] - '0')) & 0xFFFFFFFFu;
        taken++;
    }
    add_at(check, line.end, line.end, FindingId::LONG_LINE,
           static_cast<unsigned long long>(line_end - line.start),
           static_cast<unsigned long long>(rest_number));
}

void check_carriage_returns(Check &check) {
    if (check.lone_told || check.lone_carriage_returns == 0 ||
        check.first_lone_carriage_return >= check.line.end)
        return;
    add_at(check, check.first_lone_carriage_return, check.first_lone_carriage_return + 1,
           FindingId::LONE_CR, static_cast<unsigned long long>(check.lone_carriage_returns));
    check.lone_told = true;
}

void check_line(Check &check) {
    const FrontLine &line = check.line;
    if (line.nul != NO_OFFSET) add_at(check, line.nul, line.nul + 1, FindingId::NUL_BYTE);
    check_carriage_returns(check);
    check_charset(check);
    scan_items(check);
    check_line_number(check);
    check_statements(check);
    if (line.cut) check_cut(check);
}

void count_lone_carriage_return(Check &check, std::size_t at) {
    if (check.lone_carriage_returns++ == 0) check.first_lone_carriage_return = at;
}

// Counts the carriage returns that no line feed follows, up to the end mark.
void count_lone_carriage_returns(Check &check) {
    const unsigned char *listing = check.front.listing;
    std::size_t end = check.front.end, at = 0;
    check.lone_carriage_returns = 0;
#if defined(MORVANE_SSE2)
    // Sixteen bytes at a time, each against the byte after it: a file with
    // CR LF line ends has a carriage return on every line.
    const __m128i carriage_return = _mm_set1_epi8('\r'), line_feed = _mm_set1_epi8('\n');
    for (; at + 17 <= end; at += 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(listing + at));
        __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(listing + at + 1));
        auto lone =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, carriage_return))) &
            ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(next, line_feed)));
        for (; lone != 0; lone &= lone - 1)
            count_lone_carriage_return(check,
                                       at + static_cast<std::size_t>(std::countr_zero(lone)));
    }
#endif
    for (; at < end; at++)
        if (listing[at] == '\r' && !(at + 1 < end && listing[at + 1] == '\n'))
            count_lone_carriage_return(check, at);
}

void check_end_mark(Check &check) {
    const unsigned char *listing = check.front.listing;
    std::size_t mark = check.front.end, length = check.front.length;
    if (mark + 1 >= length) return; // a mark as the very last byte is no finding
    std::uint64_t lines = 1;
    for (std::size_t at = mark + 1; at + 1 < length; at++)
        if (listing[at] == '\n' || (listing[at] == '\r' && listing[at + 1] != '\n')) lines++;
    add_at(check, mark, mark + 1, FindingId::END_MARK, static_cast<unsigned long long>(lines),
           lines == 1 ? "" : "s");
}

void tell(Check &check) {
    if (check.findings.count == 0) return;
    cursor_to_line(check.cursor, check.front, check.line);
    check.count += tell_findings(check.findings, check.cursor, check.sink);
}

void start_pass(Check &check, const unsigned char *listing, std::size_t length) {
    start_listing_front(check.front, listing, length);
    check.any_line = false;
    check.previous_number = -1;
    check.previous_editor_line = 0;
}

CheckOutcome run_check(Check &check, const unsigned char *listing, std::size_t length) {
    // An image is told as such, as the converter refuses it, not read as text.
    if (starts_like_image(listing, length)) {
        check.count++;
        tell_image_as_listing(listing, length, check.sink);
        return CheckOutcome::CHECKED;
    }
    start_pass(check, listing, length);
    check.marking = true;
    if (!mark_line_numbers(check)) return CheckOutcome::OUT_OF_MEMORY;
    start_pass(check, listing, length);
    check.marking = false;
    count_lone_carriage_returns(check);
    check.cursor = start_editor_cursor(listing, length);
    while (read_next_line(check.front, check.line)) {
        check_line(check);
        tell(check);
    }
    if (check.front.end < length) check_end_mark(check);
    tell(check);
    return check.findings.out_of_memory ? CheckOutcome::OUT_OF_MEMORY : CheckOutcome::CHECKED;
}

CheckOutcome check_text(const unsigned char *listing, std::size_t length, FindingSink sink,
                        std::uint64_t &count) {
    // Too large for a thread's stack alongside its caller's.
    auto *check = static_cast<Check *>(std::malloc(sizeof(Check)));
    count = 0;
    if (check == nullptr) return CheckOutcome::OUT_OF_MEMORY;
    new (check) Check{};
    check->sink = sink;
    CheckOutcome outcome = run_check(*check, listing, length);
    count = check->count;
    free_findings(check->findings);
    check->~Check();
    std::free(check);
    return outcome;
}

bool check_text_alone(const unsigned char *listing, std::size_t length, FindingSink sink) {
    std::uint64_t count = 0;
    return check_text(listing, length, sink, count) == CheckOutcome::CHECKED;
}

} // namespace

CheckOutcome check_listing(const unsigned char *listing, std::size_t length, FindingSink sink,
                           std::uint64_t &count) {
    count = 0;
    // A listing written with labels is checked as the renumbering reads it.
    std::size_t label =
        starts_like_image(listing, length) ? NO_LABELS : first_label(listing, length);
    if (label == LABELS_UNKNOWN) return CheckOutcome::OUT_OF_MEMORY;
    if (label == NO_LABELS) return check_text(listing, length, sink, count);
    return check_labelled_listing(listing, length, label, check_text_alone, sink, count)
               ? CheckOutcome::CHECKED
               : CheckOutcome::OUT_OF_MEMORY;
}

CheckOutcome check_listing(const ListingText &listing, FindingSink sink, std::uint64_t &count) {
    FilePlaces places;
    return check_listing(listing.text, listing.length, findings_in_file(places, listing, sink),
                         count);
}

} // namespace morvane
