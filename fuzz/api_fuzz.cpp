// libFuzzer target for the library's C interface: converting and listing
// arbitrary bytes gives what the programs' own way through the core gives
// (a run reading its file in pieces of any size, as from a pipe, writing a
// file that takes back a broken record's line, the message printed from
// the outcome), bytes, status and message alike.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/basic/image_format.h"
#include "core/convert/convert_run.h"
#include "core/io/run_messages.h"
#include "core/list/list_run.h"
#include "in_memory.h"

using namespace morvane;

namespace {

struct Pieces {
    const std::uint8_t *bytes;
    std::size_t size;
    std::size_t position;
    std::size_t piece; // how many bytes a read gives at the most
};

long long read_pieces(void *context, unsigned char *buffer, std::size_t size) {
    auto *source = static_cast<Pieces *>(context);
    std::size_t count = std::min({size, source->size - source->position, source->piece});
    std::memcpy(buffer, source->bytes + source->position, count);
    source->position += count;
    return static_cast<long long>(count);
}

bool write_string(void *context, const unsigned char *bytes, std::size_t size) {
    static_cast<std::string *>(context)->append(reinterpret_cast<const char *>(bytes), size);
    return true;
}

bool truncate_string(void *context, std::uint64_t position) {
    static_cast<std::string *>(context)->resize(static_cast<std::size_t>(position));
    return true;
}

void add_line(std::string &message, const char *format, auto... arguments) {
    char line[MESSAGE_ROOM];
    std::snprintf(line, sizeof line, format, arguments...);
    message += (message.empty() ? "" : "\n") + std::string(line);
}

void add_line_not_read_back(void *context, std::uint64_t line_number, int body_offset) {
    with_line_not_read_back_message(line_number, body_offset, [&](const char *f, auto... a) {
        add_line(*static_cast<std::string *>(context), f, a...);
    });
}

Converter converter;
Lister lister;

// The run as a program makes it, on the bytes given in pieces.
::Outcome run_by_pieces(bool listing, const std::uint8_t *data, std::size_t size,
                        std::size_t piece) {
    Pieces pieces{data, size, 0, piece};
    std::string output, message;
    Sink sink{write_string, truncate_string, &output};
    morvane::Outcome outcome{};
    if (!listing && starts_like_image(data, size)) {
        outcome = {OutcomeKind::IMAGE_AS_LISTING, 0, 0, 0}; // refused before the output is opened
    } else if (!listing) {
        outcome = convert(converter, {read_pieces, &pieces}, sink);
    } else {
        outcome = start_listing(lister, {read_pieces, &pieces});
        if (outcome.kind == OutcomeKind::COMPLETE)
            outcome = list_records(lister, sink, {add_line_not_read_back, &message});
    }
    auto print = [&](const char *f, auto... a) { add_line(message, f, a...); };
    if (outcome.kind == OutcomeKind::COMPLETE) with_listing_notes(outcome, print);
    int status = with_outcome_message(outcome, "input", "input", print);
    return {status, output, message};
}

std::vector<std::string> lines_of(const std::string &message) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < message.size();) {
        std::size_t end = std::min(message.find('\n', at), message.size());
        lines.push_back(message.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// The library's message holds the run's lines whole, the failure first
// (the program prints it last), as many as fit in 511 bytes, then a line
// that counts those left out.
void require_same(const ::Outcome &api, const ::Outcome &run, const char *what) {
    require(api.status == run.status && api.output == run.output, what);
    std::vector<std::string> expected = lines_of(run.message), got = lines_of(api.message);
    if (run.status == 1 && expected.size() > 1)
        std::rotate(expected.begin(), expected.end() - 1, expected.end());
    std::size_t left_out = 0;
    const std::string tail = " left out of this message)";
    if (!got.empty() && got.back().size() > tail.size() &&
        got.back().compare(got.back().size() - tail.size(), tail.size(), tail) == 0) {
        left_out = std::strtoull(got.back().c_str() + 1, nullptr, 10);
        got.pop_back();
    }
    require(api.message.size() < MESSAGE_ROOM && got.size() + left_out == expected.size() &&
                std::equal(got.begin(), got.end(), expected.begin()),
            what);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::size_t piece = size == 0 ? 1 : 1 + data[0] % 97;
    require_same(convert_in_memory(data, size), run_by_pieces(false, data, size, piece),
                 "morvane_convert gives what the program's run gives");
    require_same(list_in_memory(data, size), run_by_pieces(true, data, size, piece),
                 "morvane_list gives what the program's run gives");
    return 0;
}
