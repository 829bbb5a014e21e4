// The language features, each from a document and the core's reading of
// it, as the protocol's JSON: diagnostics, semantic tokens, definition,
// references, hover, symbols, rename, completion and code actions.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "lsp/analysis.h"
#include "lsp/document.h"

namespace morvane::lsp {

using nlohmann::json;

// The semantic token types, by their numbers in the legend.
extern const char *const TOKEN_TYPES[];
extern const int TOKEN_TYPE_COUNT;
extern const char *const TOKEN_MODIFIERS[];
extern const int TOKEN_MODIFIER_COUNT;

struct Context {
    const std::string &uri;
    const Document &document;
    const Analysis &analysis;
    Units units;
};

json range_json(const Document &document, std::size_t start, std::size_t end, Units units);
json diagnostics_json(const Document &document, const std::vector<Finding> &findings, Units units);

// The semantic tokens of the items that start within [from, to) of the
// text: the numbers of the result's "data", comma-separated, as a large
// document has millions of them.
std::string semantic_token_data(const Context &context, std::size_t from, std::size_t to);

json definition(const Context &context, std::size_t offset);
json references(const Context &context, std::size_t offset, bool with_declaration);
json hover(const Context &context, std::size_t offset);
json document_symbols(const Context &context);
json completion(const Context &context, std::size_t offset);
json code_actions(const Context &context, std::size_t from, std::size_t to);

// The workspace edit that renames the label at offset; a null edit if no
// label stands there. problem gets why a new name is refused.
json rename_label(const Context &context, std::size_t offset, const std::string &new_name,
                  std::string &problem);

// An edit that replaces the whole document with text.
json whole_document_edit(const Context &context, const std::string &text);

} // namespace morvane::lsp
