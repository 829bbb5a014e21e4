// libFuzzer target for UTF-8 listings: the bytes, two at a time, chosen
// code points (ASCII, kana, full-width forms, the bytes of U+F700 up, and
// any other), written as a UTF-8 listing. The checker names an error
// exactly when the converter fails (for a listing without labels); a
// character the target set lacks never gives a complete image; a complete
// image lists in UTF-8 into a listing that converts back into it.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/text/unicode_text.h"
#include "in_memory.h"
#include "morvane.h"

namespace {

const std::uint8_t *bytes_of(const std::string &text) {
    return reinterpret_cast<const std::uint8_t *>(text.data());
}

// The code point two bytes stand for: the first picks the range.
std::uint32_t code_point_of(std::uint8_t range, std::uint8_t at) {
    switch (range % 8) {
    case 0:
    case 1:
    case 2:
        return at % 0x80; // ASCII, most of a program
    case 3:
        return 0x3000 + at; // punctuation, hiragana, katakana
    case 4:
        return 0xFF00 + at % 0xF0; // full-width and half-width forms
    case 5:
        return 0xF700 + at; // bytes without a character
    case 6:
        return 0x4E00 + at * 37u; // kanji, most of them outside the set
    default:
        return 0x80 + at * 5u; // Latin, Greek, Cyrillic
    }
}

bool in_set_or_ascii(std::uint32_t code_point) {
    if (code_point >= morvane::RAW_BYTE_BASE && code_point < morvane::FIRST_RAW_BYTE) return false;
    return morvane::shift_jis_spelling(code_point) != morvane::NOT_IN_SET;
}

bool check_finds_an_error(const std::string &listing, bool &labels) {
    morvane_finding *findings = nullptr;
    std::size_t count = 0;
    morvane_options utf8{MORVANE_ENCODING_UTF_8, nullptr};
    require(morvane_check_with(bytes_of(listing), listing.size(), &utf8, &findings, &count) >= 0,
            "memory for the findings");
    bool error = false;
    labels = false;
    for (std::size_t i = 0; i < count; i++) {
        error = error || findings[i].error;
        labels = labels || std::strcmp(findings[i].name, "labels") == 0;
    }
    morvane_free(findings);
    return error;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string listing;
    bool outside = false;
    // What follows a 0x00 on its line, and everything after 0x1A, is never
    // converted; a line may be cut after 1,023 bytes, each character here
    // at most two, and its rest converted as the next line.
    bool after_nul = false, ended = false;
    std::size_t on_line = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        std::uint32_t code_point = code_point_of(data[i], data[i + 1]);
        // The byte-order mark's character is no text of a line.
        if (code_point == 0xFEFF || (code_point >= 0xD800 && code_point <= 0xDFFF)) continue;
        if (code_point == '\n') after_nul = false, on_line = 0;
        after_nul = after_nul || code_point == 0x00;
        ended = ended || code_point == 0x1A;
        bool converted = !after_nul && !ended && ++on_line < 500;
        outside = outside || (converted && !in_set_or_ascii(code_point));
        unsigned char bytes[4];
        listing.append(reinterpret_cast<char *>(bytes), morvane::encode_utf8(code_point, bytes));
    }
    Outcome image = convert_in_memory(bytes_of(listing), listing.size(), MORVANE_ENCODING_UTF_8);
    if (outside) require(image.status != 0, "a character outside the set never completes");
    bool labels = false;
    bool error = check_finds_an_error(listing, labels);
    if (!labels && !(listing.size() >= 10 && listing.compare(0, 10, std::string(10, '\xD3')) == 0))
        require(error == (image.status != 0),
                "the checker finds an error exactly when converting fails");
    if (image.status != 0) return 0;
    require_utf8_round_trip(image.output);
    return 0;
}
