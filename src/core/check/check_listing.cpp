#include "core/check/check_listing.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/basic/keyword_table.h"
#include "core/basic/line_references.h"
#include "core/basic/line_text.h"
#include "core/basic/listing_text.h"

namespace morvane {
namespace {

constexpr unsigned char END_OF_FILE_MARK = 0x1A;
constexpr int MOST_FINDINGS_A_LINE = 64;

// A finding kept until its line is done, by the raw offset it points at.
struct Pending {
    std::size_t offset;
    Finding finding;
};

// One line as the converter reads it, with where each byte came from.
struct CheckedLine {
    unsigned char text[LINE_BUFFER_SIZE + SCAN_PADDING];
    std::size_t origin[LINE_BUFFER_SIZE + SCAN_PADDING];
    int length;
    bool cut; // 1,023 bytes without a line feed: the rest is read as the next line
    std::size_t raw_start, raw_end;
};

struct Check {
    const unsigned char *listing;
    std::size_t length;
    std::size_t end; // where the end mark stands, or length
    FindingSink sink;
    EditorCursor cursor;
    std::uint64_t count;
    // Line numbers of the listing: the first pass marks them, the second checks targets.
    unsigned char defined[65536 / 8];
    bool first_pass;
    // The line checking stands at.
    CheckedLine line;
    Pending pending[MOST_FINDINGS_A_LINE];
    int pending_count;
    // Line numbers as the converter has taken them.
    bool any_line;
    std::int32_t previous_number;
    std::uint64_t previous_editor_line;
    // Carriage returns without a line feed: told once, at the first.
    std::uint64_t lone_carriage_returns;
    std::size_t first_lone_carriage_return;
    bool lone_told;
};

// The entry a finding goes to: the next free one; when the line has more
// findings than room, an error takes the last warning's, and a warning none.
Pending *room_for(Check &check, bool error) {
    if (check.pending_count < MOST_FINDINGS_A_LINE) return &check.pending[check.pending_count++];
    for (int i = check.pending_count - 1; error && i >= 0; i--)
        if (!check.pending[i].finding.error) return &check.pending[i];
    return nullptr;
}

void add(Check &check, std::size_t offset, bool error, const char *name, const char *format,
         auto... arguments) {
    if (check.first_pass) return;
    Pending *room = room_for(check, error);
    if (room == nullptr) return;
    room->offset = offset;
    set_finding(room->finding, error, name, format, arguments...);
}

// Tells the line's findings in file order.
void tell_pending(Check &check) {
    std::stable_sort(check.pending, check.pending + check.pending_count,
                     [](const Pending &a, const Pending &b) { return a.offset < b.offset; });
    for (int i = 0; i < check.pending_count; i++) {
        Pending &pending = check.pending[i];
        check.cursor.move_to(pending.offset);
        pending.finding.line = check.cursor.line;
        pending.finding.column = check.cursor.column;
        check.sink.found(check.sink.context, pending.finding);
        check.count++;
    }
    check.pending_count = 0;
}

// Cuts the next line out by the listing's text rules: carriage returns
// dropped, at most 1,023 bytes, up to and including the line feed.
bool cut_line(Check &check, std::size_t &at) {
    CheckedLine &line = check.line;
    line.length = 0;
    line.raw_start = at;
    while (line.length < LONGEST_LINE && at < check.end) {
        unsigned char b = check.listing[at];
        if (b == '\r') {
            at++;
            continue;
        }
        line.origin[line.length] = at;
        line.text[line.length++] = b;
        at++;
        if (b == '\n') break;
    }
    line.raw_end = at;
    line.cut = line.length == LONGEST_LINE && line.text[LONGEST_LINE - 1] != '\n';
    return line.length > 0;
}

void add_charset_problem(void *context, CharsetProblemKind kind, std::size_t offset,
                         unsigned char first, unsigned char second) {
    auto &check = *static_cast<Check *>(context);
    switch (kind) {
    case CharsetProblemKind::NO_SECOND_BYTE:
        add(check, offset, true, "charset",
            "Shift_JIS first byte 0x%02X has no second byte; remove it", first);
        break;
    case CharsetProblemKind::NOT_IN_SET:
        add(check, offset, true, "charset",
            "character 0x%02X%02X is not in the target character set; replace it", first, second);
        break;
    case CharsetProblemKind::PASSED_THROUGH:
        add(check, offset, false, "passthrough",
            "character 0x%02X%02X is not in the target character set; the converter copies its "
            "two bytes, which the machine shows as two other characters",
            first, second);
        break;
    }
}

// Rewrites the line into target codes, each byte keeping its origin, and
// names the characters the target set lacks; those are left out, as if mended.
int convert_checked(Check &check, unsigned char *out, std::size_t *origin) {
    CheckedLine &line = check.line;
    return convert_with_origins(line.text, line.origin, line.length, out, origin,
                                add_charset_problem, &check);
}

bool is_defined(const Check &check, std::uint64_t number) {
    return number < 65536 && (check.defined[number / 8] >> (number % 8) & 1) != 0;
}

struct TargetCheck {
    Check *check;
    const std::size_t *origin;
};

// Names a line number after GOTO, GOSUB, THEN, RESTORE or RUN that no line has.
void check_target(void *context, const Reference &reference) {
    auto &target = *static_cast<TargetCheck *>(context);
    bool jump = reference.token == TOKEN_GOTO || reference.token == TOKEN_GOSUB ||
                reference.token == TOKEN_THEN || reference.token == TOKEN_RESTORE ||
                reference.token == TOKEN_RUN;
    if (!jump || reference.kind != ReferenceKind::NUMBER) return;
    // ON ERROR GOTO 0 turns error trapping off: 0 names no line there.
    bool trap_off = reference.number == 0 && reference.token == TOKEN_GOTO;
    if (!is_defined(*target.check, reference.number) && !trap_off)
        add(*target.check, target.origin[reference.start], false, "missing-target",
            "line %llu does not exist; no line has that number",
            static_cast<unsigned long long>(reference.number));
}

// Names a keyword found inside a name: at least two letters of the name
// before it, which the tokenizer wrote as letters. The message shows how the
// whole run of letters is read.
void check_keyword_in_name(Check &check, const unsigned char *text, const std::size_t *origin,
                           int run_start) {
    char name[64] = {}, read_as[160] = {};
    int n = 0, r = 0;
    for (int at = run_start; is_ascii_letter(text[at]) && n < 40;) {
        int length = 0;
        std::int32_t token = match_keyword(text + at, length);
        if (token == 0 || !is_ascii_letter(text[at])) length = 1;
        if (r > 0 && r < 150) read_as[r++] = ' ';
        for (int k = 0; k < length && n < 40; k++, at++) {
            name[n++] = static_cast<char>(to_upper(text[at]));
            if (r < 150) read_as[r++] = static_cast<char>(to_upper(text[at]));
        }
    }
    add(check, origin[run_start], false, "keyword-in-name",
        "%s is read as %s: a keyword stands inside the name; rename it or put spaces around "
        "the keyword",
        name, read_as);
}

// Walks the statements as the tokenizer does: keywords, strings, the
// items after DATA and the remark after REM.
void check_statements(Check &check, const unsigned char *text, const std::size_t *origin, int at) {
    int letters_before = 0, run_start = at;
    bool named_in_run = false;
    while (text[at] != '\n' && text[at] != 0x00) {
        unsigned char c = text[at];
        if (c == '"') {
            for (at++; text[at] != '"' && text[at] != '\n' && text[at] != 0x00; at++) {
            }
            if (text[at] == '"') at++;
            letters_before = 0;
            continue;
        }
        int length = 0;
        std::int32_t token = c > '"' ? match_keyword(text + at, length) : 0;
        if (token == 0) {
            if (is_ascii_letter(c)) {
                if (letters_before == 0) {
                    run_start = at;
                    named_in_run = false;
                }
                letters_before++;
            } else {
                letters_before = 0;
            }
            at++;
            continue;
        }
        if (letters_before >= 2 && is_ascii_letter(c) && !named_in_run) {
            check_keyword_in_name(check, text, origin, run_start);
            named_in_run = true;
        }
        at += length;
        if (token == TOKEN_REM) return;
        if (token == TOKEN_DATA) {
            bool quoted = false;
            for (; text[at] != '\n' && text[at] != 0x00; at++) {
                if (text[at] == '"') quoted = !quoted;
                if (text[at] == ':' && !quoted) break;
            }
            if (text[at] == ':') at++;
        }
        if (is_reference_token(token)) {
            TargetCheck target{&check, origin};
            at = read_references(text, at, token, check_target, &target);
        }
        // A name runs on after a keyword inside it; it ends at anything else.
        if (!is_ascii_letter(c)) letters_before = 0;
    }
}

// Checks the line's number against the one before, as the converter does;
// returns where the statements start.
int check_line_number(Check &check, const unsigned char *text, const std::size_t *origin,
                      int length) {
    int digits = 0;
    std::uint64_t value = 0;
    bool over_32_bits = false;
    for (; is_ascii_digit(text[digits]); digits++) {
        value = value * 10 + (text[digits] - '0');
        if (value > 0xFFFFFFFFu) over_32_bits = true;
        value &= 0xFFFFFFFFu;
    }
    auto number = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    std::size_t start = length > 0 ? origin[0] : check.line.raw_start;
    bool empty = length == 0 || text[0] == '\n';
    if (!check.any_line && digits == 0)
        add(check, start, false, "unnumbered-first-line",
            "the first line has no line number and is stored as line 0; give it a number");
    if (check.previous_number >= number) {
        if (!check.any_line)
            add(check, start, true, "line-order",
                "line number %llu is read as %d, which is below 0; use a number from 0 to 65,535",
                static_cast<unsigned long long>(value), static_cast<int>(number));
        else if (empty)
            add(check, start, true, "empty-line",
                "empty line: the converter reads it as line 0, not above %d; remove it",
                static_cast<int>(check.previous_number));
        else if (digits == 0)
            add(check, start, true, "no-line-number",
                "line does not start with a line number: the converter reads it as line 0, not "
                "above %d; number it or join it to the line before",
                static_cast<int>(check.previous_number));
        else
            add(check, start, true, "line-order", "line number %d is not above %d on line %llu",
                static_cast<int>(number), static_cast<int>(check.previous_number),
                static_cast<unsigned long long>(check.previous_editor_line));
    } else {
        check.any_line = true;
        check.previous_number = number;
        check.cursor.move_to(start);
        check.previous_editor_line = check.cursor.line;
        if (number >= 0 && number < 65536)
            check.defined[number / 8] |= static_cast<unsigned char>(1u << (number % 8));
    }
    if (digits > 0 && (over_32_bits || value > 65535))
        add(check, start, false, "line-number-range",
            "line number %s%llu is above 65,535 and is stored as %u", over_32_bits ? "over " : "",
            static_cast<unsigned long long>(over_32_bits ? 4294967295u : value),
            static_cast<unsigned>(value & 0xFFFF));
    return digits + (text[digits] == ' ' ? 1 : 0);
}

// The bytes of the editor's line that the cut left over, and the number
// the converter reads for the rest.
void check_cut(Check &check) {
    std::size_t at = check.line.raw_end, line_end = at;
    while (line_end < check.end && check.listing[line_end] != '\n')
        line_end++;
    std::uint64_t rest_number = 0;
    for (std::size_t k = at; k < check.end && is_ascii_digit(check.listing[k]); k++)
        rest_number = (rest_number * 10 + (check.listing[k] - '0')) & 0xFFFFFFFFu;
    add(check, at, false, "long-line",
        "line is %llu bytes; the converter cuts it after 1,023 and reads the rest as line %llu",
        static_cast<unsigned long long>(line_end - check.line.raw_start),
        static_cast<unsigned long long>(rest_number));
}

void check_line(Check &check) {
    CheckedLine &line = check.line;
    unsigned char text[LINE_BUFFER_SIZE * 2 + SCAN_PADDING];
    std::size_t origin[LINE_BUFFER_SIZE * 2 + SCAN_PADDING];
    for (int i = 0; i < line.length; i++)
        if (line.text[i] == 0x00) {
            add(check, line.origin[i], false, "nul-byte",
                "a NUL byte ends the line's text; what follows it on the line is not converted");
            break;
        }
    if (!check.lone_told && check.lone_carriage_returns > 0 &&
        check.first_lone_carriage_return < line.raw_end) {
        add(check, check.first_lone_carriage_return, false, "lone-cr",
            "%llu carriage returns without a line feed, which the converter drops: a file with "
            "CR line ends reads as one line",
            static_cast<unsigned long long>(check.lone_carriage_returns));
        check.lone_told = true;
    }
    int length = convert_checked(check, text, origin);
    int statements = check_line_number(check, text, origin, length);
    if (!check.first_pass) check_statements(check, text, origin, statements);
    if (line.cut) check_cut(check);
}

void count_lone_carriage_returns(Check &check) {
    check.lone_carriage_returns = 0;
    for (std::size_t at = 0; at < check.end; at++)
        if (check.listing[at] == '\r' && !(at + 1 < check.end && check.listing[at + 1] == '\n')) {
            if (check.lone_carriage_returns++ == 0) check.first_lone_carriage_return = at;
        }
}

void check_end_mark(Check &check) {
    if (check.end + 1 >= check.length) return; // a mark as the very last byte is no finding
    std::uint64_t lines = 1;
    for (std::size_t at = check.end + 1; at + 1 < check.length; at++)
        if (check.listing[at] == '\n' ||
            (check.listing[at] == '\r' && check.listing[at + 1] != '\n'))
            lines++;
    add(check, check.end, false, "end-mark",
        "the end mark 0x1A has %llu line%s after it, which the converter never reads",
        static_cast<unsigned long long>(lines), lines == 1 ? "" : "s");
}

void run_pass(Check &check, bool first_pass) {
    check.first_pass = first_pass;
    check.cursor = {check.listing, check.length};
    check.pending_count = 0;
    check.any_line = false;
    check.previous_number = -1;
    check.previous_editor_line = 0;
    check.lone_told = false;
    std::size_t at = 0;
    if (check.length >= 3 && std::memcmp(check.listing, "\xEF\xBB\xBF", 3) == 0) at = 3;
    while (cut_line(check, at)) {
        check_line(check);
        tell_pending(check);
    }
    if (check.end < check.length) check_end_mark(check);
    tell_pending(check);
}

} // namespace

std::uint64_t check_listing(const unsigned char *listing, std::size_t length, FindingSink sink) {
    static_assert(sizeof(Check) < 256 * 1024, "the check's state fits a thread's stack");
    Check check;
    check.listing = listing;
    check.length = length;
    const void *mark = std::memchr(listing, END_OF_FILE_MARK, length);
    check.end = mark != nullptr
                    ? static_cast<std::size_t>(static_cast<const unsigned char *>(mark) - listing)
                    : length;
    check.sink = sink;
    check.count = 0;
    std::memset(check.defined, 0, sizeof check.defined);
    count_lone_carriage_returns(check);
    run_pass(check, true);
    run_pass(check, false);
    return check.count;
}

} // namespace morvane
