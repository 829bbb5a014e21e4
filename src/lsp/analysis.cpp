#include "lsp/analysis.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "core/basic/keyword_table.h"
#include "core/basic/line_text.h"
#include "core/basic/listing_front.h"
#include "core/check/check_listing.h"
#include "core/convert/line_convert.h"
#include "core/convert/tokenizer.h"
#include "core/findings/file_items.h"
#include "core/text/listing_decoding.h"

namespace morvane::lsp {
namespace {

const unsigned char *bytes_of(const std::string &text) {
    return reinterpret_cast<const unsigned char *>(text.data());
}

void keep_finding(void *context, const Finding &finding) {
    static_cast<std::vector<Finding> *>(context)->push_back(finding);
}

bool append_text(void *context, const unsigned char *bytes, std::size_t size) {
    static_cast<std::string *>(context)->append(reinterpret_cast<const char *>(bytes), size);
    return true;
}

bool keep_span(void *context, const FileItem &item) {
    auto &items = *static_cast<std::vector<Span> *>(context);
    std::uint64_t value = item.value < 0 ? 0 : static_cast<std::uint64_t>(item.value);
    items.push_back({static_cast<std::uint32_t>(item.offset),
                     static_cast<std::uint32_t>(item.length),
                     static_cast<std::uint32_t>(std::min<std::uint64_t>(value, NUMBER_LIMIT)),
                     item.kind, static_cast<std::uint8_t>(item.token < 0 ? 0 : item.token)});
    return true;
}

} // namespace

void check_document(const Document &document, Analysis &analysis) {
    if (analysis.checked) return;
    analysis.checked = true;
    ListingText listing;
    std::uint64_t count = 0;
    const std::string &text = document.text;
    if (!read_listing_text(bytes_of(text), text.size(), EncodingChoice::UTF_8, listing) ||
        check_listing(listing, {keep_finding, &analysis.findings}, count) != CheckOutcome::CHECKED)
        analysis.out_of_memory = true;
    free_listing_text(listing);
}

void scan_document(const Document &document, Analysis &analysis) {
    if (analysis.scanned) return;
    analysis.scanned = true;
    ListingText listing;
    const std::string &text = document.text;
    if (!read_listing_text(bytes_of(text), text.size(), EncodingChoice::UTF_8, listing) ||
        !scan_file_items(listing, {keep_span, &analysis.items}))
        analysis.out_of_memory = true;
    free_listing_text(listing);
}

std::size_t item_at(const Analysis &analysis, std::size_t offset) {
    const std::vector<Span> &items = analysis.items;
    auto after = std::upper_bound(items.begin(), items.end(), offset,
                                  [](std::size_t o, const Span &i) { return o < i.offset; });
    if (after == items.begin()) return NO_ITEM;
    const Span &item = *(after - 1);
    if (offset > static_cast<std::size_t>(item.offset) + item.length) return NO_ITEM;
    return static_cast<std::size_t>(after - items.begin()) - 1;
}

std::uint64_t line_of(const Document &document, std::size_t offset) {
    const std::vector<std::size_t> &starts = document.line_starts;
    return static_cast<std::uint64_t>(std::upper_bound(starts.begin(), starts.end(), offset) -
                                      starts.begin()) -
           1;
}

int token_before(const Document &document, const Analysis &analysis, std::size_t index) {
    const std::vector<Span> &items = analysis.items;
    std::uint64_t line = line_of(document, items[index].offset);
    for (std::size_t i = index; i-- > 0;) {
        const Span &item = items[i];
        if (line_of(document, item.offset) != line) return -1;
        if (item.kind == ItemKind::KEYWORD) return item.token;
        bool in_list = item.kind == ItemKind::REFERENCE || item.kind == ItemKind::LABEL ||
                       item.kind == ItemKind::OTHER;
        if (!in_list) return -1;
    }
    return -1;
}

std::string item_text(const std::string &text, const Span &item) {
    if (item.offset >= text.size()) return "";
    return text.substr(item.offset, item.length);
}

bool labels_its_line(const Document &document, const Analysis &analysis, std::size_t index) {
    const std::vector<Span> &items = analysis.items;
    return items[index].kind == ItemKind::LABEL &&
           (index == 0 ||
            line_of(document, items[index - 1].offset) != line_of(document, items[index].offset));
}

bool same_label(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); i++) {
        char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 32) : a[i];
        char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 32) : b[i];
        if (x != y) return false;
    }
    return true;
}

Renumbered renumber(const std::string &text, const RenumberOptions &options) {
    Renumbered renumbered{RenumberOutcome::OUT_OF_MEMORY, "", {}};
    ListingText listing;
    if (read_listing_text(bytes_of(text), text.size(), EncodingChoice::UTF_8, listing))
        renumbered.outcome =
            renumber_listing(listing, options, {append_text, nullptr, &renumbered.text},
                             {keep_finding, &renumbered.findings});
    free_listing_text(listing);
    if (renumbered.outcome != RenumberOutcome::RENUMBERED) renumbered.text.clear();
    return renumbered;
}

namespace {

// The record the converter writes for the line the front read, from its
// bytes as they stand in the listing's text; empty if it does not convert.
std::string record_of(const ListingText &listing, const FrontLine &line) {
    std::size_t end = line.nul != NO_OFFSET ? line.nul : line.end;
    unsigned char bytes[LINE_BUFFER_SIZE + SCAN_PADDING] = {};
    int length = 0;
    for (std::size_t at = line.start; at < end && listing.text[at] != '\n'; at++)
        if (listing.text[at] != '\r' && length < LONGEST_LINE - 1)
            bytes[length++] = listing.text[at];
    bytes[length++] = '\n';
    unsigned char body[BODY_ROOM];
    std::int32_t number = 0;
    int body_length = convert_line_in_memory(bytes, length, body, number);
    if (body_length < 0) return "";
    auto stored = static_cast<std::uint32_t>(number);
    std::string record = {'\xFF', '\xFF', static_cast<char>(stored & 0xFF),
                          static_cast<char>(stored >> 8 & 0xFF)};
    record.append(reinterpret_cast<const char *>(body), static_cast<std::size_t>(body_length));
    record.push_back('\0');
    return record;
}

} // namespace

std::string record_of_line(const std::string &text, std::size_t line_start) {
    ListingText listing;
    std::string record;
    if (read_listing_text(bytes_of(text), text.size(), EncodingChoice::UTF_8, listing)) {
        ListingFront front;
        auto line = std::make_unique<FrontLine>();
        start_listing_front(front, listing.text, listing.length);
        while (read_next_line(front, *line)) {
            std::size_t start = file_offset(listing, line->start);
            if (start < line_start) continue;
            if (start == line_start) record = record_of(listing, *line);
            break;
        }
    }
    free_listing_text(listing);
    return record;
}

} // namespace morvane::lsp
