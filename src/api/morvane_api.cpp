// The library's C interface: the core run on bytes held in memory, the
// result handed back as the command line would have left it.
#include "morvane.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/basic/image_format.h"
#include "core/check/check_listing.h"
#include "core/convert/convert_run.h"
#include "core/io/memory_sink.h"
#include "core/io/run_messages.h"
#include "core/list/image_name.h"
#include "core/list/list_run.h"
#include "core/renum/renumber_listing.h"

namespace morvane {
namespace {

// NULL with length 0 is an empty input: no byte of it is ever read.
const unsigned char *bytes_or_empty(const unsigned char *bytes) {
    static const unsigned char EMPTY[1] = {0};
    return bytes != nullptr ? bytes : EMPTY;
}

struct MemorySource {
    const unsigned char *bytes;
    std::size_t length;
    std::size_t position;
};

long long read_memory(void *context, unsigned char *buffer, std::size_t size) {
    auto *source = static_cast<MemorySource *>(context);
    std::size_t count = std::min(size, source->length - source->position);
    if (count > 0) std::memcpy(buffer, source->bytes + source->position, count);
    source->position += count;
    return static_cast<long long>(count);
}

// The interface's numbers are the core's choices (the page passes them on as they are).
static_assert(static_cast<int>(EncodingChoice::BY_CONTENT) == MORVANE_ENCODING_BY_CONTENT &&
              static_cast<int>(EncodingChoice::SHIFT_JIS) == MORVANE_ENCODING_SHIFT_JIS &&
              static_cast<int>(EncodingChoice::UTF_8) == MORVANE_ENCODING_UTF_8);

constexpr morvane_options DEFAULT_OPTIONS = {MORVANE_ENCODING_BY_CONTENT, nullptr};

// The encoding asked for; false for a value the interface does not name.
bool encoding_chosen(const morvane_options *options, EncodingChoice &choice) {
    int asked = options == nullptr ? MORVANE_ENCODING_BY_CONTENT : options->encoding;
    choice = asked == MORVANE_ENCODING_SHIFT_JIS ? EncodingChoice::SHIFT_JIS
             : asked == MORVANE_ENCODING_UTF_8   ? EncodingChoice::UTF_8
                                                 : EncodingChoice::BY_CONTENT;
    return asked >= MORVANE_ENCODING_BY_CONTENT && asked <= MORVANE_ENCODING_UTF_8;
}

// Appends a line to the result's message, cut to what it holds.
void add_message_line(morvane_result &result, const char *format, auto... arguments) {
    std::size_t used = std::strlen(result.message);
    if (used > 0 && used + 1 < sizeof result.message) result.message[used++] = '\n';
    std::snprintf(result.message + used, sizeof result.message - used, format, arguments...);
}

// Hands the sink's bytes over as the output and fills in the result.
int finish(const Outcome &outcome, const char *name, MemorySink &sink, unsigned char **output,
           std::size_t *output_length, morvane_result &result) {
    if (sink.out_of_memory) {
        result.message[0] = '\0';
        add_message_line(result, "Not enough memory for %s", name);
        result.status = 1;
    } else {
        result.status =
            with_outcome_message(outcome, name, name, [&](const char *format, auto... arguments) {
                add_message_line(result, format, arguments...);
            });
    }
    if (sink.bytes == nullptr) sink.bytes = static_cast<unsigned char *>(std::malloc(1));
    *output = sink.bytes;
    *output_length = sink.bytes == nullptr ? 0 : sink.length;
    return result.status;
}

void clear(morvane_result &result) {
    result.status = 0;
    result.message[0] = '\0';
}

// The run's state, or nullptr with the result saying why.
template <typename State> State *allocate_or_say(const char *name, morvane_result &result) {
    auto *state = static_cast<State *>(std::malloc(sizeof(State)));
    if (state == nullptr) {
        add_message_line(result, "Not enough memory for %s", name);
        result.status = 1;
    }
    return state;
}

// The findings gathered into a growing array from malloc.
struct FindingList {
    morvane_finding *findings;
    std::size_t count;
    std::size_t capacity;
    bool out_of_memory;
};

// A new record at the list's end, or nullptr once memory has run out.
morvane_finding *new_record(FindingList &list) {
    if (list.out_of_memory) return nullptr;
    if (list.count == list.capacity) {
        std::size_t capacity = list.capacity == 0 ? 16 : list.capacity * 2;
        auto *grown = static_cast<morvane_finding *>(
            std::realloc(list.findings, capacity * sizeof(morvane_finding)));
        if (grown == nullptr) {
            list.out_of_memory = true;
            return nullptr;
        }
        list.findings = grown;
        list.capacity = capacity;
    }
    morvane_finding &added = list.findings[list.count++];
    added = {};
    return &added;
}

void add_finding(void *context, const Finding &finding) {
    morvane_finding *added = new_record(*static_cast<FindingList *>(context));
    if (added == nullptr) return;
    added->line = finding.start.line;
    added->column = finding.start.column;
    added->error = finding.error ? 1 : 0;
    std::snprintf(added->name, sizeof added->name, "%s", finding.name);
    std::snprintf(added->message, sizeof added->message, "%s", finding.message);
}

// A line that does not convert back: at the program line's number, its
// column the byte of its body, from 1.
void add_line_not_read_back(void *context, std::uint64_t line_number, int body_offset) {
    morvane_finding *added = new_record(*static_cast<FindingList *>(context));
    if (added == nullptr) return;
    added->line = line_number;
    added->column = static_cast<unsigned long long>(body_offset) + 1;
    std::snprintf(added->name, sizeof added->name, "not-read-back");
    with_line_not_read_back_message(
        line_number, body_offset, [&](const char *format, auto... arguments) {
            std::snprintf(added->message, sizeof added->message, format, arguments...);
        });
}

// Hands the records over, or none (and -1) if memory ran out on the way.
int hand_over(FindingList &list, morvane_finding **findings, std::size_t *count, int status) {
    if (list.out_of_memory) {
        std::free(list.findings);
        list = {nullptr, 0, 0, true};
    }
    *findings = list.findings;
    *count = list.count;
    return list.out_of_memory ? -1 : status;
}

// A message is built from records: errors before warnings, each line whole
// or not at all, with room kept for a last line that says how many did not
// fit, so that no error is lost to a cut.
constexpr std::size_t ROOM_FOR_LEFT_OUT = 48;
using MessageLine = char[sizeof(morvane_result::message)];

void add_whole_line(morvane_result &result, const char *line, std::size_t &left_out) {
    std::size_t used = std::strlen(result.message);
    std::size_t after = used + (used > 0 ? 1 : 0) + std::strlen(line);
    if (after + ROOM_FOR_LEFT_OUT >= sizeof result.message)
        left_out++;
    else
        add_message_line(result, "%s", line);
}

// The record's line as the command line prints it: a finding in
// morvane-check's form, a line not read back as the lister says it.
void record_line(const morvane_finding &record, const char *name, MessageLine &line) {
    if (std::strcmp(record.name, "not-read-back") == 0)
        std::snprintf(line, sizeof line, "%s", record.message);
    else
        std::snprintf(line, sizeof line, "%s:%llu:%llu: %s: %s [%s]", name, record.line,
                      record.column, record.error ? "error" : "warning", record.message,
                      record.name);
}

void add_records_to_message(morvane_result &result, const FindingList &list, const char *name) {
    std::size_t left_out = 0;
    MessageLine line;
    for (int error = 1; error >= 0; error--)
        for (std::size_t i = 0; i < list.count; i++) {
            if (list.findings[i].error != error) continue;
            record_line(list.findings[i], name, line);
            add_whole_line(result, line, left_out);
        }
    if (left_out > 0)
        add_message_line(result, "(%zu more line%s left out of this message)", left_out,
                         left_out == 1 ? "" : "s");
}

// Says which of the numbers is out of the range morvane-renum takes; false if none.
bool say_number_out_of_range(unsigned start, unsigned step, unsigned from, morvane_result &result) {
    const char *names[] = {"start", "step", "from"};
    unsigned values[] = {start, step, from};
    for (int i = 0; i < 3; i++) {
        unsigned lowest = i == 1 ? 1 : 0;
        if (values[i] >= lowest && values[i] <= 65535) continue;
        add_message_line(result, "%s takes a number from %u to 65535, not %u", names[i], lowest,
                         values[i]);
        result.status = 2;
        return true;
    }
    return false;
}

// The renumbering behind both of its entries: the output, the findings as
// records and the result; the message is left to the caller.
void renumber_into(const ListingText &listing, const char *name, RenumberOptions options,
                   unsigned char **renumbered, std::size_t *renumbered_length, FindingList &list,
                   morvane_result &result) {
    *renumbered = nullptr;
    *renumbered_length = 0;
    clear(result);
    MemorySink sink{nullptr, 0, 0, false};
    RenumberOutcome outcome = RenumberOutcome::REFUSED;
    if (!say_number_out_of_range(options.start, options.step, options.from, result))
        outcome = renumber_listing(listing, options, {write_memory, nullptr, &sink, reserve_memory},
                                   {add_finding, &list});
    // The memory sink refuses a write only for want of memory.
    if (outcome == RenumberOutcome::OUT_OF_MEMORY || outcome == RenumberOutcome::WRITE_FAILED)
        list.out_of_memory = true;
    if (list.out_of_memory) add_message_line(result, "Not enough memory for %s", name);
    if (outcome != RenumberOutcome::RENUMBERED || list.out_of_memory) {
        sink.length = 0;
        if (result.status == 0) result.status = 1;
    }
    if (sink.bytes == nullptr) sink.bytes = static_cast<unsigned char *>(std::malloc(1));
    *renumbered = sink.bytes;
    *renumbered_length = sink.bytes == nullptr ? 0 : sink.length;
}

// The listing behind both of the lister's entries: the lines that do not
// convert back gathered as records, the outcome in the result's message.
int list_into(const unsigned char *image, std::size_t image_length, const char *name,
              Encoding encoding, unsigned char **listing, std::size_t *listing_length,
              FindingList &list, Outcome &outcome, morvane_result &result) {
    image = bytes_or_empty(image);
    *listing = nullptr;
    *listing_length = 0;
    clear(result);
    auto *lister = allocate_or_say<Lister>(name, result);
    list.out_of_memory = lister == nullptr;
    if (lister == nullptr) return result.status;
    MemorySource source{image, image_length, 0};
    MemorySink sink{nullptr, 0, 0, false};
    outcome = start_listing(*lister, {read_memory, &source});
    if (outcome.kind == OutcomeKind::COMPLETE)
        outcome = list_records(*lister, {write_memory, truncate_memory, &sink},
                               {add_line_not_read_back, &list}, encoding);
    std::free(lister);
    list.out_of_memory = list.out_of_memory || sink.out_of_memory;
    return finish(outcome, name, sink, listing, listing_length, result);
}

} // namespace
} // namespace morvane

using namespace morvane;

namespace {

// Says that the options name no encoding; false if they do.
bool say_unknown_encoding(const morvane_options *options, EncodingChoice &choice,
                          morvane_result &result, int status) {
    if (encoding_chosen(options, choice)) return false;
    add_message_line(result,
                     "Unknown encoding %d: use MORVANE_ENCODING_UTF_8 or "
                     "MORVANE_ENCODING_SHIFT_JIS",
                     options->encoding);
    result.status = status;
    return true;
}

void list_with_message(const unsigned char *image, size_t image_length, const char *name,
                       Encoding encoding, unsigned char **listing, size_t *listing_length,
                       unsigned char *image_name, morvane_result &result) {
    FindingList list{nullptr, 0, 0, false};
    Outcome outcome{};
    list_into(image, image_length, name, encoding, listing, listing_length, list, outcome, result);
    if (image_name != nullptr) {
        std::memset(image_name, 0, NAME_LENGTH);
        if (outcome.kind == OutcomeKind::COMPLETE || outcome.kind == OutcomeKind::BROKEN_IMAGE)
            std::memcpy(image_name, image + LEAD_IN_LENGTH, NAME_LENGTH);
    }
    // Lines not read back that could not be kept: the listing is whole, its story is not.
    if (list.out_of_memory && result.status != 1) {
        clear(result);
        result.status = 1;
        add_message_line(result, "Not enough memory for %s", name);
    }
    // The outcome, an error, stands first; the lines not read back and the notes after it.
    std::size_t left_out = 0;
    MessageLine line;
    for (std::size_t i = 0; i < list.count; i++) {
        record_line(list.findings[i], name, line);
        add_whole_line(result, line, left_out);
    }
    if (result.status != 1 && outcome.kind == OutcomeKind::COMPLETE)
        with_listing_notes(outcome, [&](const char *format, auto... arguments) {
            std::snprintf(line, sizeof line, format, arguments...);
            add_whole_line(result, line, left_out);
        });
    if (left_out > 0)
        add_message_line(result, "(%zu more line%s left out of this message)", left_out,
                         left_out == 1 ? "" : "s");
    std::free(list.findings);
}

// The renumbering's records and result for a listing read in the encoding chosen.
void renumber_text_into(const unsigned char *listing, std::size_t length, const char *name,
                        RenumberOptions numbers, const morvane_options *options,
                        unsigned char **renumbered, std::size_t *renumbered_length,
                        FindingList &list, morvane_result &result) {
    EncodingChoice choice;
    if (say_unknown_encoding(options, choice, result, 2)) {
        *renumbered = static_cast<unsigned char *>(std::malloc(1));
        *renumbered_length = 0;
        return;
    }
    ListingText text;
    if (!read_listing_text(bytes_or_empty(listing), length, choice, text)) {
        list.out_of_memory = true;
        *renumbered = static_cast<unsigned char *>(std::malloc(1));
        *renumbered_length = 0;
        add_message_line(result, "Not enough memory for %s", name);
        result.status = 1;
        return;
    }
    renumber_into(text, name, numbers, renumbered, renumbered_length, list, result);
    free_listing_text(text);
}

} // namespace

extern "C" int morvane_renumber_with(const unsigned char *listing, size_t listing_length,
                                     const char *name, unsigned start, unsigned step, unsigned from,
                                     const morvane_options *options, unsigned char **renumbered,
                                     size_t *renumbered_length, morvane_result *result) {
    FindingList list{nullptr, 0, 0, false};
    morvane_result run{};
    renumber_text_into(listing, listing_length, name, {start, step, from}, options, renumbered,
                       renumbered_length, list, run);
    clear(*result);
    result->status = run.status;
    if (run.message[0] != '\0') add_message_line(*result, "%s", run.message);
    add_records_to_message(*result, list, name);
    std::free(list.findings);
    return result->status;
}

extern "C" int morvane_renumber(const unsigned char *listing, size_t listing_length,
                                const char *name, unsigned start, unsigned step, unsigned from,
                                unsigned char **renumbered, size_t *renumbered_length,
                                morvane_result *result) {
    return morvane_renumber_with(listing, listing_length, name, start, step, from, nullptr,
                                 renumbered, renumbered_length, result);
}

extern "C" int morvane_renumber_findings(const unsigned char *listing, size_t listing_length,
                                         unsigned start, unsigned step, unsigned from,
                                         unsigned char **renumbered, size_t *renumbered_length,
                                         morvane_finding **findings, size_t *count) {
    FindingList list{nullptr, 0, 0, false};
    morvane_result run{};
    renumber_text_into(listing, listing_length, "", {start, step, from}, nullptr, renumbered,
                       renumbered_length, list, run);
    return hand_over(list, findings, count, run.status);
}

extern "C" int morvane_check_with(const unsigned char *listing, size_t listing_length,
                                  const morvane_options *options, morvane_finding **findings,
                                  size_t *count) {
    FindingList list{nullptr, 0, 0, false};
    std::uint64_t found = 0;
    EncodingChoice choice;
    ListingText text;
    if (!encoding_chosen(options, choice)) {
        *findings = nullptr;
        *count = 0;
        return -1;
    }
    if (!read_listing_text(bytes_or_empty(listing), listing_length, choice, text) ||
        check_listing(text, {add_finding, &list}, found) != CheckOutcome::CHECKED)
        list.out_of_memory = true;
    free_listing_text(text);
    return hand_over(list, findings, count, list.count > 0 ? 1 : 0);
}

extern "C" int morvane_check(const unsigned char *listing, size_t listing_length,
                             morvane_finding **findings, size_t *count) {
    return morvane_check_with(listing, listing_length, nullptr, findings, count);
}

extern "C" int morvane_convert_with(const unsigned char *listing, size_t listing_length,
                                    const char *name, const morvane_options *options,
                                    unsigned char **image, size_t *image_length,
                                    morvane_result *result) {
    listing = bytes_or_empty(listing);
    *image = nullptr;
    *image_length = 0;
    clear(*result);
    MemorySource source{listing, listing_length, 0};
    MemorySink sink{nullptr, 0, 0, false};
    if (options == nullptr) options = &DEFAULT_OPTIONS;
    ConvertOptions convert_options;
    if (say_unknown_encoding(options, convert_options.encoding, *result, 1)) {
        *image = static_cast<unsigned char *>(std::malloc(1));
        return result->status;
    }
    if (options->image_name != nullptr) {
        NameProblem problem = image_name_from_argument(
            options->image_name, convert_options.encoding, convert_options.name);
        with_name_problem(problem, options->image_name, [&](const char *format, const char *text) {
            add_message_line(*result, format, text);
            result->status = 1;
        });
        if (problem != NameProblem::NONE) {
            *image = static_cast<unsigned char *>(std::malloc(1));
            return result->status;
        }
    }
    // Nothing is written, as the command line opens no image then.
    if (starts_like_image(listing, listing_length))
        return finish({OutcomeKind::IMAGE_AS_LISTING, 0, 0, 0}, name, sink, image, image_length,
                      *result);
    auto *converter = allocate_or_say<Converter>(name, *result);
    if (converter == nullptr) return result->status;
    Outcome outcome = convert(*converter, {read_memory, &source},
                              {write_memory, truncate_memory, &sink}, convert_options);
    std::free(converter);
    return finish(outcome, name, sink, image, image_length, *result);
}

extern "C" int morvane_convert(const unsigned char *listing, size_t listing_length,
                               const char *name, unsigned char **image, size_t *image_length,
                               morvane_result *result) {
    return morvane_convert_with(listing, listing_length, name, nullptr, image, image_length,
                                result);
}

extern "C" int morvane_list_with(const unsigned char *image, size_t image_length, const char *name,
                                 const morvane_options *options, unsigned char **listing,
                                 size_t *listing_length, unsigned char image_name[6],
                                 morvane_result *result) {
    EncodingChoice choice;
    clear(*result);
    if (say_unknown_encoding(options, choice, *result, 1)) {
        *listing = static_cast<unsigned char *>(std::malloc(1));
        *listing_length = 0;
        return result->status;
    }
    Encoding encoding = choice == EncodingChoice::UTF_8 ? Encoding::UTF_8 : Encoding::SHIFT_JIS;
    list_with_message(image, image_length, name, encoding, listing, listing_length, image_name,
                      *result);
    return result->status;
}

extern "C" int morvane_list(const unsigned char *image, size_t image_length, const char *name,
                            unsigned char **listing, size_t *listing_length,
                            morvane_result *result) {
    return morvane_list_with(image, image_length, name, nullptr, listing, listing_length, nullptr,
                             result);
}

extern "C" int morvane_list_findings(const unsigned char *image, size_t image_length,
                                     const char *name, unsigned char **listing,
                                     size_t *listing_length, morvane_finding **findings,
                                     size_t *count) {
    FindingList list{nullptr, 0, 0, false};
    morvane_result run{};
    Outcome outcome{};
    int status = list_into(image, image_length, name, Encoding::SHIFT_JIS, listing, listing_length,
                           list, outcome, run);
    if (status == 1) {
        if (morvane_finding *outcome = new_record(list)) {
            outcome->error = 1;
            std::snprintf(outcome->name, sizeof outcome->name, "image");
            constexpr int room = sizeof outcome->message - 1;
            std::snprintf(outcome->message, sizeof outcome->message, "%.*s", room, run.message);
        }
    }
    return hand_over(list, findings, count, status);
}

extern "C" void morvane_free(void *buffer) {
    std::free(buffer);
}

extern "C" const char *morvane_version(void) {
    return MORVANE_FULL_VERSION;
}
