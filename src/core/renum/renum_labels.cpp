// Labels: found by name, as case does not matter in BASIC, and each one
// defined twice marked as such.
#include <algorithm>

#include "core/basic/line_text.h"
#include "core/renum/renum_model.h"

namespace morvane {
namespace {

int compare_names(const unsigned char *a, std::size_t a_length, const unsigned char *b,
                  std::size_t b_length) {
    for (std::size_t i = 0; i < a_length && i < b_length; i++) {
        unsigned char x = to_upper(a[i]), y = to_upper(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a_length < b_length ? -1 : a_length > b_length ? 1 : 0;
}

int compare_labels(const Renumber &renumber, const Label &a, const Label &b) {
    return compare_names(renumber.listing + a.name, a.name_length, renumber.listing + b.name,
                         b.name_length);
}

} // namespace

bool sort_labels(Renumber &renumber) {
    std::size_t count = renumber.labels.count;
    if (!renumber.by_name.reserve(count)) return false;
    for (std::size_t i = 0; i < count; i++)
        renumber.by_name.add(static_cast<std::uint32_t>(i));
    const Renumber &r = renumber;
    std::sort(renumber.by_name.items, renumber.by_name.items + count,
              [&r](std::uint32_t a, std::uint32_t b) {
                  int order = compare_labels(r, r.labels[a], r.labels[b]);
                  return order != 0 ? order < 0 : a < b;
              });
    for (std::size_t i = 1, first = 0; i < count; i++) {
        Label &again = renumber.labels[renumber.by_name[i]];
        const Label &earlier = renumber.labels[renumber.by_name[first]];
        if (compare_labels(renumber, earlier, again) != 0) {
            first = i;
            continue;
        }
        again.duplicate = true;
        again.first_editor_line = earlier.editor_line;
    }
    return true;
}

const Label *find_label(const Renumber &renumber, const unsigned char *name, std::size_t length) {
    std::size_t low = 0, high = renumber.by_name.count;
    while (low < high) {
        std::size_t middle = low + (high - low) / 2;
        const Label &label = renumber.labels[renumber.by_name[middle]];
        int order = compare_names(renumber.listing + label.name, label.name_length, name, length);
        if (order == 0) {
            // The first definition, as every later one is refused.
            while (middle > 0 &&
                   compare_labels(renumber, renumber.labels[renumber.by_name[middle - 1]], label) ==
                       0)
                middle--;
            return &renumber.labels[renumber.by_name[middle]];
        }
        if (order < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return nullptr;
}

std::uint32_t label_number(const Renumber &renumber, const Label &label) {
    if (label.names == NO_LINE) return NO_LINE;
    if ((label.names & NAMES_NUMBER) != 0)
        return new_number_of(renumber, label.names & ~NAMES_NUMBER);
    const UnnumberedRun &run = renumber.runs[label.names];
    std::uint64_t number = run.first_new + std::uint64_t{label.position} * renumber.options.step;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(number, NO_LINE - 1));
}

bool names_a_line(const Renumber &renumber, const Label &label) {
    if (label.names == NO_LINE) return false;
    if ((label.names & NAMES_NUMBER) == 0) return true;
    return holder_of(renumber, label.names & ~NAMES_NUMBER) != NO_OFFSET;
}

} // namespace morvane
