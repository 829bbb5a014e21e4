// An open document as the editor sends it (UTF-8 text), and its places as
// the protocol names them: a line, and a character counted in the units
// the client and server agreed on (UTF-16 code units, or UTF-8 bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morvane::lsp {

enum class Units { UTF16, UTF8 };

struct Position {
    std::uint64_t line = 0;
    std::uint64_t character = 0;
};

struct Document {
    std::string text;
    std::int64_t version = 0;
    // Where each line starts: after LF, CR LF or a lone CR, as the protocol
    // and the checker both count lines.
    std::vector<std::size_t> line_starts{0};
};

void set_text(Document &document, std::string text);

// The byte offset of a position; a line past the end is the text's end, a
// character past the line's end is the line's end, and one inside a
// character is that character's start.
std::size_t offset_of(const Document &document, Position position, Units units);

Position position_of(const Document &document, std::size_t offset, Units units);

// Replaces the text between two positions (an incremental change).
void replace_range(Document &document, Position start, Position end, const std::string &text,
                   Units units);

// Walks offsets in increasing order to their positions, each line's
// characters counted once.
struct PositionWalker {
    const Document *document;
    Units units;
    std::uint64_t line = 0;
    std::size_t at = 0;          // an offset on the line, at a character's start
    std::uint64_t character = 0; // the units before at on the line
};

PositionWalker start_walk(const Document &document, Units units);
Position walk_to(PositionWalker &walker, std::size_t offset);

} // namespace morvane::lsp
