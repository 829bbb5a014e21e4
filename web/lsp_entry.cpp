// The language server inside the page's worker: the worker hands it each
// message's body as it comes and collects the bodies it answers with; it
// publishes diagnostics when the worker has no message waiting, as the
// program does when its pipe is empty.
#include <emscripten/emscripten.h>
#include <string>

#include "lsp/server.h"

namespace {

// The one server of the worker, as the program's process has one.
morvane::lsp::Server server;

} // namespace

extern "C" {

// Handles one message (JSON-RPC 2.0, UTF-8, without its header).
EMSCRIPTEN_KEEPALIVE void lsp_handle(const char *body, int length) {
    morvane::lsp::handle_message(server, std::string(body, static_cast<std::size_t>(length)));
}

EMSCRIPTEN_KEEPALIVE void lsp_publish_due() {
    morvane::lsp::publish_due_diagnostics(server);
}

EMSCRIPTEN_KEEPALIVE int lsp_answer_count() {
    return static_cast<int>(server.out.size());
}

// The answers' bodies, the first first, valid until they are cleared.
EMSCRIPTEN_KEEPALIVE const char *lsp_answer(int index) {
    return server.out[static_cast<std::size_t>(index)].data();
}

EMSCRIPTEN_KEEPALIVE int lsp_answer_length(int index) {
    return static_cast<int>(server.out[static_cast<std::size_t>(index)].size());
}

EMSCRIPTEN_KEEPALIVE void lsp_clear_answers() {
    server.out.clear();
}
}
