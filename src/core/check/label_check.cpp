#include "core/check/label_check.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/basic/editor_position.h"
#include "core/basic/listing_front.h"
#include "core/basic/scanner.h"
#include "core/io/grown.h"
#include "core/renum/renumber_listing.h"

namespace morvane {
namespace {

// A line's reading: too large for a thread's stack alongside its caller's.
struct Reading {
    ListingFront front;
    FrontLine line;
    Item items[LINE_TEXT_ROOM];
};

// What the converter would say of a listing's numbers, which a listing
// with labels does not have yet.
bool is_about_numbers(FindingId id) {
    switch (id) {
    case FindingId::LINE_ORDER:
    case FindingId::LINE_ORDER_BELOW_ZERO:
    case FindingId::EMPTY_LINE:
    case FindingId::NO_LINE_NUMBER:
    case FindingId::NO_LINE_NUMBER_INDENTED:
    case FindingId::UNNUMBERED_FIRST_LINE:
    case FindingId::UNNUMBERED_FIRST_LINE_INDENTED:
        return true;
    default:
        return false;
    }
}

// What the renumbering refuses about labels.
bool is_about_labels(FindingId id) {
    switch (id) {
    case FindingId::LONG_LABEL:
    case FindingId::UNKNOWN_LABEL:
    case FindingId::DUPLICATE_LABEL:
    case FindingId::LABEL_WITHOUT_LINE:
    case FindingId::LABEL_LINE_DELETED:
        return true;
    default:
        return false;
    }
}

struct Gathered {
    Grown<Finding> findings;
    bool out_of_memory = false;
};

void gather_if(Gathered &gathered, const Finding &finding, bool kept) {
    if (kept && !gathered.findings.add(finding)) gathered.out_of_memory = true;
}

void gather_checked(void *context, const Finding &finding) {
    gather_if(*static_cast<Gathered *>(context), finding, !is_about_numbers(finding.id));
}

void gather_renumbered(void *context, const Finding &finding) {
    gather_if(*static_cast<Gathered *>(context), finding, is_about_labels(finding.id));
}

bool discard(void *, const unsigned char *, std::size_t) {
    return true;
}

Finding note_at(const unsigned char *listing, std::size_t length, std::size_t at) {
    Finding note{};
    set_finding(note, FindingId::LABELS);
    EditorCursor cursor = start_editor_cursor(listing, length);
    EditorPosition place = editor_position(cursor, at);
    note.start = note.end = {place.line, place.column, at};
    return note;
}

bool is_blank(unsigned char c) {
    return c == ' ' || c == '\t';
}

// True if the letters ending before end (at most seven, from first on)
// end with a keyword a label may follow.
bool ends_with_jump_keyword(const unsigned char *first, const unsigned char *end) {
    static const char *const NAMES[] = {"GOTO", "GOSUB", "THEN",  "RESTORE",
                                        "RUN",  "LIST",  "DELETE"};
    for (const char *name : NAMES) {
        std::size_t length = std::strlen(name);
        if (static_cast<std::size_t>(end - first) < length) continue;
        const unsigned char *start = end - length;
        bool same = true;
        for (std::size_t i = 0; i < length && same; i++)
            same = (start[i] & ~0x20) == name[i];
        if (same) return true;
    }
    return false;
}

// Whether the @ at offset can start a label as the scanner reads them: at
// a line's start, after a keyword that names lines (or its raw byte), or
// in their lists and ranges. Nearly every @ of a listing without labels (in
// strings, PRINT @) is no candidate, so no line need be read to know.
bool may_start_label(const unsigned char *listing, std::size_t at) {
    std::size_t before = at;
    while (before > 0 && is_blank(listing[before - 1]))
        before--;
    if (before == 0) return true;
    unsigned char c = listing[before - 1];
    // A byte from 0x80 to 0x9F starts a two-byte character, the @ its
    // second byte (ア is 0x83 0x40), unless it is itself a second byte:
    // such bytes pair from the start of their run.
    if (at == before && c >= 0x80 && c <= 0x9F) {
        std::size_t run = 1;
        while (run < before && listing[before - 1 - run] >= 0x80 &&
               listing[before - 1 - run] <= 0x9F)
            run++;
        if (run % 2 == 1) return false;
    }
    // Control bytes and bytes above ASCII: line ends, raw tokens, and what the
    // reading may drop or join.
    if (c < 0x21 || c >= 0x7F || c == ',' || c == '-') return true;
    std::size_t letters = before;
    while (letters > 0 && before - letters < 7 && is_ascii_letter(listing[letters - 1]))
        letters--;
    return ends_with_jump_keyword(listing + letters, listing + before);
}

// A first look for labels: some @ could start one.
bool may_hold_labels(const unsigned char *listing, std::size_t length) {
    for (const void *found = std::memchr(listing, '@', length); found != nullptr;) {
        auto at = static_cast<std::size_t>(static_cast<const unsigned char *>(found) - listing);
        if (may_start_label(listing, at)) return true;
        found = std::memchr(listing + at + 1, '@', length - at - 1);
    }
    return false;
}

} // namespace

std::size_t first_label(const unsigned char *listing, std::size_t length) {
    if (length == 0 || !may_hold_labels(listing, length)) return NO_LABELS;
    auto *reading = static_cast<Reading *>(std::malloc(sizeof(Reading)));
    if (reading == nullptr) return LABELS_UNKNOWN;
    new (reading) Reading{};
    start_listing_front(reading->front, listing, length);
    std::size_t found = NO_LABELS;
    while (found == NO_LABELS && read_next_line(reading->front, reading->line)) {
        int count = scan_line(reading->line.text, reading->items);
        for (int i = 0; i < count && found == NO_LABELS; i++)
            if (reading->items[i].kind == ItemKind::LABEL)
                found = text_origin(reading->line, reading->items[i].start);
    }
    reading->~Reading();
    std::free(reading);
    return found;
}

bool check_labelled_listing(const unsigned char *listing, std::size_t length, std::size_t label_at,
                            TextCheck check_text, FindingSink sink, std::uint64_t &count) {
    Gathered gathered;
    // First, so that it stands before the findings at the same place.
    gather_if(gathered, note_at(listing, length, label_at), true);
    bool checked = check_text(listing, length, {gather_checked, &gathered});
    RenumberOutcome renumbered = renumber_listing(listing, length, {}, {discard, nullptr, nullptr},
                                                  {gather_renumbered, &gathered});
    if (!checked || renumbered == RenumberOutcome::OUT_OF_MEMORY || gathered.out_of_memory)
        return false;
    Finding *begin = gathered.findings.items, *end = begin + gathered.findings.count;
    std::stable_sort(begin, end, [](const Finding &a, const Finding &b) {
        return a.start.offset < b.start.offset;
    });
    for (const Finding *finding = begin; finding != end; finding++)
        sink.found(sink.context, *finding);
    count = gathered.findings.count;
    return true;
}

} // namespace morvane
