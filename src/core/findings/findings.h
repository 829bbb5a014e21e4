// The kinds of finding that checking and renumbering name, each registered
// once: its name, its severity, the programs that tell it, its message and
// what it means. The programs, the library, the manual pages and the page
// all take them from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/basic/editor_position.h"

namespace morvane {

enum class FindingId : std::uint8_t {
    // Checking: what the converter stops at (errors) and what it takes
    // but seldom as meant (warnings).
    LINE_ORDER,
    LINE_ORDER_BELOW_ZERO,
    EMPTY_LINE,
    NO_LINE_NUMBER,
    NO_LINE_NUMBER_INDENTED,
    CHARSET_NOT_IN_SET,
    CHARSET_NO_SECOND_BYTE,
    LONG_LINE,
    UNNUMBERED_FIRST_LINE,
    UNNUMBERED_FIRST_LINE_INDENTED,
    BYTE_AFTER_NUMBER,
    LINE_NUMBER_RANGE,
    LINE_NUMBER_RANGE_RUN,
    LONE_CR,
    END_MARK,
    NUL_BYTE,
    PASSTHROUGH,
    KEYWORD_IN_NAME,
    KEYWORD_IN_NAME_SWALLOWS,
    MISSING_TARGET,
    LABELS,
    // Renumbering: what it does as the machine's line editor would
    // (warnings) and what it refuses (errors).
    REPLACED_LINE,
    DELETED_LINE,
    DELETED_NO_LINE,
    COMPUTED_TARGET,
    NUMBER_OUT_OF_EDITOR_RANGE,
    NUMBER_OUT_OF_EDITOR_RANGE_RUN,
    NEW_NUMBER_RANGE,
    CUT_LINE,
    LONG_WITH_NEW_NUMBERS,
    RETARGETED_REFERENCE,
    RETARGETED_REFERENCE_UNNUMBERED,
    LONG_LABEL,
    UNKNOWN_LABEL,
    DUPLICATE_LABEL,
    LABEL_WITHOUT_LINE,
    LABEL_LINE_DELETED,
    START_NOT_ABOVE_KEPT,
    UNNUMBERED_LINE_KEPT,
    IMAGE,
};

// The longest label the renumbering takes: its messages have room for it.
constexpr int LONGEST_LABEL = 40;

// The programs that tell a kind.
constexpr unsigned FROM_CHECK = 1, FROM_RENUM = 2;

struct FindingKind {
    FindingId id;
    const char *name; // as the programs print it: "line-order", "charset", ...
    bool error;       // the converter fails, or renumbering refuses; else a warning
    unsigned programs;
    const char *format;      // the message, with printf's conversions for its arguments
    const char *description; // one line: what it means
};

constexpr int FINDING_KIND_COUNT = static_cast<int>(FindingId::IMAGE) + 1;
extern const FindingKind FINDING_KINDS[FINDING_KIND_COUNT];

inline const FindingKind &finding_kind(FindingId id) {
    return FINDING_KINDS[static_cast<int>(id)];
}

// The first kind told by the programs under this name; nullptr if none.
const FindingKind *finding_kind_named(const char *name, unsigned programs);

// Where a finding stands: line and column as an editor counts them, and
// the byte's offset in the listing.
struct FindingPlace {
    std::uint64_t line;
    std::uint64_t column;
    std::size_t offset;
};

struct Finding {
    FindingId id;
    bool error;       // as its kind says
    const char *name; // as its kind says
    FindingPlace start;
    FindingPlace end;    // after its last byte
    std::uint64_t lines; // the lines it covers: 1, or a run's length
    char message[240];   // one sentence naming the cause and, where there is one, the fix
};

// Sets a finding's kind and message: the kind's format with the arguments,
// or its text itself when it takes none, so that no format comes from data.
template <typename... Arguments>
void set_finding(Finding &finding, FindingId id, Arguments... arguments) {
    const FindingKind &kind = finding_kind(id);
    finding.id = id;
    finding.error = kind.error;
    finding.name = kind.name;
    finding.lines = 1;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
#endif
    if constexpr (sizeof...(arguments) == 0)
        std::snprintf(finding.message, sizeof finding.message, "%s", kind.format);
    else
        std::snprintf(finding.message, sizeof finding.message, kind.format, arguments...);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
}

// Told of each finding, in file order.
struct FindingSink {
    void (*found)(void *context, const Finding &finding);
    void *context;
};

// Tells that the listing is a program image (its first bytes are the
// image's lead-in), at the lead-in: the two file names were swapped.
void tell_image_as_listing(const unsigned char *listing, std::size_t length, FindingSink sink);

// Findings about one line, gathered until it is done, then told in file
// order with their places: a line's findings are few, but nothing bounds
// how many, so the room grows (and is kept for the next line).
struct LineFindings {
    struct Pending {
        std::size_t offset, end;
        Finding finding;
    };
    Pending *pending;
    std::size_t count, capacity;
    bool out_of_memory; // a finding was lost for want of memory
};

// Adds a finding about the listing's bytes from offset to end; nullptr
// (and out_of_memory set) if there is no room.
Finding *add_finding(LineFindings &findings, std::size_t offset, std::size_t end);

// Tells the gathered findings in file order, each with its place, and
// forgets them; returns how many there were.
std::size_t tell_findings(LineFindings &findings, EditorCursor &cursor, FindingSink sink);

void free_findings(LineFindings &findings);

} // namespace morvane
