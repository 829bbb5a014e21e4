// libFuzzer target for the language server: arbitrary bytes as the stream
// an editor sends, and the same bytes as a document that every request is
// asked about at places the bytes choose. Every request is answered exactly
// once, and every message the server sends is JSON.
#include <cstdint>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "in_memory.h"
#include "lsp/server.h"
#include "lsp/wire.h"

namespace {

using morvane::lsp::Server;
using nlohmann::json;

struct Bytes {
    const std::uint8_t *data;
    std::size_t size, at;
};

long long read_bytes(void *context, char *buffer, std::size_t size) {
    auto &bytes = *static_cast<Bytes *>(context);
    std::size_t count = std::min(size, bytes.size - bytes.at);
    std::memcpy(buffer, bytes.data + bytes.at, count);
    bytes.at += count;
    return static_cast<long long>(count);
}

// Counts the answers to each request id, checking that each message is JSON.
void take_answers(Server &server, std::map<std::string, int> &answers) {
    for (const std::string &body : server.out) {
        json message = json::parse(body, nullptr, false);
        require(!message.is_discarded(), "the server sends JSON");
        if (message.contains("id") && !message.contains("method")) answers[message["id"].dump()]++;
    }
    server.out.clear();
}

void run_stream(const std::uint8_t *data, std::size_t size) {
    Server server;
    Bytes bytes{data, size, 0};
    morvane::lsp::WireReader reader{read_bytes, &bytes, {}, false};
    std::map<std::string, int> answers;
    while (!server.exited && morvane::lsp::take_next_message(server, reader)) {
        morvane::lsp::publish_due_diagnostics(server);
        take_answers(server, answers);
    }
}

json place(const std::string &uri, std::uint64_t line, std::uint64_t character) {
    return {{"textDocument", {{"uri", uri}}},
            {"position", {{"line", line}, {"character", character}}}};
}

void run_on_document(const std::uint8_t *data, std::size_t size) {
    Server server;
    std::map<std::string, int> answers;
    const std::string uri = "file:///fuzz.bas";
    std::string text(reinterpret_cast<const char *>(data), size);
    auto send = [&](const json &message) {
        morvane::lsp::handle_message(server,
                                     message.dump(-1, ' ', false, json::error_handler_t::replace));
        take_answers(server, answers);
    };
    int id = 0;
    auto ask = [&](const char *method, const json &params) {
        send({{"jsonrpc", "2.0"}, {"id", ++id}, {"method", method}, {"params", params}});
    };
    ask("initialize", {{"capabilities", json::object()}});
    send({{"jsonrpc", "2.0"},
          {"method", "textDocument/didOpen"},
          {"params", {{"textDocument", {{"uri", uri}, {"version", 1}, {"text", text}}}}}});
    std::uint64_t line = size > 0 ? data[0] % 8 : 0, character = size > 1 ? data[1] % 32 : 0;
    json range = {{"start", {{"line", 0}, {"character", 0}}},
                  {"end", {{"line", line}, {"character", character}}}};
    ask("textDocument/semanticTokens/full", {{"textDocument", {{"uri", uri}}}});
    ask("textDocument/semanticTokens/range", {{"textDocument", {{"uri", uri}}}, {"range", range}});
    for (const char *method :
         {"textDocument/definition", "textDocument/hover", "textDocument/completion"})
        ask(method, place(uri, line, character));
    json references = place(uri, line, character);
    references["context"] = {{"includeDeclaration", true}};
    ask("textDocument/references", references);
    json rename = place(uri, line, character);
    rename["newName"] = "@next";
    ask("textDocument/rename", rename);
    ask("textDocument/documentSymbol", {{"textDocument", {{"uri", uri}}}});
    ask("textDocument/codeAction", {{"textDocument", {{"uri", uri}}},
                                    {"range", range},
                                    {"context", {{"diagnostics", json::array()}}}});
    ask("workspace/executeCommand",
        {{"command", "morvane.renumber"}, {"arguments", json::array({uri, 10, 10})}});
    send({{"jsonrpc", "2.0"},
          {"method", "textDocument/didChange"},
          {"params",
           {{"textDocument", {{"uri", uri}, {"version", 2}}},
            {"contentChanges", json::array({{{"range", range}, {"text", "\n10 GOTO 10"}}})}}}});
    ask("shutdown", nullptr);
    for (int asked = 1; asked <= id; asked++)
        require(answers[std::to_string(asked)] == 1, "every request answered exactly once");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    run_stream(data, size);
    run_on_document(data, size);
    return 0;
}
