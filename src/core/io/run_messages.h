// The messages a run ends with, as both programs print them on standard
// error and the library hands them back: the texts scripts compare.
#pragma once

#include <cstdint>

#include "core/findings/findings.h"
#include "core/io/core_io.h"

namespace morvane {

// Room for a message the library hands back, cut to fit.
constexpr int MESSAGE_ROOM = 512;

// Calls print(format, argument) with each thing a complete listing notes.
template <typename Print> void with_listing_notes(const Outcome &outcome, Print print) {
    if ((outcome.notes & NAME_NOT_GIVEN) != 0)
        print("The image's name is %s: no morvane --name gives it, and the listing converts back "
              "into an image named mrv",
              outcome.name);
    else if ((outcome.notes & NAME_AS_SHIFT_JIS) != 0)
        print("The image's name is %s: convert the listing back with morvane "
              "--encoding=shift_jis --name=%s",
              outcome.name, outcome.name);
    else if ((outcome.notes & NAMED_IMAGE) != 0)
        print("The image's name is %s: convert the listing back with morvane --name=%s",
              outcome.name, outcome.name);
    if ((outcome.notes & READS_AS_UTF8) != 0)
        print("%s", "The listing is valid UTF-8, so morvane reads it as UTF-8: convert it back "
                    "with morvane --encoding=shift_jis");
}

// Calls print(format, argument) with the message the outcome ends with,
// without its line feed, unless it is complete; returns the exit status: 0
// complete, 1 failed, 2 complete with lines named as not converting back or
// notes (told by with_listing_notes, after those lines).
template <typename Print>
int with_outcome_message(const Outcome &outcome, const char *input, const char *output,
                         Print print) {
    switch (outcome.kind) {
    case OutcomeKind::COMPLETE:
        return outcome.lines_not_read_back > 0 || outcome.notes != 0 ? 2 : 0;
    case OutcomeKind::ILLEGAL_LINE_NUMBER:
        print("Illegal line number found in %d", static_cast<int>(outcome.line_number));
        break;
    case OutcomeKind::ILLEGAL_CHARACTER:
        print("Illegal character found in next of %d", static_cast<int>(outcome.line_number));
        break;
    case OutcomeKind::READ_FAILED:
        print("Can't read input file %s", input);
        break;
    case OutcomeKind::WRITE_FAILED:
        print("Can't write output file %s", output);
        break;
    case OutcomeKind::IMAGE_AS_LISTING:
        print("Input file is a program image %s", input);
        break;
    case OutcomeKind::NOT_AN_IMAGE:
        print("Not a program image %s", input);
        break;
    case OutcomeKind::OUT_OF_MEMORY:
        print("Not enough memory for %s", input);
        break;
    case OutcomeKind::BROKEN_IMAGE:
        print("Broken program image %s at byte %llu", input,
              static_cast<unsigned long long>(outcome.offset));
        break;
    }
    return 1;
}

// Calls print(format, arguments) with the lister's line for a line that
// does not convert back into its record, without its line feed.
template <typename Print>
void with_line_not_read_back_message(std::uint64_t line_number, int body_offset, Print print) {
    print("Line %llu does not convert back into its record at byte %d of its body",
          static_cast<unsigned long long>(line_number), body_offset);
}

// Calls print(format, arguments) with a finding's line as morvane-check and
// morvane-renum print it, PATH:LINE:COLUMN: SEVERITY: MESSAGE [NAME], without its line feed.
template <typename Print>
void with_finding_line(const char *path, const Finding &finding, Print print) {
    print("%s:%llu:%llu: %s: %s [%s]", path, static_cast<unsigned long long>(finding.start.line),
          static_cast<unsigned long long>(finding.start.column),
          finding.error ? "error" : "warning", finding.message, finding.name);
}

} // namespace morvane
