// Checking a listing: every problem the converter would stop at, and the
// things it accepts that are seldom what the author meant, each with its
// line and column as an editor counts them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace morvane {

struct Finding {
    std::uint64_t line;   // 1 + the line ends before it: LF, CR LF and a lone CR each end a line
    std::uint64_t column; // 1 + the characters before it on its line; a two-byte character is one
    bool error;           // the converter fails on it; else a warning
    const char *name;     // "line-order", "charset", "keyword-in-name", ...
    char message[240];    // one sentence naming the cause and, where there is one, the fix
};

// Fills in a finding's severity, name and message: the format with its
// arguments, or without any the text itself, so that no format is ever taken
// from data.
template <typename... Arguments>
void set_finding(Finding &finding, bool error, const char *name, const char *format,
                 Arguments... arguments) {
    finding.error = error;
    finding.name = name;
    if constexpr (sizeof...(arguments) == 0)
        std::snprintf(finding.message, sizeof finding.message, "%s", format);
    else
        std::snprintf(finding.message, sizeof finding.message, format, arguments...);
}

// Told of each finding, in file order.
struct FindingSink {
    void (*found)(void *context, const Finding &finding);
    void *context;
};

// Checks the listing held in memory and tells every finding to the sink;
// returns how many there were. Converts nothing.
std::uint64_t check_listing(const unsigned char *listing, std::size_t length, FindingSink sink);

} // namespace morvane
