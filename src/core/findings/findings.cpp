#include "core/findings/findings.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "core/basic/image_format.h"

namespace morvane {

constexpr bool ERROR = true, WARNING = false;
constexpr unsigned BOTH = FROM_CHECK | FROM_RENUM;

// clang-format off
constexpr FindingKind FINDING_KINDS[FINDING_KIND_COUNT] = {
    {FindingId::LINE_ORDER, "line-order", ERROR, FROM_CHECK,
     "line number %d is not above %d on line %llu",
     "a line number not above the line before it"},
    {FindingId::LINE_ORDER_BELOW_ZERO, "line-order", ERROR, FROM_CHECK,
     "line number %llu is read as %d, which is below 0; use a number from 0 to 65,535",
     "a first line whose number wraps below 0"},
    {FindingId::EMPTY_LINE, "empty-line", ERROR, FROM_CHECK,
     "empty line: the converter reads it as line 0, not above %d; remove it",
     "an empty line after the first, which the converter reads as line 0"},
    {FindingId::NO_LINE_NUMBER, "no-line-number", ERROR, FROM_CHECK,
     "line does not start with a line number: the converter reads it as line 0, not above %d; "
     "number it or join it to the line before",
     "a line after the first that does not start with a digit"},
    {FindingId::NO_LINE_NUMBER_INDENTED, "no-line-number", ERROR, FROM_CHECK,
     "the line number stands after spaces or tabs, where the converter does not read it: it "
     "reads the line as line 0, not above %d; remove what stands before the number",
     "a line after the first whose number spaces or tabs stand before"},
    {FindingId::CHARSET_NOT_IN_SET, "charset", ERROR, BOTH,
     "character %s is not in the target character set; replace it",
     "a character the target character set lacks"},
    {FindingId::CHARSET_NO_SECOND_BYTE, "charset", ERROR, BOTH,
     "Shift_JIS first byte 0x%02X has no second byte; remove it",
     "a Shift_JIS first byte with no second byte"},
    {FindingId::LONG_LINE, "long-line", WARNING, FROM_CHECK,
     "line is %llu bytes; the converter cuts it after 1,023 and reads the rest as line %llu",
     "a line over 1,023 bytes, at the column where the converter cuts it"},
    {FindingId::UNNUMBERED_FIRST_LINE, "unnumbered-first-line", WARNING, FROM_CHECK,
     "the first line has no line number and is stored as line 0; give it a number",
     "the first line has no number and is stored as line 0"},
    {FindingId::UNNUMBERED_FIRST_LINE_INDENTED, "unnumbered-first-line", WARNING, FROM_CHECK,
     "the line number stands after spaces or tabs, where the converter does not read it: the "
     "first line is stored as line 0; remove what stands before the number",
     "the first line's number has spaces or tabs before it, so it is stored as line 0"},
    {FindingId::BYTE_AFTER_NUMBER, "byte-after-number", WARNING, FROM_CHECK,
     "%s directly after the line number is stored as the line's first character: only a space "
     "there separates the number; put a space there",
     "a tab or another control byte directly after a line number"},
    {FindingId::LINE_NUMBER_RANGE, "line-number-range", WARNING, FROM_CHECK,
     "line number %s%llu is above 65,535 and is stored as %u",
     "a line number above 65,535, stored as its low 16 bits"},
    {FindingId::LINE_NUMBER_RANGE_RUN, "line-number-range", WARNING, FROM_CHECK,
     "line number %s%llu is above 65,535 and is stored as %u, and so are the numbers of the "
     "%llu line%s after it, each as its low 16 bits",
     "a run of line numbers above 65,535, named once at its first line"},
    {FindingId::LONE_CR, "lone-cr", WARNING, FROM_CHECK,
     "%llu carriage returns without a line feed, which the converter drops: a file with CR line "
     "ends reads as one line",
     "carriage returns without a line feed, named once at the first"},
    {FindingId::END_MARK, "end-mark", WARNING, FROM_CHECK,
     "the end mark 0x1A has %llu line%s after it, which the converter never reads",
     "a byte 0x1A with text after it, which the converter never reads"},
    {FindingId::NUL_BYTE, "nul-byte", WARNING, FROM_CHECK,
     "a NUL byte ends the line's text; what follows it on the line is not converted",
     "a byte 0x00, which ends its line's text"},
    {FindingId::PASSTHROUGH, "passthrough", WARNING, FROM_CHECK,
     "character %s is not in the target character set; the converter copies its two "
     "bytes, which the machine shows as two other characters",
     "a character outside the set that the converter copies as two bytes"},
    {FindingId::KEYWORD_IN_NAME, "keyword-in-name", WARNING, FROM_CHECK,
     "%s is read as %s: a keyword stands inside the name; rename it or put spaces around the "
     "keyword",
     "a keyword inside a name, as the converter reads it"},
    {FindingId::KEYWORD_IN_NAME_SWALLOWS, "keyword-in-name", WARNING, FROM_CHECK,
     "%s is read as %s, and the rest of the %s: %s stands inside the name; rename it",
     "a REM or DATA inside a name, which makes the rest a remark or DATA items"},
    {FindingId::MISSING_TARGET, "missing-target", WARNING, BOTH,
     "line %llu does not exist; no line has that number",
     "a line number a statement names that no line has"},
    {FindingId::LABELS, "labels", WARNING, FROM_CHECK,
     "this listing is written with labels, which morvane-renum reads and morvane does not; "
     "renumber it before converting it",
     "a listing written with labels, at its first"},
    {FindingId::REPLACED_LINE, "replaced-line", WARNING, FROM_RENUM,
     "line %u replaces the line %u written on line %llu",
     "a later line with the same number replaced a line"},
    {FindingId::DELETED_LINE, "deleted-line", WARNING, FROM_RENUM,
     "line %u alone deletes the line %u written on line %llu",
     "a number alone deleted a line"},
    {FindingId::DELETED_NO_LINE, "deleted-line", WARNING, FROM_RENUM,
     "line %u alone deletes no line: no line before it has that number",
     "a number alone that deletes no line"},
    {FindingId::COMPUTED_TARGET, "computed-target", WARNING, FROM_RENUM,
     "the line this jumps to is computed, which renumbering cannot follow; check it by hand",
     "a line computed at run time, which renumbering cannot follow"},
    {FindingId::NUMBER_OUT_OF_EDITOR_RANGE, "line-number-range", ERROR, FROM_RENUM,
     "line number %llu is above 65,535, which the machine's line editor does not take; give it "
     "a lower number",
     "a line number above 65,535 in the listing"},
    {FindingId::NUMBER_OUT_OF_EDITOR_RANGE_RUN, "line-number-range", ERROR, FROM_RENUM,
     "line number %llu is above 65,535, which the machine's line editor does not take, and so "
     "are the numbers of the %llu line%s after it; give them lower numbers",
     "a run of line numbers above 65,535, named once at its first line"},
    {FindingId::NEW_NUMBER_RANGE, "line-number-range", ERROR, FROM_RENUM,
     "the new number %llu is above 65,535; start lower or take a smaller step",
     "a new number above 65,535"},
    {FindingId::CUT_LINE, "long-line", ERROR, FROM_RENUM,
     "line is %llu bytes; the converter cuts it after 1,023 and reads the rest as a line of its "
     "own; shorten it",
     "a line over the 1,023 bytes the converter reads as one line"},
    {FindingId::LONG_WITH_NEW_NUMBERS, "long-line", ERROR, FROM_RENUM,
     "line is %lld bytes with its new numbers; the converter cuts it after 1,023",
     "a line that its new numbers make longer than 1,023 bytes"},
    {FindingId::RETARGETED_REFERENCE, "retargeted-reference", ERROR, FROM_RENUM,
     "line %llu does not exist, and the new numbers give its number to line %u, so the "
     "reference would lead there; add line %llu, correct the reference, or choose another "
     "--start or --step",
     "a reference to a missing line whose number the new numbers give to a line"},
    {FindingId::RETARGETED_REFERENCE_UNNUMBERED, "retargeted-reference", ERROR, FROM_RENUM,
     "line %llu does not exist, and the new numbers give its number to a line without a number "
     "%s, so the reference would lead there; add line %llu, correct the reference, or choose "
     "another --start or --step",
     "a reference to a missing line whose number the new numbers give to a line without one"},
    {FindingId::LONG_LABEL, "long-label", ERROR, BOTH,
     "label @%.*s... is %d bytes long; a label takes at most %d; shorten it",
     "a label longer than 40 bytes"},
    {FindingId::UNKNOWN_LABEL, "unknown-label", ERROR, BOTH,
     "label %.*s is not defined; no line is labelled so",
     "a reference to a label that no line defines"},
    {FindingId::DUPLICATE_LABEL, "duplicate-label", ERROR, BOTH,
     "label @%.*s is defined again; it is first defined on line %llu",
     "a label defined twice"},
    {FindingId::LABEL_WITHOUT_LINE, "label-without-line", ERROR, BOTH,
     "label @%.*s names no line: no line follows it",
     "a label with no line after it"},
    {FindingId::LABEL_LINE_DELETED, "label-without-line", ERROR, BOTH,
     "label @%.*s names no line: a later line deletes the line after it",
     "a label whose line a later number alone deletes"},
    {FindingId::START_NOT_ABOVE_KEPT, "line-order", ERROR, FROM_RENUM,
     "the new number %u is not above %lld, the last line that keeps its number; start higher",
     "the first new number is not above the last line kept"},
    {FindingId::UNNUMBERED_LINE_KEPT, "unnumbered-line-kept", ERROR, FROM_RENUM,
     "this line has no number but stands before line %u, which keeps its number as it is below "
     "%u; number it, or renumber from a lower line",
     "a line without a number among the lines kept"},
    {FindingId::IMAGE, "image", ERROR, BOTH,
     "this is a program image, not a listing; list it with morvane-list first",
     "a program image given as the listing"},
};
// clang-format on

constexpr bool rows_stand_in_their_order() {
    for (int i = 0; i < FINDING_KIND_COUNT; i++)
        if (static_cast<int>(FINDING_KINDS[i].id) != i) return false;
    return true;
}
static_assert(rows_stand_in_their_order(), "a kind's row stands at its number");

const FindingKind *finding_kind_named(const char *name, unsigned programs) {
    for (const FindingKind &kind : FINDING_KINDS)
        if ((kind.programs & programs) != 0 && std::strcmp(kind.name, name) == 0) return &kind;
    return nullptr;
}

Finding *add_finding(LineFindings &findings, std::size_t offset, std::size_t end) {
    if (findings.count == findings.capacity) {
        std::size_t capacity = findings.capacity == 0 ? 8 : findings.capacity * 2;
        void *grown = std::realloc(findings.pending, capacity * sizeof(LineFindings::Pending));
        if (grown == nullptr) {
            findings.out_of_memory = true;
            return nullptr;
        }
        findings.pending = static_cast<LineFindings::Pending *>(grown);
        findings.capacity = capacity;
    }
    LineFindings::Pending &added = findings.pending[findings.count++];
    added.offset = offset;
    added.end = std::max(end, offset);
    return &added.finding;
}

std::size_t tell_findings(LineFindings &findings, EditorCursor &cursor, FindingSink sink) {
    LineFindings::Pending *pending = findings.pending;
    // By offset, keeping the order of those at the same one: they come
    // nearly in order, and a sort that allocates could fail here.
    for (std::size_t i = 1; i < findings.count; i++)
        for (std::size_t k = i; k > 0 && pending[k].offset < pending[k - 1].offset; k--)
            std::swap(pending[k], pending[k - 1]);
    for (std::size_t i = 0; i < findings.count; i++) {
        Finding &finding = pending[i].finding;
        EditorPosition start = editor_position(cursor, pending[i].offset);
        EditorPosition end =
            editor_position_after(cursor.bytes, cursor.length, cursor.at, start, pending[i].end,
                                  cursor.utf8);
        finding.start = {start.line, start.column, pending[i].offset};
        finding.end = {end.line, end.column, pending[i].end};
        sink.found(sink.context, finding);
    }
    std::size_t told = findings.count;
    findings.count = 0;
    return told;
}

void free_findings(LineFindings &findings) {
    std::free(findings.pending);
    findings = {};
}

void tell_image_as_listing(const unsigned char *listing, std::size_t length, FindingSink sink) {
    Finding finding{};
    set_finding(finding, FindingId::IMAGE);
    finding.start = {1, 1, 0};
    EditorPosition end = editor_position_after(listing, length, 0, {1, 1}, LEAD_IN_LENGTH);
    finding.end = {end.line, end.column, LEAD_IN_LENGTH};
    sink.found(sink.context, finding);
}

} // namespace morvane
