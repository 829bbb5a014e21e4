#include "lsp/features.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <set>

#include "core/basic/keyword_table.h"

namespace morvane::lsp {

const char *const TOKEN_TYPES[] = {"keyword", "operator", "string",  "comment",
                                   "number",  "variable", "function"};
const int TOKEN_TYPE_COUNT = sizeof TOKEN_TYPES / sizeof TOKEN_TYPES[0];
// A line's own number declares the line; a number a statement names refers
// to one: both are numbers, told apart by these.
const char *const TOKEN_MODIFIERS[] = {"declaration", "reference"};
const int TOKEN_MODIFIER_COUNT = sizeof TOKEN_MODIFIERS / sizeof TOKEN_MODIFIERS[0];

namespace {

enum TokenType { KEYWORD, OPERATOR, STRING, COMMENT, NUMBER, VARIABLE, FUNCTION, NONE = -1 };

constexpr std::int32_t TOKEN_GOTO = token_named("GOTO");
constexpr std::int32_t TOKEN_GOSUB = token_named("GOSUB");
constexpr std::int32_t TOKEN_THEN = token_named("THEN");
constexpr std::int32_t SIGN_TOKENS[] = {token_named("+"), token_named("-"), token_named("*"),
                                        token_named("/"), token_named("^"), token_named("<"),
                                        token_named("="), token_named(">")};

// The modifiers' bits, in TOKEN_MODIFIERS' order.
constexpr std::uint64_t DECLARATION_BIT = 1, REFERENCE_BIT = 2;

std::uint64_t token_modifiers(const Span &item) {
    if (item.kind == ItemKind::LINE_NUMBER) return DECLARATION_BIT;
    return item.kind == ItemKind::REFERENCE ? REFERENCE_BIT : 0;
}

int token_type(const Span &item) {
    switch (item.kind) {
    case ItemKind::KEYWORD:
        return std::find(std::begin(SIGN_TOKENS), std::end(SIGN_TOKENS), item.token) !=
                       std::end(SIGN_TOKENS)
                   ? OPERATOR
                   : KEYWORD;
    case ItemKind::LINE_NUMBER:
    case ItemKind::REFERENCE:
    case ItemKind::NUMBER:
        return NUMBER;
    case ItemKind::STRING:
    case ItemKind::DATA:
        return STRING;
    case ItemKind::REMARK:
        return COMMENT;
    case ItemKind::NAME:
        return VARIABLE;
    case ItemKind::LABEL:
        return FUNCTION;
    default:
        return NONE;
    }
}

json position_json(Position position) {
    return {{"line", position.line}, {"character", position.character}};
}

json item_range(const Context &context, const Span &item) {
    return range_json(context.document, item.offset, std::size_t{item.offset} + item.length,
                      context.units);
}

json location(const Context &context, const Span &item) {
    return {{"uri", context.uri}, {"range", item_range(context, item)}};
}

// The keyword's name as a listing spells it: the first row of the table
// with its token, but PRINT's rather than "?".
const char *keyword_name(std::int32_t token) {
    for (const KeywordEntry &entry : KEYWORDS)
        if (entry.token == token && entry.name[0] != '?') return entry.name;
    return "?";
}

bool is_word_keyword(const KeywordEntry &entry) {
    return entry.name[0] >= 'A' && entry.name[0] <= 'Z';
}

const Span *line_numbered(const Context &context, std::uint32_t value) {
    for (const Span &item : context.analysis.items)
        if (item.kind == ItemKind::LINE_NUMBER && item.value == value) return &item;
    return nullptr;
}

// The line that the number item starts, to its end.
std::size_t line_end(const std::string &text, std::size_t from) {
    std::size_t end = text.find_first_of("\r\n", from);
    return end == std::string::npos ? text.size() : end;
}

std::string hex_bytes(const std::string &bytes) {
    std::string out;
    char two[4];
    for (unsigned char b : bytes) {
        std::snprintf(two, sizeof two, out.empty() ? "%02X" : " %02X", b);
        out += two;
    }
    return out;
}

// Where a finding's stretch ends; at least after the character it starts
// at, so that an editor can show it (a character outside the set is told at
// its start).
std::size_t end_of_finding(const Document &document, const Finding &finding) {
    const std::string &text = document.text;
    std::size_t end = finding.end.offset;
    if (end > finding.start.offset || finding.start.offset >= text.size()) return end;
    end = finding.start.offset + 1;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        end++;
    return end;
}

// The remark on the line that items[index] starts, or else on the line
// before it, without the spaces around it; empty if neither has one.
std::string remark_naming(const Context &context, std::size_t index) {
    const std::vector<Span> &items = context.analysis.items;
    const Document &document = context.document;
    std::uint64_t line = line_of(document, items[index].offset);
    const Span *found = nullptr;
    for (std::size_t k = index;
         k < items.size() && line_of(document, items[k].offset) == line && found == nullptr; k++)
        if (items[k].kind == ItemKind::REMARK) found = &items[k];
    for (std::size_t k = index;
         found == nullptr && k-- > 0 && line_of(document, items[k].offset) + 1 >= line;)
        if (items[k].kind == ItemKind::REMARK) found = &items[k];
    if (found == nullptr) return "";
    std::string remark = item_text(document.text, *found);
    std::size_t first = remark.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return remark.substr(first, remark.find_last_not_of(' ') - first + 1);
}

std::size_t end_of(const Span &item) {
    return std::size_t{item.offset} + item.length;
}

// The index of the label that labels its line under the name; NO_ITEM if none.
std::size_t labelled_line(const Context &context, const std::string &name) {
    const std::vector<Span> &items = context.analysis.items;
    for (std::size_t i = 0; i < items.size(); i++)
        if (labels_its_line(context.document, context.analysis, i) &&
            same_label(item_text(context.document.text, items[i]), name))
            return i;
    return NO_ITEM;
}

} // namespace

json range_json(const Document &document, std::size_t start, std::size_t end, Units units) {
    PositionWalker walker = start_walk(document, units);
    json first = position_json(walk_to(walker, start));
    return {{"start", first}, {"end", position_json(walk_to(walker, std::max(start, end)))}};
}

json diagnostics_json(const Document &document, const std::vector<Finding> &findings, Units units) {
    json diagnostics = json::array();
    PositionWalker walker = start_walk(document, units);
    for (const Finding &finding : findings) {
        Position start = walk_to(walker, finding.start.offset);
        Position end = position_of(document, end_of_finding(document, finding), units);
        diagnostics.push_back(
            {{"range", {{"start", position_json(start)}, {"end", position_json(end)}}},
             {"severity", finding.error ? 1 : 2},
             {"code", finding.name},
             {"source", "morvane"},
             {"message", finding.message}});
    }
    return diagnostics;
}

std::string semantic_token_data(const Context &context, std::size_t from, std::size_t to) {
    std::string data;
    data.reserve(context.analysis.items.size() * 12);
    PositionWalker walker = start_walk(context.document, context.units);
    Position last;
    char numbers[5 * 21];
    for (const Span &item : context.analysis.items) {
        int type = token_type(item);
        if (type == NONE || item.offset < from || item.offset >= to) continue;
        Position start = walk_to(walker, item.offset);
        Position end = walk_to(walker, end_of(item));
        if (end.line != start.line || end.character == start.character) continue;
        std::uint64_t delta_start =
            start.line == last.line ? start.character - last.character : start.character;
        const std::uint64_t token[5] = {start.line - last.line, delta_start,
                                        end.character - start.character,
                                        static_cast<std::uint64_t>(type), token_modifiers(item)};
        // A few million numbers for a large document: written straight, not through printf.
        char *out = numbers;
        for (std::uint64_t number : token) {
            if (out != numbers || !data.empty()) *out++ = ',';
            out = std::to_chars(out, numbers + sizeof numbers, number).ptr;
        }
        data.append(numbers, static_cast<std::size_t>(out - numbers));
        last = start;
    }
    return data;
}

json definition(const Context &context, std::size_t offset) {
    std::size_t index = item_at(context.analysis, offset);
    if (index == NO_ITEM) return nullptr;
    const Span &item = context.analysis.items[index];
    if (item.kind == ItemKind::REFERENCE) {
        const Span *line = line_numbered(context, item.value);
        return line == nullptr ? json(nullptr) : location(context, *line);
    }
    if (item.kind != ItemKind::LABEL) return nullptr;
    std::size_t labelled = labelled_line(context, item_text(context.document.text, item));
    return labelled == NO_ITEM ? json(nullptr)
                               : location(context, context.analysis.items[labelled]);
}

json references(const Context &context, std::size_t offset, bool with_declaration) {
    json found = json::array();
    std::size_t index = item_at(context.analysis, offset);
    if (index == NO_ITEM) return found;
    const std::vector<Span> &items = context.analysis.items;
    const Span &item = items[index];
    if (item.kind == ItemKind::LINE_NUMBER || item.kind == ItemKind::REFERENCE) {
        for (const Span &other : items)
            if ((other.kind == ItemKind::REFERENCE ||
                 (with_declaration && other.kind == ItemKind::LINE_NUMBER)) &&
                other.value == item.value)
                found.push_back(location(context, other));
    } else if (item.kind == ItemKind::LABEL) {
        std::string name = item_text(context.document.text, item);
        for (std::size_t i = 0; i < items.size(); i++)
            if (items[i].kind == ItemKind::LABEL &&
                (with_declaration || !labels_its_line(context.document, context.analysis, i)) &&
                same_label(item_text(context.document.text, items[i]), name))
                found.push_back(location(context, items[i]));
    }
    return found;
}

json hover(const Context &context, std::size_t offset) {
    std::size_t index = item_at(context.analysis, offset);
    if (index == NO_ITEM) return nullptr;
    const Span &item = context.analysis.items[index];
    std::string text;
    if (item.kind == ItemKind::KEYWORD) {
        text = std::string("**") + keyword_name(item.token) + "**: the token 0x" +
               hex_bytes(std::string(1, static_cast<char>(item.token)));
    } else if (item.kind == ItemKind::LINE_NUMBER) {
        std::string record = record_of_line(context.document.text, item.offset);
        text = "Line " + std::to_string(item.value) +
               (record.empty() ? ": it does not convert on its own"
                               : ": a record of " + std::to_string(record.size()) + " bytes, `" +
                                     hex_bytes(record) + "`");
    } else if (item.kind == ItemKind::REFERENCE) {
        text = (line_numbered(context, item.value) != nullptr ? "Goes to line "
                                                              : "No line has the number ") +
               std::to_string(item.value);
    } else {
        return nullptr;
    }
    return {{"contents", {{"kind", "markdown"}, {"value", text}}},
            {"range", item_range(context, item)}};
}

json document_symbols(const Context &context) {
    const std::vector<Span> &items = context.analysis.items;
    const std::string &text = context.document.text;
    std::set<std::uint32_t> called, named;
    for (std::size_t i = 0; i < items.size(); i++)
        if (items[i].kind == ItemKind::REFERENCE &&
            token_before(context.document, context.analysis, i) == TOKEN_GOSUB)
            called.insert(items[i].value);
    json symbols = json::array();
    for (std::size_t i = 0; i < items.size(); i++) {
        const Span &item = items[i];
        std::string name;
        if (labels_its_line(context.document, context.analysis, i)) {
            name = item_text(text, item);
        } else if (item.kind == ItemKind::LINE_NUMBER && called.count(item.value) != 0 &&
                   named.insert(item.value).second) {
            std::string remark = remark_naming(context, i);
            name = std::to_string(item.value) + (remark.empty() ? "" : " " + remark);
        } else {
            continue;
        }
        symbols.push_back({{"name", name},
                           {"kind", 12},
                           {"range", range_json(context.document, item.offset,
                                                line_end(text, item.offset), context.units)},
                           {"selectionRange", item_range(context, item)}});
    }
    return symbols;
}

json completion(const Context &context, std::size_t offset) {
    const std::vector<Span> &items = context.analysis.items;
    const Document &document = context.document;
    // The items before the cursor on its line, past the one being typed.
    std::uint64_t line = line_of(document, offset);
    auto after = std::lower_bound(items.begin(), items.end(), offset,
                                  [](const Span &i, std::size_t o) { return i.offset < o; });
    auto at = static_cast<std::size_t>(after - items.begin());
    if (at > 0 && offset <= end_of(items[at - 1]) && items[at - 1].kind != ItemKind::KEYWORD &&
        items[at - 1].kind != ItemKind::OTHER)
        at--;
    int token = -1;
    if (at > 0 && line_of(document, items[at - 1].offset) == line) {
        const Span &before = items[at - 1];
        token = before.kind == ItemKind::KEYWORD ? before.token
                                                 : token_before(document, context.analysis, at - 1);
    }
    json offered = json::array();
    if (token == TOKEN_GOTO || token == TOKEN_GOSUB || token == TOKEN_THEN) {
        for (std::size_t i = 0; i < items.size(); i++) {
            if (items[i].kind == ItemKind::LINE_NUMBER)
                offered.push_back({{"label", std::to_string(items[i].value)}, {"kind", 18}});
            else if (labels_its_line(document, context.analysis, i))
                offered.push_back({{"label", item_text(document.text, items[i])}, {"kind", 18}});
        }
    } else {
        for (const KeywordEntry &entry : KEYWORDS)
            if (is_word_keyword(entry))
                offered.push_back(
                    {{"label", entry.name},
                     {"kind", 14},
                     {"detail",
                      "token 0x" + hex_bytes(std::string(1, static_cast<char>(entry.token)))}});
    }
    return {{"isIncomplete", false}, {"items", offered}};
}

json code_actions(const Context &context, std::size_t from, std::size_t to) {
    json actions = json::array();
    const std::string &text = context.document.text;
    auto is_word = [&](std::size_t at) {
        if (at >= text.size()) return false;
        char c = text[at];
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    };
    auto insert_space = [&](std::size_t at) {
        return json{{"range", range_json(context.document, at, at, context.units)},
                    {"newText", " "}};
    };
    for (const Finding &finding : context.analysis.findings) {
        if (finding.end.offset < from || finding.start.offset > to) continue;
        json diagnostic = diagnostics_json(context.document, {finding}, context.units)[0];
        if (finding.id == FindingId::KEYWORD_IN_NAME) {
            json edits = json::array();
            for (const Span &item : context.analysis.items) {
                if (item.kind != ItemKind::KEYWORD || item.offset < finding.start.offset ||
                    item.offset >= finding.end.offset)
                    continue;
                if (item.offset > 0 && is_word(item.offset - 1))
                    edits.push_back(insert_space(item.offset));
                if (is_word(end_of(item))) edits.push_back(insert_space(end_of(item)));
            }
            actions.push_back({{"title", "Put spaces around the keyword"},
                               {"kind", "quickfix"},
                               {"diagnostics", json::array({diagnostic})},
                               {"edit", {{"changes", {{context.uri, edits}}}}}});
        } else if (finding.id == FindingId::LINE_ORDER) {
            actions.push_back({{"title", "Renumber the program (morvane-renum)"},
                               {"kind", "quickfix"},
                               {"diagnostics", json::array({diagnostic})},
                               {"command",
                                {{"title", "Renumber"},
                                 {"command", "morvane.renumber"},
                                 {"arguments", json::array({context.uri, 10, 10})}}}});
        }
    }
    return actions;
}

json rename_label(const Context &context, std::size_t offset, const std::string &new_name,
                  std::string &problem) {
    std::size_t index = item_at(context.analysis, offset);
    if (index == NO_ITEM || context.analysis.items[index].kind != ItemKind::LABEL) {
        problem = "only an @label can be renamed";
        return nullptr;
    }
    std::string name = !new_name.empty() && new_name[0] == '@' ? new_name.substr(1) : new_name;
    bool valid =
        !name.empty() && name.size() <= 40 && std::all_of(name.begin(), name.end(), [](char c) {
            return c > 0x20 && c < 0x7F && c != ',' && c != '-' && c != ':' && c != '@' && c != '"';
        });
    if (!valid) {
        problem = "a label is @ and 1 to 40 letters, digits or signs other than , - : \" and @";
        return nullptr;
    }
    std::string old_name = item_text(context.document.text, context.analysis.items[index]);
    json edits = json::array();
    for (const Span &other : context.analysis.items)
        if (other.kind == ItemKind::LABEL &&
            same_label(item_text(context.document.text, other), old_name))
            edits.push_back({{"range", item_range(context, other)}, {"newText", "@" + name}});
    return {{"changes", {{context.uri, edits}}}};
}

json whole_document_edit(const Context &context, const std::string &text) {
    json edit = {
        {"range", range_json(context.document, 0, context.document.text.size(), context.units)},
        {"newText", text}};
    return {{"changes", {{context.uri, json::array({edit})}}}};
}

} // namespace morvane::lsp
