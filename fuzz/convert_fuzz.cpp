// libFuzzer target: converts a listing held in memory into an image in
// memory, and checks properties every image must have. The lines are
// counted on the bytes as they stand, so the listing is read as Shift_JIS
// (utf8_fuzz reads UTF-8); read by its bytes, it gives the same image
// unless it is UTF-8.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/basic/line_text.h"
#include "core/text/unicode_text.h"
#include "in_memory.h"
#include "morvane.h"

namespace {

using morvane::LONGEST_LINE;

// The length of each line's text as the listing's text rules cut it: a
// byte-order mark at the start skipped, carriage returns dropped, 0x1A ends
// the input, at most 1,023 bytes, the text ending at the line feed or a 0x00.
std::vector<std::size_t> line_text_lengths(const std::uint8_t *data, std::size_t size) {
    std::vector<std::size_t> lengths;
    std::size_t length = 0, text = 0;
    bool text_ended = false;
    std::size_t start = size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    for (std::size_t i = start; i < size && data[i] != 0x1A; i++) {
        if (data[i] == '\r') continue;
        length++;
        if (data[i] == '\n' || data[i] == 0) text_ended = true;
        if (!text_ended) text++;
        if (data[i] == '\n' || length == LONGEST_LINE) {
            lengths.push_back(text);
            length = text = 0;
            text_ended = false;
        }
    }
    if (length > 0) lengths.push_back(text);
    return lengths;
}

const char HEADER[] = "\xD3\xD3\xD3\xD3\xD3\xD3\xD3\xD3\xD3\xD3mrv\0\0";

void check_image(const Outcome &outcome, const std::vector<std::size_t> &lines) {
    const std::string &image = outcome.output;
    require(image.size() >= 16 && std::memcmp(image.data(), HEADER, 16) == 0, "header");
    std::size_t end = image.size();
    if (outcome.status == 0) {
        require(end >= 28 && image.compare(end - 12, 12, std::string(12, '\0')) == 0, "trailer");
        end -= 12;
    }
    std::size_t records = 0;
    for (std::size_t at = 16; at < end; records++) {
        require(end - at >= 5 && image.compare(at, 2, "\xFF\xFF") == 0, "record head");
        std::size_t terminator = image.find('\0', at + 4);
        require(terminator < end, "record ends with 0x00");
        require(records < lines.size(), "one record per line");
        require(terminator - (at + 4) <= lines[records], "body no longer than the line");
        at = terminator + 1;
    }
    if (outcome.status == 0) require(records == lines.size(), "every line has its record");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Outcome first = convert_in_memory(data, size, MORVANE_ENCODING_SHIFT_JIS);
    Outcome by_content = convert_in_memory(data, size);
    if (morvane::listing_encoding(data, size) == morvane::Encoding::SHIFT_JIS)
        require(by_content.output == first.output && by_content.status == first.status,
                "a listing the rule reads as Shift_JIS converts as with --encoding=shift_jis");
    // An image given as the listing is refused before anything is written.
    if (size >= 10 && std::memcmp(data, HEADER, 10) == 0) {
        require(first.status == 1 && first.output.empty(), "an image as the listing is refused");
        return 0;
    }
    check_image(first, line_text_lengths(data, size));
    if (first.status == 0) {
        Outcome second = convert_in_memory(data, size, MORVANE_ENCODING_SHIFT_JIS);
        require(second.status == 0 && second.output == first.output, "same image a second time");
    }
    return 0;
}
