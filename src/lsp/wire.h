// The Language Server Protocol's framing: each message a header of
// "Name: value" lines (Content-Length the one that matters), a blank line,
// then exactly Content-Length bytes of JSON.
#pragma once

#include <cstddef>
#include <string>

namespace morvane::lsp {

// Reads up to size bytes into buffer: how many, 0 at the end, -1 on failure.
using WireRead = long long (*)(void *context, char *buffer, std::size_t size);

struct WireReader {
    WireRead read;
    void *context;
    std::string buffer; // read, not yet taken
    bool ended = false;
};

enum class WireStatus {
    MESSAGE,    // body holds one message's bytes
    BAD_HEADER, // a header without a usable Content-Length: skipped to the next one
    ENDED,      // the input ended (a message cut short is dropped)
};

// The largest body taken: a document of this size is far beyond what the
// machine holds.
constexpr std::size_t LARGEST_BODY = 256u << 20;

WireStatus read_message(WireReader &reader, std::string &body);

// True if a whole message is waiting in the reader's buffer, so that work
// that a later message may make useless can wait.
bool message_waiting(const WireReader &reader);

// The header that goes before a message's body.
std::string frame_header(const std::string &body);

} // namespace morvane::lsp
