#include "core/renum/renumber_listing.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "core/basic/image_format.h"
#include "core/basic/line_references.h"
#include "core/basic/line_text.h"
#include "core/basic/listing_text.h"

namespace morvane {
namespace {

constexpr std::uint32_t NO_LINE = 0xFFFFFFFF;
constexpr std::uint32_t HIGHEST_NUMBER = 65535;
constexpr unsigned char END_OF_FILE_MARK = 0x1A;

// An array from malloc that grows as it is added to; its items are plain data.
template <typename Item> struct Grown {
    Item *items = nullptr;
    std::size_t count = 0, capacity = 0;

    Grown() = default;
    Grown(const Grown &) = delete;
    Grown &operator=(const Grown &) = delete;
    ~Grown() { std::free(items); }

    bool reserve(std::size_t wanted) {
        if (wanted <= capacity) return true;
        std::size_t grown_to = std::max(wanted, capacity * 2);
        void *grown = std::realloc(items, grown_to * sizeof(Item));
        if (grown == nullptr) return false;
        items = static_cast<Item *>(grown);
        capacity = grown_to;
        return true;
    }
    bool add(const Item &item) {
        if (!reserve(count + 1)) return false;
        items[count++] = item;
        return true;
    }
    Item &operator[](std::size_t at) { return items[at]; }
};

enum class LineKind : std::uint8_t {
    BLANK,      // spaces and tabs at most: for the author, never written
    LABEL,      // @name alone: names the next line written, is never written itself
    NUMBERED,   // a number and statements
    UNNUMBERED, // statements alone: numbered after the numbered line before it
    DELETION,   // a number alone: deletes the line of that number, as typed on the machine
};

// A line of the file, from its first byte to its line feed.
struct ListingLine {
    std::size_t start;
    std::size_t content_end; // before its line end: CR LF, LF, or none at the file's end
    std::size_t next;        // the next line's first byte
    std::size_t kept;        // the first byte kept after the number or the indentation
    std::uint64_t editor_line;
    // The machine's order: (number + 1) << 32, and for an unnumbered line
    // that of the numbered line before it plus its place among such lines.
    std::uint64_t order;
    std::uint32_t number;
    std::uint32_t new_number;
    LineKind kind;
    bool removed; // replaced or deleted by a later line
};

struct Label {
    std::size_t name; // offset of the name after the @
    int name_length;
    std::uint64_t editor_line;
    std::uint32_t line; // index of the line it names, NO_LINE if none follows
};

struct Pending {
    std::size_t offset;
    Finding finding;
};

// A line in target codes as the converter reads it, each byte with its origin.
struct LineText {
    unsigned char text[LINE_BUFFER_SIZE * 2 + SCAN_PADDING];
    std::size_t origin[LINE_BUFFER_SIZE * 2 + SCAN_PADDING];
    int cr_less_length; // the line's bytes without carriage returns: what the converter counts
};

struct Renumber {
    const unsigned char *listing;
    std::size_t length;
    std::size_t end; // where the end mark stands, or length
    std::size_t first_line;
    RenumberOptions options;
    Grown<ListingLine> lines;
    Grown<Label> labels;
    Grown<std::uint32_t> order; // the lines written, in the machine's order
    Grown<Pending> pending;
    std::uint32_t *holder; // for each number, the line that has it now, or NO_LINE
    std::uint32_t *new_of; // for each number, its line's new number, or NO_LINE
    std::uint64_t errors;
    bool out_of_memory;
    const char *line_end; // written after a line that had none and is no longer last
    LineText line_text;
    Sink out;
    bool write_failed;
};

bool is_blank(unsigned char c) {
    return c == ' ' || c == '\t';
}

void add(Renumber &renumber, std::size_t offset, bool error, const char *name, const char *format,
         auto... arguments) {
    Pending pending{};
    pending.offset = offset;
    set_finding(pending.finding, error, name, format, arguments...);
    if (!renumber.pending.add(pending)) renumber.out_of_memory = true;
    if (error) renumber.errors++;
}

// Reads the line as the converter does: carriage returns dropped, at most
// 1,023 bytes, then in target codes.
void read_line_text(Renumber &renumber, const ListingLine &line) {
    unsigned char bytes[LINE_BUFFER_SIZE + SCAN_PADDING];
    std::size_t origin[LINE_BUFFER_SIZE + SCAN_PADDING];
    int length = 0, cr_less = 0;
    for (std::size_t at = line.start; at < line.content_end; at++) {
        if (renumber.listing[at] == '\r') continue;
        cr_less++;
        if (length == LONGEST_LINE) continue;
        origin[length] = at;
        bytes[length++] = renumber.listing[at];
    }
    LineText &text = renumber.line_text;
    convert_with_origins(bytes, origin, length, text.text, text.origin, nullptr, nullptr);
    text.cr_less_length = cr_less;
}

bool is_label_line(const unsigned char *text, int &name_at, int &name_end) {
    int at = 0;
    while (is_blank(text[at]))
        at++;
    if (text[at] != '@' || !is_ascii_letter(text[at + 1])) return false;
    name_at = at + 1;
    for (at += 2; is_ascii_letter(text[at]) || is_ascii_digit(text[at]) || text[at] == '_'; at++) {
    }
    name_end = at;
    while (is_blank(text[at]))
        at++;
    return is_line_end(text[at]);
}

bool is_blank_line(const Renumber &renumber, const ListingLine &line) {
    for (std::size_t at = line.start; at < line.content_end; at++)
        if (!is_blank(renumber.listing[at]) && renumber.listing[at] != '\r') return false;
    return true;
}

// Sorts the line into its kind by the text the converter reads; a label's
// name goes to label.
void classify(Renumber &renumber, ListingLine &line, Label &label) {
    const LineText &text = renumber.line_text;
    int name_at = 0, name_end = 0;
    if (is_blank_line(renumber, line)) {
        line.kind = LineKind::BLANK;
        return;
    }
    if (is_label_line(text.text, name_at, name_end)) {
        line.kind = LineKind::LABEL;
        label = {text.origin[name_at], name_end - name_at, line.editor_line, NO_LINE};
        return;
    }
    int digits = 0;
    std::uint64_t number = 0;
    for (; is_ascii_digit(text.text[digits]); digits++)
        number = std::min<std::uint64_t>(number * 10 + (text.text[digits] - '0'), 1u << 31);
    if (digits == 0) {
        line.kind = LineKind::UNNUMBERED;
        line.kept = line.start;
        while (line.kept < line.content_end &&
               (is_blank(renumber.listing[line.kept]) || renumber.listing[line.kept] == '\r'))
            line.kept++;
        return;
    }
    line.kept = text.origin[digits - 1] + 1;
    if (number > HIGHEST_NUMBER)
        add(renumber, line.start, true, "line-number-range",
            "line number %llu is above 65,535, which the machine's line editor does not take; "
            "give it a lower number",
            static_cast<unsigned long long>(number));
    line.number = static_cast<std::uint32_t>(std::min<std::uint64_t>(number, HIGHEST_NUMBER));
    // A number alone, as typed on the machine; decided by the file's bytes, so
    // that a line whose text a NUL byte cuts short is kept whole.
    bool alone = true;
    for (std::size_t at = line.kept; at < line.content_end && alone; at++)
        alone = is_blank(renumber.listing[at]) || renumber.listing[at] == '\r';
    line.kind = alone ? LineKind::DELETION : LineKind::NUMBERED;
}

// Takes a numbered line, or a number alone, as the line editor would.
void take_numbered(Renumber &renumber, std::uint32_t index) {
    ListingLine &line = renumber.lines[index];
    std::uint32_t earlier = renumber.holder[line.number];
    bool deletion = line.kind == LineKind::DELETION;
    if (earlier != NO_LINE) {
        renumber.lines[earlier].removed = true;
        add(renumber, line.start, false, deletion ? "deleted-line" : "replaced-line",
            "line %u %s the line %u written on line %llu", line.number,
            deletion ? "alone deletes" : "replaces", line.number,
            static_cast<unsigned long long>(renumber.lines[earlier].editor_line));
    } else if (deletion) {
        add(renumber, line.start, false, "deleted-line",
            "line %u alone deletes no line: no line before it has that number", line.number);
    }
    renumber.holder[line.number] = deletion ? NO_LINE : index;
}

// Cuts the file into lines, sorts each into its kind and takes it as the
// machine would: a later line replaces one of the same number, a number
// alone deletes it, a label names the next line written.
bool take_lines(Renumber &renumber) {
    std::size_t count = 1;
    for (std::size_t at = renumber.first_line; at < renumber.end; at++)
        count += renumber.listing[at] == '\n';
    if (!renumber.lines.reserve(count)) return false;
    EditorCursor cursor{renumber.listing, renumber.length};
    std::uint64_t last_number = 0, sequence = 0;
    std::size_t labels_waiting = 0;
    for (std::size_t at = renumber.first_line; at < renumber.end;) {
        auto *feed = static_cast<const unsigned char *>(
            std::memchr(renumber.listing + at, '\n', renumber.end - at));
        ListingLine line{};
        line.start = at;
        line.next =
            feed != nullptr ? static_cast<std::size_t>(feed - renumber.listing) + 1 : renumber.end;
        line.content_end = feed != nullptr ? line.next - 1 : renumber.end;
        if (feed != nullptr && line.content_end > at &&
            renumber.listing[line.content_end - 1] == '\r')
            line.content_end--;
        cursor.move_to(at);
        line.editor_line = cursor.line;
        read_line_text(renumber, line);
        Label label{};
        classify(renumber, line, label);
        auto index = static_cast<std::uint32_t>(renumber.lines.count);
        renumber.lines.add(line);
        at = line.next;
        switch (line.kind) {
        case LineKind::BLANK:
            break;
        case LineKind::LABEL:
            if (!renumber.labels.add(label)) return false;
            break;
        case LineKind::NUMBERED:
        case LineKind::DELETION:
            take_numbered(renumber, index);
            last_number = renumber.lines[index].number + 1ull;
            renumber.lines[index].order = last_number << 32;
            break;
        case LineKind::UNNUMBERED:
            renumber.lines[index].order = last_number << 32 | ++sequence;
            break;
        }
        if (line.kind == LineKind::NUMBERED || line.kind == LineKind::UNNUMBERED)
            for (; labels_waiting < renumber.labels.count; labels_waiting++)
                renumber.labels[labels_waiting].line = index;
    }
    return true;
}

int compare_names(const unsigned char *a, int a_length, const unsigned char *b, int b_length) {
    for (int i = 0; i < a_length && i < b_length; i++) {
        unsigned char x = to_upper(a[i]), y = to_upper(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a_length - b_length;
}

// Sorts the labels by name, as case does not matter in BASIC, and names each one defined twice.
void sort_labels(Renumber &renumber) {
    const unsigned char *listing = renumber.listing;
    std::sort(renumber.labels.items, renumber.labels.items + renumber.labels.count,
              [listing](const Label &a, const Label &b) {
                  int order = compare_names(listing + a.name, a.name_length, listing + b.name,
                                            b.name_length);
                  return order != 0 ? order < 0 : a.name < b.name;
              });
    for (std::size_t i = 1; i < renumber.labels.count; i++) {
        const Label &first = renumber.labels[i - 1], &again = renumber.labels[i];
        if (compare_names(listing + first.name, first.name_length, listing + again.name,
                          again.name_length) != 0)
            continue;
        add(renumber, again.name - 1, true, "duplicate-label",
            "label @%.*s is defined again; it is first defined on line %llu", again.name_length,
            reinterpret_cast<const char *>(listing + again.name),
            static_cast<unsigned long long>(first.editor_line));
    }
}

const Label *find_label(const Renumber &renumber, const unsigned char *name, int length) {
    std::size_t low = 0, high = renumber.labels.count;
    while (low < high) {
        std::size_t middle = low + (high - low) / 2;
        const Label &label = renumber.labels.items[middle];
        int order = compare_names(renumber.listing + label.name, label.name_length, name, length);
        if (order == 0) return &label;
        if (order < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return nullptr;
}

// The lines written, in the machine's order.
bool put_in_order(Renumber &renumber) {
    if (!renumber.order.reserve(renumber.lines.count)) return false;
    for (std::size_t i = 0; i < renumber.lines.count; i++) {
        const ListingLine &line = renumber.lines[i];
        if ((line.kind == LineKind::NUMBERED || line.kind == LineKind::UNNUMBERED) && !line.removed)
            renumber.order.add(static_cast<std::uint32_t>(i));
    }
    const ListingLine *lines = renumber.lines.items;
    std::sort(
        renumber.order.items, renumber.order.items + renumber.order.count,
        [lines](std::uint32_t a, std::uint32_t b) { return lines[a].order < lines[b].order; });
    return true;
}

// Gives each line written its new number: the lines below from keep theirs,
// the rest get start, start + step, and so on. Goes on after an error, so
// that every other finding can still be told.
void number_lines(Renumber &renumber) {
    const RenumberOptions &options = renumber.options;
    std::size_t at = 0;
    std::int64_t last_kept = -1;
    for (; at < renumber.order.count; at++) {
        ListingLine &line = renumber.lines[renumber.order[at]];
        if (line.kind != LineKind::NUMBERED || line.number >= options.from) break;
        line.new_number = line.number;
        last_kept = line.number;
    }
    bool kept_after_unnumbered = false;
    for (std::size_t later = at; later < renumber.order.count && !kept_after_unnumbered; later++) {
        const ListingLine &line = renumber.lines[renumber.order[later]];
        kept_after_unnumbered = line.kind == LineKind::NUMBERED && line.number < options.from;
        if (kept_after_unnumbered)
            add(renumber, renumber.lines[renumber.order[at]].start, true, "unnumbered-line-kept",
                "this line has no number but stands before line %u, which keeps its number as "
                "it is below %u; number it, or renumber from a lower line",
                line.number, options.from);
    }
    if (at < renumber.order.count && !kept_after_unnumbered &&
        last_kept >= static_cast<std::int64_t>(options.start))
        add(renumber, renumber.lines[renumber.order[at]].start, true, "line-order",
            "the new number %u is not above %lld, the last line that keeps its number; start "
            "higher",
            options.start, static_cast<long long>(last_kept));
    std::uint64_t number = options.start;
    bool range_told = false;
    for (; at < renumber.order.count; at++, number += options.step) {
        ListingLine &line = renumber.lines[renumber.order[at]];
        if (number > HIGHEST_NUMBER && !std::exchange(range_told, true))
            add(renumber, line.start, true, "line-number-range",
                "the new number %llu is above 65,535; start lower or take a smaller step",
                static_cast<unsigned long long>(number));
        line.new_number = static_cast<std::uint32_t>(std::min<std::uint64_t>(number, NO_LINE - 1));
    }
    for (std::size_t i = 0; i < renumber.order.count; i++) {
        const ListingLine &line = renumber.lines[renumber.order[i]];
        if (line.kind == LineKind::NUMBERED) renumber.new_of[line.number] = line.new_number;
    }
}

// The new number a label stands for, or NO_LINE if the line it named is gone.
std::uint32_t label_number(const Renumber &renumber, const Label &label) {
    if (label.line == NO_LINE) return NO_LINE;
    const ListingLine &line = renumber.lines.items[label.line];
    if (line.kind == LineKind::UNNUMBERED) return line.new_number;
    return renumber.new_of[line.number];
}

bool names_a_line(const Renumber &renumber, const Label &label) {
    if (label.line == NO_LINE) return false;
    const ListingLine &line = renumber.lines.items[label.line];
    return line.kind == LineKind::UNNUMBERED || renumber.holder[line.number] != NO_LINE;
}

// Names each label that names no line: none follows it, or a later line deleted it.
void check_labels(Renumber &renumber) {
    for (std::size_t i = 0; i < renumber.labels.count; i++) {
        const Label &label = renumber.labels[i];
        if (names_a_line(renumber, label)) continue;
        add(renumber, label.name - 1, true, "label-without-line",
            label.line == NO_LINE ? "label @%.*s names no line: no line follows it"
                                  : "label @%.*s names no line: a later line deletes the line "
                                    "after it",
            label.name_length, reinterpret_cast<const char *>(renumber.listing + label.name));
    }
}

// A line being planned (write false: its findings and length) or written.
struct LineWork {
    Renumber *renumber;
    bool write;
    std::size_t copied_to; // the listing's bytes before this are written
    std::int64_t growth;   // bytes the new references add
};

std::size_t origin_of(const Renumber &renumber, int at) {
    return renumber.line_text.origin[at];
}

bool write_bytes(Renumber &renumber, const void *bytes, std::size_t count) {
    if (count == 0 || renumber.write_failed) return !renumber.write_failed;
    if (!renumber.out.write(renumber.out.context, static_cast<const unsigned char *>(bytes), count))
        renumber.write_failed = true;
    return !renumber.write_failed;
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

// The number a reference stands for now, or NO_LINE to leave it as written.
std::uint32_t new_reference(LineWork &work, const Reference &reference) {
    Renumber &renumber = *work.renumber;
    const unsigned char *text = renumber.line_text.text;
    std::size_t offset = origin_of(renumber, reference.start);
    bool tell = !work.write;
    switch (reference.kind) {
    case ReferenceKind::COMPUTED:
        if (tell)
            add(renumber, offset, false, "computed-target",
                "the line this jumps to is computed, which renumbering cannot follow; check it "
                "by hand");
        return NO_LINE;
    case ReferenceKind::LABEL: {
        const Label *label =
            find_label(renumber, text + reference.start + 1, reference.end - reference.start - 1);
        if (label == nullptr && tell)
            add(renumber, offset, true, "unknown-label",
                "label %.*s is not defined; no line is labelled so",
                reference.end - reference.start,
                reinterpret_cast<const char *>(text) + reference.start);
        return label == nullptr ? NO_LINE : label_number(renumber, *label);
    }
    case ReferenceKind::NUMBER:
        break;
    }
    std::uint32_t now =
        reference.number <= HIGHEST_NUMBER ? renumber.new_of[reference.number] : NO_LINE;
    // ON ERROR GOTO 0 turns error trapping off: 0 names no line there.
    bool trap_off = reference.number == 0 && reference.token == TOKEN_GOTO;
    if (now == NO_LINE && !trap_off && tell)
        add(renumber, offset, false, "missing-target",
            "line %llu does not exist; no line has that number",
            static_cast<unsigned long long>(reference.number));
    return now == reference.number ? NO_LINE : now;
}

void rewrite_reference(void *context, const Reference &reference) {
    auto &work = *static_cast<LineWork *>(context);
    std::uint32_t now = new_reference(work, reference);
    if (now == NO_LINE) return;
    char digits[12];
    int length = decimal(now, digits);
    work.growth += length - (reference.end - reference.start);
    if (!work.write) return;
    Renumber &renumber = *work.renumber;
    std::size_t first = origin_of(renumber, reference.start);
    write_bytes(renumber, renumber.listing + work.copied_to, first - work.copied_to);
    write_bytes(renumber, digits, static_cast<std::size_t>(length));
    work.copied_to = origin_of(renumber, reference.end - 1) + 1;
}

// Where the statements start in the line's text: after the number, or after the indentation.
int statements_at(const LineText &text, const ListingLine &line) {
    int at = 0;
    if (line.kind == LineKind::NUMBERED)
        while (is_ascii_digit(text.text[at]))
            at++;
    else
        while (is_blank(text.text[at]))
            at++;
    return at;
}

// Plans the line (its findings, and whether it still fits) or writes it.
void work_on_line(Renumber &renumber, std::size_t place, bool write) {
    const ListingLine &line = renumber.lines[renumber.order[place]];
    read_line_text(renumber, line);
    bool last = place + 1 == renumber.order.count;
    bool own_line_end = line.next > line.content_end;
    LineWork work{&renumber, write, line.kept, 0};
    char digits[12];
    int digits_length = decimal(line.new_number, digits);
    bool keep_number = line.kind == LineKind::NUMBERED && line.new_number == line.number;
    if (write) {
        if (keep_number)
            write_bytes(renumber, renumber.listing + line.start, line.kept - line.start);
        else
            write_bytes(renumber, digits, static_cast<std::size_t>(digits_length));
        if (line.kind == LineKind::UNNUMBERED) write_bytes(renumber, " ", 1);
    }
    find_references(renumber.line_text.text, statements_at(renumber.line_text, line),
                    rewrite_reference, &work);
    if (write) {
        write_bytes(renumber, renumber.listing + work.copied_to, line.content_end - work.copied_to);
        if (own_line_end)
            write_bytes(renumber, renumber.listing + line.content_end,
                        line.next - line.content_end);
        else if (!last)
            write_bytes(renumber, renumber.line_end, std::strlen(renumber.line_end));
        return;
    }
    // The number or indentation before the kept bytes gives way to what is written there.
    std::int64_t replaced = 0;
    for (std::size_t at = line.start; at < line.kept; at++)
        replaced += renumber.listing[at] != '\r';
    std::int64_t written =
        keep_number ? replaced : digits_length + (line.kind == LineKind::UNNUMBERED);
    std::int64_t length = renumber.line_text.cr_less_length - replaced + written + work.growth;
    // The converter takes 1,023 bytes a line, its line feed included.
    bool line_feed = own_line_end || !last;
    if (length + line_feed > LONGEST_LINE)
        add(renumber, line.start, true, "long-line",
            "line is %lld bytes with its new numbers; the converter cuts it after 1,023",
            static_cast<long long>(length + line_feed));
}

// Tells the findings in file order, each at its line and column.
void tell_findings(Renumber &renumber, FindingSink sink) {
    std::stable_sort(renumber.pending.items, renumber.pending.items + renumber.pending.count,
                     [](const Pending &a, const Pending &b) { return a.offset < b.offset; });
    EditorCursor cursor{renumber.listing, renumber.length};
    for (std::size_t i = 0; i < renumber.pending.count; i++) {
        Pending &pending = renumber.pending[i];
        cursor.move_to(pending.offset);
        pending.finding.line = cursor.line;
        pending.finding.column = cursor.column;
        sink.found(sink.context, pending.finding);
    }
}

// The line end a moved last line gets: the file's own, CR LF or LF.
const char *line_end_of(const unsigned char *listing, std::size_t end) {
    auto *feed = static_cast<const unsigned char *>(std::memchr(listing, '\n', end));
    return feed != nullptr && feed > listing && feed[-1] == '\r' ? "\r\n" : "\n";
}

struct CharsetErrors {
    FindingSink sink;
    std::uint64_t count;
};

// Passes on the checker's errors that renumbering cannot mend: the characters
// outside the target set. The others are about line numbers and their order.
void pass_on_charset_error(void *context, const Finding &finding) {
    auto &errors = *static_cast<CharsetErrors *>(context);
    if (!finding.error || std::strcmp(finding.name, "charset") != 0) return;
    errors.sink.found(errors.sink.context, finding);
    errors.count++;
}

RenumberOutcome refuse_image(FindingSink findings) {
    Finding finding{};
    finding.line = finding.column = 1;
    set_finding(finding, true, "image",
                "this is a program image, not a listing; list it with morvane-list first");
    findings.found(findings.context, finding);
    return RenumberOutcome::REFUSED;
}

RenumberOutcome renumber_taken(Renumber &renumber, FindingSink findings) {
    if (!take_lines(renumber)) return RenumberOutcome::OUT_OF_MEMORY;
    sort_labels(renumber);
    if (!put_in_order(renumber)) return RenumberOutcome::OUT_OF_MEMORY;
    number_lines(renumber);
    check_labels(renumber);
    for (std::size_t place = 0; place < renumber.order.count; place++)
        work_on_line(renumber, place, false);
    if (renumber.out_of_memory) return RenumberOutcome::OUT_OF_MEMORY;
    tell_findings(renumber, findings);
    if (renumber.errors > 0) return RenumberOutcome::REFUSED;
    write_bytes(renumber, renumber.listing, renumber.first_line);
    for (std::size_t place = 0; place < renumber.order.count; place++)
        work_on_line(renumber, place, true);
    write_bytes(renumber, renumber.listing + renumber.end, renumber.length - renumber.end);
    return renumber.write_failed ? RenumberOutcome::WRITE_FAILED : RenumberOutcome::RENUMBERED;
}

} // namespace

RenumberOutcome renumber_listing(const unsigned char *listing, std::size_t length,
                                 const RenumberOptions &options, Sink out, FindingSink findings) {
    if (starts_like_image(listing, length)) return refuse_image(findings);
    CharsetErrors charset{findings, 0};
    check_listing(listing, length, {pass_on_charset_error, &charset});
    if (charset.count > 0) return RenumberOutcome::REFUSED;

    auto *renumber = static_cast<Renumber *>(std::calloc(1, sizeof(Renumber)));
    auto *holder = static_cast<std::uint32_t *>(std::malloc(2 * 65536 * sizeof(std::uint32_t)));
    if (renumber == nullptr || holder == nullptr) {
        std::free(renumber);
        std::free(holder);
        return RenumberOutcome::OUT_OF_MEMORY;
    }
    new (renumber) Renumber{};
    std::memset(holder, 0xFF, 2 * 65536 * sizeof(std::uint32_t));
    renumber->listing = listing;
    renumber->length = length;
    const void *mark = std::memchr(listing, END_OF_FILE_MARK, length);
    renumber->end =
        mark != nullptr
            ? static_cast<std::size_t>(static_cast<const unsigned char *>(mark) - listing)
            : length;
    renumber->first_line =
        renumber->end >= 3 && std::memcmp(listing, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    renumber->options = options;
    renumber->holder = holder;
    renumber->new_of = holder + 65536;
    renumber->line_end = line_end_of(listing, renumber->end);
    renumber->out = out;
    RenumberOutcome outcome = renumber_taken(*renumber, findings);
    renumber->~Renumber();
    std::free(renumber);
    std::free(holder);
    return outcome;
}

} // namespace morvane
