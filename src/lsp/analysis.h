// What the core reads in a document: the checker's findings and the
// scanner's items, both at the document's byte offsets. The document is
// read as UTF-8, as the editor holds it, so a character stands for the
// Shift_JIS bytes the converter would read for it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/basic/scanner.h"
#include "core/findings/findings.h"
#include "core/renum/renumber_listing.h"
#include "lsp/document.h"

namespace morvane::lsp {

// An item of the scan as the server keeps it: 16 bytes, as a large
// document has an item every few bytes.
struct Span {
    std::uint32_t offset, length; // in the document's bytes
    std::uint32_t value;          // LINE_NUMBER and REFERENCE: the number, held at NUMBER_LIMIT
    ItemKind kind;
    std::uint8_t token; // KEYWORD: its token
};

constexpr std::uint32_t NUMBER_LIMIT = 0xFFFFFFFF;

struct Analysis {
    std::vector<Finding> findings; // in file order
    std::vector<Span> items;       // in file order
    bool checked = false, scanned = false;
    bool out_of_memory = false;
};

// The checker's findings, and the scanner's items: each read only when
// asked for (diagnostics need no items), then kept until the text changes.
void check_document(const Document &document, Analysis &analysis);
void scan_document(const Document &document, Analysis &analysis);

// The index of the item that holds the byte at offset, or ends just before
// it (where an editor's cursor stands after a word); NO_ITEM if none.
constexpr std::size_t NO_ITEM = static_cast<std::size_t>(-1);
std::size_t item_at(const Analysis &analysis, std::size_t offset);

// The line (from 0) that holds the byte at offset.
std::uint64_t line_of(const Document &document, std::size_t offset);

// The token of the keyword that the statement holding items[index] starts
// its line numbers with (GOTO, GOSUB, THEN, ...): the keyword before the
// item on its line, past the other numbers and commas of its list; -1 if none.
int token_before(const Document &document, const Analysis &analysis, std::size_t index);

// The item's bytes in the document.
std::string item_text(const std::string &text, const Span &item);

// True if a LABEL item labels its line (it stands first on it) rather
// than naming one.
bool labels_its_line(const Document &document, const Analysis &analysis, std::size_t index);

// True if two labels name the same line: case does not matter in BASIC.
bool same_label(const std::string &a, const std::string &b);

// The renumbered document, as morvane-renum writes it; its findings.
struct Renumbered {
    RenumberOutcome outcome;
    std::string text;
    std::vector<Finding> findings;
};
Renumbered renumber(const std::string &text, const RenumberOptions &options);

// The record the converter writes for the line that starts at the
// document's offset line_start, as the converter cuts the listing into
// lines: its bytes, or empty if the line does not convert on its own.
std::string record_of_line(const std::string &text, std::size_t line_start);

} // namespace morvane::lsp
