// Checking a listing written with labels (@name alone on a line, @name
// where a statement names a line), which only the renumbering reads: its
// lines need no numbers yet, and what the renumbering would refuse about
// its labels is an error where it stands.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/findings/findings.h"

namespace morvane {

// The offset of the listing's first label, as the renumbering reads
// labels; NO_LABELS if it has none, LABELS_UNKNOWN if memory ran out looking.
constexpr std::size_t NO_LABELS = static_cast<std::size_t>(-1);
constexpr std::size_t LABELS_UNKNOWN = static_cast<std::size_t>(-2);
std::size_t first_label(const unsigned char *listing, std::size_t length);

// The checker's findings (told by check_text, into the sink it is given)
// without those about missing or unordered line numbers, and the
// renumbering's about labels, merged in file order, with one note at the
// first label that the listing must be renumbered before it converts.
// False if memory ran out.
using TextCheck = bool (*)(const unsigned char *listing, std::size_t length, FindingSink sink);
bool check_labelled_listing(const unsigned char *listing, std::size_t length, std::size_t label_at,
                            TextCheck check_text, FindingSink sink, std::uint64_t &count);

} // namespace morvane
