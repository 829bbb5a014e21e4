#include "core/list/list_run.h"

#include <cstdio>
#include <cstring>

#include "core/list/body_decoder.h"
#include "core/list/image_name.h"
#include "core/list/line_number_text.h"
#include "core/list/list_decode.h"

namespace morvane {
namespace {

// The converter needs numbers that increase, and stores their low 16 bits:
// a record's number is the lowest above the previous line's with its low
// 16 bits, so 0 after 1 is written as 65536, which is stored as 0 again.
std::uint64_t number_above(std::uint64_t previous_plus_one, std::uint16_t stored) {
    std::uint64_t number = (previous_plus_one & ~std::uint64_t{0xFFFF}) | stored;
    return number < previous_plus_one ? number + 0x10000 : number;
}

// The largest line number the converter accepts: it compares them as
// signed 32-bit values.
constexpr std::uint64_t LARGEST_LINE_NUMBER = 0x7FFFFFFF;

void tell_not_read_back(Lister &lister, std::uint64_t line_number, int body_offset) {
    lister.lines_not_read_back++;
    lister.notices.line_not_read_back(lister.notices.context, line_number, body_offset);
}

ListedLine list_short(OutputBlock &output, std::uint64_t line_number, const unsigned char *body,
                      int length) {
    reserve_output_room(output, LISTED_LINE_ROOM);
    ListedLine listed = list_short_record(line_number, body, length, output.bytes + output.fill);
    output.fill += static_cast<std::size_t>(listed.length);
    return listed;
}

// A body too long for any listing line is decoded as it comes, every token
// by name; there is no line it could read back from, so nothing is checked
// but where the line passes the most the converter reads of it.
ListedLine list_long(Lister &lister, std::uint64_t line_number) {
    OutputBlock &output = lister.output;
    reserve_output_room(output, LONGEST_LINE_NUMBER_TEXT + 1);
    int written = write_line_number(line_number, output.bytes + output.fill);
    output.fill += static_cast<std::size_t>(written);
    write_byte(output, ' ');
    written++;
    ListedLine listed{0, -1};
    BodyDecoder decoder;
    int offset = 0;
    int b = next_body_byte(lister.reader);
    for (; b >= 0; b = next_body_byte(lister.reader)) {
        reserve_output_room(output, LONGEST_STEP_TEXT);
        int next = peek_body_byte(lister.reader);
        DecodedStep step = decode_step(decoder, static_cast<unsigned char>(b), next, false,
                                       output.bytes + output.fill);
        output.fill += static_cast<std::size_t>(step.written);
        written += step.written;
        if (listed.broken_at < 0 && written > LONGEST_LINE) listed.broken_at = offset;
        offset += step.used;
        if (step.used == 2) next_body_byte(lister.reader);
    }
    write_byte(output, '\n');
    listed.length = written + 1;
    return listed;
}

} // namespace

Outcome start_listing(Lister &lister, Source image) {
    if (read_image_header(lister.reader, image))
        std::memcpy(lister.name.bytes, lister.reader.block + LEAD_IN_LENGTH, NAME_LENGTH);
    return {lister.reader.failure, 0, lister.reader.broken_at, 0};
}

namespace {

// Notes the image's name unless it is the converter's own: as --name
// takes it, in the listing's encoding, or as its bytes in hex.
void note_name(const ImageName &name, Encoding encoding, Outcome &outcome) {
    if (is_default_name(name)) return;
    outcome.notes |= NAMED_IMAGE;
    unsigned char text[NAME_TEXT_ROOM];
    int length = name_text(name, text);
    if (length < 0) {
        outcome.notes |= NAME_NOT_GIVEN;
        std::size_t used = 0;
        for (int i = 0; i < NAME_LENGTH; i++)
            used += static_cast<std::size_t>(
                std::snprintf(outcome.name + used, sizeof outcome.name - used,
                              i == 0 ? "0x%02X" : " 0x%02X", name.bytes[i]));
    } else if (encoding == Encoding::UTF_8) {
        shift_jis_name_as_utf8(text, static_cast<std::size_t>(length),
                               reinterpret_cast<unsigned char *>(outcome.name));
    } else {
        std::memcpy(outcome.name, text, static_cast<std::size_t>(length) + 1);
        // morvane reads --name's bytes by the same rule as a listing's.
        if (listing_encoding(text, static_cast<std::size_t>(length)) == Encoding::UTF_8)
            outcome.notes |= NAME_AS_SHIFT_JIS;
    }
}

} // namespace

Outcome list_records(Lister &lister, Sink listing, LineNotices notices, Encoding encoding) {
    Sink written = encoding == Encoding::UTF_8 ? utf8_listing_sink(lister.utf8, listing)
                                               : sniffed_listing_sink(lister.sniffed, listing);
    start_output(lister.output, written);
    lister.notices = notices;
    lister.lines_not_read_back = 0;
    std::uint64_t lowest_number = 0; // the lowest the next line may have
    ImageReader &reader = lister.reader;
    for (std::uint16_t stored = 0;;) {
        lister.line_start = output_position(lister.output);
        RecordHead head = read_record_head(reader, stored);
        if (head != RecordHead::RECORD) break;
        std::uint64_t line_number = number_above(lowest_number, stored);
        const unsigned char *body = nullptr;
        int length = read_short_body(reader, body, LONGEST_CHECKED_BODY);
        if (length == BODY_FAILED) break;
        ListedLine listed = length >= 0 ? list_short(lister.output, line_number, body, length)
                                        : list_long(lister, line_number);
        if (reader.failure != OutcomeKind::COMPLETE) break;
        if (line_number > LARGEST_LINE_NUMBER) listed.broken_at = 0;
        if (listed.broken_at >= 0) tell_not_read_back(lister, line_number, listed.broken_at);
        if (lister.output.failed) break;
        lowest_number = line_number + 1;
    }
    OutcomeKind kind = reader.failure;
    if (kind == OutcomeKind::BROKEN_IMAGE) take_output_back_to(lister.output, lister.line_start);
    if (kind == OutcomeKind::COMPLETE && lister.output.failed) kind = OutcomeKind::WRITE_FAILED;
    bool flushed = flush_output(lister.output);
    if (encoding == Encoding::UTF_8) flushed = finish_utf8_listing(lister.utf8) && flushed;
    if (!flushed && kind == OutcomeKind::COMPLETE) kind = OutcomeKind::WRITE_FAILED;
    Outcome outcome{kind, 0, reader.broken_at, lister.lines_not_read_back};
    if (kind != OutcomeKind::COMPLETE) return outcome;
    note_name(lister.name, encoding, outcome);
    if (encoding == Encoding::SHIFT_JIS &&
        sniffed_encoding(lister.sniffed.sniffer) == Encoding::UTF_8)
        outcome.notes |= READS_AS_UTF8;
    return outcome;
}

} // namespace morvane
