#include "lsp/document.h"

#include <algorithm>

namespace morvane::lsp {
namespace {

// The bytes of the UTF-8 character that starts with b (1 for a byte that
// starts none, which the protocol's text never holds).
std::size_t character_bytes(unsigned char b) {
    return b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
}

std::uint64_t character_units(std::size_t bytes, Units units) {
    if (units == Units::UTF8) return bytes;
    return bytes == 4 ? 2 : 1;
}

// The offset where the line's text ends, before its line end.
std::size_t line_content_end(const Document &document, std::uint64_t line) {
    if (line + 1 >= document.line_starts.size()) return document.text.size();
    std::size_t end = document.line_starts[line + 1] - 1; // the line end's last byte
    if (document.text[end] == '\n' && end > document.line_starts[line] &&
        document.text[end - 1] == '\r')
        end--;
    return end;
}

void find_line_starts(Document &document) {
    const std::string &text = document.text;
    document.line_starts.assign(1, 0);
    for (std::size_t at = 0; at < text.size(); at++) {
        char c = text[at];
        if (c == '\n' || (c == '\r' && (at + 1 >= text.size() || text[at + 1] != '\n')))
            document.line_starts.push_back(at + 1);
    }
}

} // namespace

void set_text(Document &document, std::string text) {
    document.text = std::move(text);
    find_line_starts(document);
}

std::size_t offset_of(const Document &document, Position position, Units units) {
    if (position.line >= document.line_starts.size()) return document.text.size();
    std::size_t at = document.line_starts[position.line];
    std::size_t end = line_content_end(document, position.line);
    for (std::uint64_t units_before = 0; at < end;) {
        std::size_t bytes = character_bytes(static_cast<unsigned char>(document.text[at]));
        std::uint64_t width = character_units(bytes, units);
        if (units_before + width > position.character) break;
        units_before += width;
        at = std::min(at + bytes, end);
    }
    return at;
}

PositionWalker start_walk(const Document &document, Units units) {
    return {&document, units};
}

Position walk_to(PositionWalker &walker, std::size_t offset) {
    const Document &document = *walker.document;
    offset = std::min(offset, document.text.size());
    if (offset < walker.at) walker = start_walk(document, walker.units);
    const std::vector<std::size_t> &starts = document.line_starts;
    auto next_line = std::upper_bound(starts.begin(), starts.end(), offset);
    auto line = static_cast<std::uint64_t>(next_line - starts.begin()) - 1;
    if (line != walker.line) {
        walker.line = line;
        walker.at = starts[line];
        walker.character = 0;
    }
    while (walker.at < offset) {
        std::size_t bytes = character_bytes(static_cast<unsigned char>(document.text[walker.at]));
        if (walker.at + bytes > offset) break;
        walker.at += bytes;
        walker.character += character_units(bytes, walker.units);
    }
    return {walker.line, walker.character};
}

Position position_of(const Document &document, std::size_t offset, Units units) {
    PositionWalker walker = start_walk(document, units);
    return walk_to(walker, offset);
}

void replace_range(Document &document, Position start, Position end, const std::string &text,
                   Units units) {
    std::size_t from = offset_of(document, start, units);
    std::size_t to = std::max(from, offset_of(document, end, units));
    document.text.replace(from, to - from, text);
    find_line_starts(document);
}

} // namespace morvane::lsp
