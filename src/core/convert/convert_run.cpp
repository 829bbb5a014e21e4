#include "core/convert/convert_run.h"

#include "core/convert/convert_image.h"
#include "core/convert/line_number.h"
#include "core/convert/tokenizer.h"

namespace morvane {
namespace {

void start_conversion(Converter &converter, Source listing, Sink image, EncodingChoice encoding) {
    start_decoding_source(converter.decoding, listing, encoding);
    start_line_reader(converter.reader, decoding_source(converter.decoding));
    start_output(converter.output, image);
    converter.previous_line_number = -1;
    converter.current_line_number = 0;
}

// Converts a loaded line into its record; false if its number is not above
// the previous line's.
bool convert_line(Converter &converter, const unsigned char *text) {
    const unsigned char *statements = read_line_number(text, converter.current_line_number);
    if (converter.previous_line_number >= converter.current_line_number) return false;
    converter.previous_line_number = converter.current_line_number;
    // The whole record is stored straight into the block, which has room for it.
    OutputBlock &output = converter.output;
    reserve_output_room(output, RECORD_HEAD_LENGTH + BODY_ROOM);
    unsigned char *body = store_record_head(
        output.bytes + output.fill, static_cast<std::uint32_t>(converter.current_line_number));
    unsigned char *end = tokenize_statements(statements, body);
    output.fill = static_cast<std::size_t>(end - output.bytes);
    return true;
}

// Converts line after line; the kind of failure that stopped it, if any.
OutcomeKind convert_lines(Converter &converter) {
    for (const unsigned char *text = load_next_line(converter.reader); text != nullptr;
         text = load_next_line(converter.reader)) {
        if (!convert_line(converter, text)) return OutcomeKind::ILLEGAL_LINE_NUMBER;
        if (converter.output.failed) return OutcomeKind::WRITE_FAILED;
    }
    if (converter.reader.unconvertible) return OutcomeKind::ILLEGAL_CHARACTER;
    if (converter.reader.read_failed) return OutcomeKind::READ_FAILED;
    return OutcomeKind::COMPLETE;
}

} // namespace

Outcome convert(Converter &converter, Source listing, Sink image, const ConvertOptions &options) {
    start_conversion(converter, listing, image, options.encoding);
    write_header(converter.output, options.name);
    OutcomeKind kind = convert_lines(converter);
    if (converter.decoding.out_of_memory) kind = OutcomeKind::OUT_OF_MEMORY;
    end_decoding_source(converter.decoding);
    if (kind == OutcomeKind::COMPLETE) write_trailer(converter.output);
    // What is gathered is written also after a failure; a refusal then is
    // not what the run failed of.
    if (!flush_output(converter.output) && kind == OutcomeKind::COMPLETE)
        kind = OutcomeKind::WRITE_FAILED;
    return {kind, converter.current_line_number, 0, 0};
}

} // namespace morvane
