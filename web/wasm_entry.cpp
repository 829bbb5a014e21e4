// The page's way into the core: a conversion, a listing, a check or a
// renumbering of bytes held in memory, with the result kept for the page
// to collect. Findings travel as text, one a line: LINE, COLUMN, SEVERITY,
// NAME and MESSAGE separated by tabs.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <emscripten/emscripten.h>

#include "core/basic/keyword_table.h"
#include "core/io/memory_sink.h"
#include "core/list/body_decoder.h"
#include "core/list/image_name.h"
#include "core/renum/renumber_listing.h"
#include "core/text/listing_decoding.h"
#include "core/text/utf8_listing.h"
#include "morvane.h"

namespace {

// The last run's output and result, until the next run.
unsigned char *result = nullptr;
std::size_t result_size = 0;
morvane_result outcome;

morvane::MemorySink findings{nullptr, 0, 0, false};

void gather_finding(void *, const morvane::Finding &finding) {
    char line[400];
    int length = std::snprintf(line, sizeof line, "%llu\t%llu\t%s\t%s\t%s\n",
                               static_cast<unsigned long long>(finding.start.line),
                               static_cast<unsigned long long>(finding.start.column),
                               finding.error ? "error" : "warning", finding.name, finding.message);
    morvane::write_memory(&findings, reinterpret_cast<const unsigned char *>(line),
                          static_cast<std::size_t>(length));
}

void start_run() {
    morvane_free(result);
    result = nullptr;
    result_size = 0;
    findings.length = 0;
}

// The image's name as --name takes it (UTF-8), after a listing; "" when
// it is the converter's own or no --name gives it.
char image_name[32];

} // namespace

extern "C" {

// The encodings are morvane_encoding's values: 0 by the listing's bytes,
// 1 Shift_JIS, 2 UTF-8. name_of_image is "" for the converter's own name.
EMSCRIPTEN_KEEPALIVE int convert_listing_bytes(const char *name, unsigned char *data, int size,
                                               int encoding, const char *name_of_image) {
    start_run();
    morvane_options options{encoding, name_of_image[0] == '\0' ? nullptr : name_of_image};
    return morvane_convert_with(data, static_cast<std::size_t>(size), name, &options, &result,
                                &result_size, &outcome);
}

// Lists in the encoding asked; the image's name goes to listed_image_name.
EMSCRIPTEN_KEEPALIVE int list_image_bytes(const char *name, unsigned char *data, int size,
                                          int encoding) {
    start_run();
    morvane_options options{encoding, nullptr};
    morvane::ImageName field{};
    int status = morvane_list_with(data, static_cast<std::size_t>(size), name, &options, &result,
                                   &result_size, field.bytes, &outcome);
    image_name[0] = '\0';
    unsigned char text[morvane::NAME_TEXT_ROOM];
    int length = morvane::is_default_name(field) ? -1 : morvane::name_text(field, text);
    if (length > 0)
        morvane::shift_jis_name_as_utf8(text, static_cast<std::size_t>(length),
                                        reinterpret_cast<unsigned char *>(image_name));
    return status;
}

EMSCRIPTEN_KEEPALIVE const char *listed_image_name() {
    return image_name;
}

// 0 for Shift_JIS, 1 for UTF-8, by the rule every program reads listings by.
EMSCRIPTEN_KEEPALIVE int listing_encoding_of(const unsigned char *data, int size) {
    return morvane::listing_encoding(data, static_cast<std::size_t>(size)) ==
                   morvane::Encoding::UTF_8
               ? 1
               : 0;
}

// A Shift_JIS listing as UTF-8 text to show, into the result: it reads back
// into the same bytes, but for characters the set lacks, shown as themselves.
EMSCRIPTEN_KEEPALIVE void shift_jis_as_text(const unsigned char *data, int size) {
    start_run();
    auto length = static_cast<std::size_t>(size);
    result = static_cast<unsigned char *>(std::malloc(3 * length + 1));
    if (result == nullptr) return;
    result_size = morvane::shift_jis_text_as_utf8(data, length, result, true);
}

// A listing's text (UTF-8) as the Shift_JIS bytes that spell it, into the
// result: -1 when done, else the UTF-8 offset of the first character that
// has no Shift_JIS bytes (nothing in the result), -2 if memory ran out.
EMSCRIPTEN_KEEPALIVE int listing_as_shift_jis(const unsigned char *data, int size) {
    start_run();
    morvane::ListingText text;
    if (!morvane::read_listing_text(data, static_cast<std::size_t>(size),
                                    morvane::EncodingChoice::UTF_8, text))
        return -2;
    int outcome = -1;
    for (std::size_t i = 0; i < text.anchor_count && outcome == -1; i++)
        if (text.anchors[i].width == morvane::OUTSIDE_SET_WIDTH)
            outcome = static_cast<int>(text.anchors[i].file);
    if (outcome == -1) {
        result = static_cast<unsigned char *>(std::malloc(text.length + 1));
        if (result == nullptr)
            outcome = -2;
        else {
            std::memcpy(result, text.text, text.length);
            result_size = text.length;
        }
    }
    morvane::free_listing_text(text);
    return outcome;
}

// Renumbers into the result, in the encoding it read, the findings to
// findings_text; returns 0 renumbered, 1 refused (nothing in the result).
EMSCRIPTEN_KEEPALIVE int renumber_listing_bytes(unsigned char *data, int size, int start, int step,
                                                int encoding) {
    start_run();
    morvane::MemorySink renumbered{nullptr, 0, 0, false};
    morvane::RenumberOptions options{static_cast<std::uint32_t>(start),
                                     static_cast<std::uint32_t>(step), 0};
    morvane::ListingText text;
    auto choice = static_cast<morvane::EncodingChoice>(encoding);
    if (!morvane::read_listing_text(data, static_cast<std::size_t>(size), choice, text)) return 1;
    morvane::RenumberOutcome renumber_outcome = morvane::renumber_listing(
        text, options, morvane::memory_sink(renumbered), {gather_finding, nullptr});
    morvane::free_listing_text(text);
    if (renumber_outcome != morvane::RenumberOutcome::RENUMBERED) {
        std::free(renumbered.bytes);
        return 1;
    }
    result = renumbered.bytes;
    result_size = renumbered.length;
    return 0;
}

EMSCRIPTEN_KEEPALIVE const unsigned char *result_bytes() {
    return result;
}

EMSCRIPTEN_KEEPALIVE int result_length() {
    return static_cast<int>(result_size);
}

// What the command line would print on standard error, without the last line feed.
EMSCRIPTEN_KEEPALIVE const char *result_message() {
    return outcome.message;
}

EMSCRIPTEN_KEEPALIVE const char *findings_text() {
    // Ended with a 0x00 that is not counted, for the page to read as a string.
    if (!morvane::write_memory(&findings, reinterpret_cast<const unsigned char *>(""), 1))
        return "";
    findings.length--;
    return reinterpret_cast<const char *>(findings.bytes);
}

// The keyword a byte of a record body stands for, or "" if it is no token.
EMSCRIPTEN_KEEPALIVE const char *token_name_of(int byte) {
    static char name[17];
    morvane::TokenName token = morvane::token_name(static_cast<unsigned char>(byte));
    if (token.name == nullptr) return "";
    std::memcpy(name, token.name, static_cast<std::size_t>(token.length));
    name[token.length] = '\0';
    return name;
}

// What each byte of a record body is, as the tokenizer wrote it: 1 for a
// token, 0 for text (strings, DATA items and remarks are text, and so is
// each byte of a pair 0x14 and a code).
EMSCRIPTEN_KEEPALIVE void record_byte_kinds(const unsigned char *body, int length,
                                            unsigned char *kinds) {
    morvane::BodyDecoder decoder;
    unsigned char text[2 * morvane::LONGEST_STEP_TEXT];
    for (int at = 0; at < length;) {
        bool statements = decoder.state == morvane::BodyState::NORMAL;
        morvane::DecodedStep step = morvane::decode_step(
            decoder, body[at], at + 1 < length ? body[at + 1] : -1, false, text);
        for (int k = 0; k < step.used && at + k < length; k++)
            kinds[at + k] = k == 0 && statements && step.token_by_name ? 1 : 0;
        at += step.used;
    }
}
}
