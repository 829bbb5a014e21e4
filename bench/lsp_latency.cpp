// Times the language server's work on one document, in process: from a
// didOpen and from a one-character didChange to its diagnostics being
// written, and a full semantic tokens request. The medians of five runs, in
// milliseconds: "OPEN CHANGE TOKENS".
// usage: lsp_latency LISTING    (the listing in UTF-8, as an editor holds it)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "lsp/server.h"

namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

double milliseconds_of(void (*step)(morvane::lsp::Server &), morvane::lsp::Server &server) {
    Clock::time_point start = Clock::now();
    step(server);
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string text;

void send(morvane::lsp::Server &server, const json &message) {
    morvane::lsp::handle_message(server, message.dump());
    morvane::lsp::publish_due_diagnostics(server);
    server.out.clear();
}

void open(morvane::lsp::Server &server) {
    send(server, {{"jsonrpc", "2.0"},
                  {"method", "textDocument/didOpen"},
                  {"params", {{"textDocument", {{"uri", "file:///b"}, {"version", 1}, {"text", text}}}}}});
}

void change(morvane::lsp::Server &server) {
    json at = {{"line", 3}, {"character", 0}};
    send(server, {{"jsonrpc", "2.0"},
                  {"method", "textDocument/didChange"},
                  {"params",
                   {{"textDocument", {{"uri", "file:///b"}, {"version", 2}}},
                    {"contentChanges", json::array({{{"range", {{"start", at}, {"end", at}}}, {"text", "X"}}})}}}});
}

void tokens(morvane::lsp::Server &server) {
    send(server, {{"jsonrpc", "2.0"},
                  {"id", 2},
                  {"method", "textDocument/semanticTokens/full"},
                  {"params", {{"textDocument", {{"uri", "file:///b"}}}}}});
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fputs("usage: lsp_latency LISTING\n", stderr);
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(file), {});
    std::vector<double> opened, changed, tokened;
    for (int run = 0; run < 5; run++) {
        morvane::lsp::Server server;
        send(server, {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"}, {"params", {{"capabilities", json::object()}}}});
        opened.push_back(milliseconds_of(open, server));
        changed.push_back(milliseconds_of(change, server));
        tokened.push_back(milliseconds_of(tokens, server));
    }
    std::printf("%.1f %.1f %.1f\n", median(opened), median(changed), median(tokened));
    return 0;
}
