// The scanner held to the converter: each line's record body rebuilt from
// the scanner's items (tokens for keywords, the rest copied, upper-cased
// outside strings, DATA and remarks) must be the body the converter wrote,
// through its own fast paths. Shared by the scanner's property test and its
// fuzz target.
#pragma once

#include <cstring>
#include <new>
#include <string>

#include "core/basic/line_text.h"
#include "core/basic/listing_front.h"
#include "core/basic/scanner.h"
#include "morvane.h"

namespace scan_reading {

// The body the scanner's items give, and whether the line holds a label,
// which the converter reads as letters and the scanner as renumbering does:
// then only the body up to the label is the scanner's to tell.
struct Rebuilt {
    std::string body;
    bool labelled;
    unsigned number; // the line number's low 16 bits, as the record stores it
};

inline Rebuilt rebuild(const morvane::FrontLine &line) {
    using morvane::ItemKind;
    Rebuilt rebuilt{"", false, 0};
    const unsigned char *text = line.text;
    morvane::LineScan scan;
    morvane::start_line_scan(scan, text);
    int at = 0;
    morvane::Item item;
    bool more = morvane::scan_item(scan, item);
    if (more && item.kind == ItemKind::LINE_NUMBER) {
        bool over = false;
        rebuilt.number = morvane::wrapped_line_number(text, item, over) & 0xFFFF;
        at = item.end;
        more = morvane::scan_item(scan, item);
    }
    // One space after the number, or at the start of a line without one,
    // separates it from the statements.
    if (text[at] == ' ') at++;
    for (; more; more = morvane::scan_item(scan, item)) {
        if (item.kind == ItemKind::LABEL) {
            rebuilt.labelled = true;
            break;
        }
        rebuilt.body.append(reinterpret_cast<const char *>(text) + at, item.start - at);
        bool as_written = item.kind == ItemKind::STRING || item.kind == ItemKind::DATA ||
                          item.kind == ItemKind::REMARK;
        if (item.kind == ItemKind::KEYWORD)
            rebuilt.body += static_cast<char>(item.token);
        else
            for (int k = item.start; k < item.end; k++)
                rebuilt.body +=
                    static_cast<char>(as_written ? text[k] : morvane::to_upper(text[k]));
        at = item.end;
    }
    if (!rebuilt.labelled)
        while (!morvane::is_line_end(text[at]))
            rebuilt.body += static_cast<char>(text[at++]);
    return rebuilt;
}

// "" when every record the converter wrote is the one the scanner's items
// give for its line, else what differs.
inline std::string differences(const std::string &listing) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(listing.data());
    unsigned char *image = nullptr;
    std::size_t image_length = 0;
    morvane_result result;
    // The scanner reads the bytes as Shift_JIS; so must the converter here.
    morvane_options shift_jis{MORVANE_ENCODING_SHIFT_JIS, nullptr};
    morvane_convert_with(bytes, listing.size(), "L", &shift_jis, &image, &image_length, &result);
    std::string records(reinterpret_cast<char *>(image), image_length);
    morvane_free(image);
    auto *front = new morvane::ListingFront;
    auto *line = new morvane::FrontLine;
    morvane::start_listing_front(*front, bytes, listing.size());
    std::string found;
    std::size_t at = 16;
    for (int index = 0; found.empty() && at + 4 <= records.size() && records[at] == '\xFF' &&
                        morvane::read_next_line(*front, *line);
         index++) {
        std::size_t end = records.find('\0', at + 4);
        if (end == std::string::npos) break;
        std::string body = records.substr(at + 4, end - at - 4);
        unsigned number = static_cast<unsigned char>(records[at + 2]) +
                          256u * static_cast<unsigned char>(records[at + 3]);
        Rebuilt rebuilt = rebuild(*line);
        bool same = rebuilt.labelled ? body.compare(0, rebuilt.body.size(), rebuilt.body) == 0
                                     : body == rebuilt.body && number == rebuilt.number;
        if (!same)
            found = "line " + std::to_string(index + 1) + ": the converter wrote " + body + " (" +
                    std::to_string(number) + "), the items give " + rebuilt.body + " (" +
                    std::to_string(rebuilt.number) + ")";
        at = end + 1;
    }
    delete line;
    delete front;
    return found;
}

} // namespace scan_reading
