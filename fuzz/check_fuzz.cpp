// libFuzzer target for the checker: arbitrary bytes as a listing. No crash
// and no read outside them, the same findings twice, each at a line and
// column inside the listing, and an error exactly when the converter fails
// (for a listing without labels, which is the renumbering's to read).
#include <cstdint>
#include <cstring>
#include <string>

#include "in_memory.h"
#include "morvane.h"

namespace {

std::string findings_of(const std::uint8_t *data, std::size_t size, bool &any_error, bool &labels) {
    morvane_finding *findings = nullptr;
    std::size_t count = 0;
    require(morvane_check(data, size, &findings, &count) >= 0, "memory for the findings");
    std::string all;
    any_error = labels = false;
    for (std::size_t i = 0; i < count; i++) {
        require(findings[i].line >= 1 && findings[i].line <= size + 1 && findings[i].column >= 1,
                "a finding stands inside the listing");
        any_error = any_error || findings[i].error;
        labels = labels || std::strcmp(findings[i].name, "labels") == 0;
        all += std::to_string(findings[i].line) + ":" + std::to_string(findings[i].column) + " " +
               findings[i].name + " " + findings[i].message + "\n";
    }
    morvane_free(findings);
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    bool any_error = false, again_error = false, labels = false;
    std::string first = findings_of(data, size, any_error, labels);
    require(findings_of(data, size, again_error, labels) == first, "the same findings twice");
    bool image_as_listing =
        size >= 10 && std::memcmp(data, "\xD3\xD3\xD3\xD3\xD3\xD3\xD3\xD3\xD3\xD3", 10) == 0;
    morvane_item *items = nullptr;
    std::size_t count = 0;
    require(morvane_scan(data, size, &items, &count) == 0, "memory for the items");
    bool labelled = false;
    for (std::size_t i = 0; i < count; i++)
        labelled = labelled || items[i].kind == MORVANE_ITEM_LABEL;
    morvane_free(items);
    require(labels == (labelled && !image_as_listing), "the labels warning where a label is read");
    if (!image_as_listing && !labels)
        require(any_error == (convert_in_memory(data, size).status != 0),
                "an error exactly when the converter fails");
    return 0;
}
