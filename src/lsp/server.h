// The language server's state and its one loop step: a message in, the
// messages it answers with out. It reads no stream and writes none, so
// that the program, the tests and the fuzz target run it alike.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "lsp/analysis.h"
#include "lsp/document.h"

namespace morvane::lsp {

struct OpenDocument {
    Document document;
    Analysis analysis; // of the text as it stands
    bool diagnostics_due = false;
};

struct Server {
    bool initialized = false;
    bool shutdown_asked = false;
    bool exited = false;
    int exit_status = 0;
    Units units = Units::UTF16;
    std::map<std::string, OpenDocument> documents;
    long long next_request = 1;
    std::vector<std::string> out; // the bodies of the messages to send, in order
};

// Handles one message's body (JSON-RPC 2.0), appending what it sends to server.out.
void handle_message(Server &server, const std::string &body);

// Reads the next message from the stream and handles it; false once the
// stream has ended.
struct WireReader;
bool take_next_message(Server &server, WireReader &reader);

// Publishes the diagnostics of every document changed since they were last
// published: called when no message waits, and before a request is
// answered, so that a burst of changes is checked once.
void publish_due_diagnostics(Server &server);

} // namespace morvane::lsp
