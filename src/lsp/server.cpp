#include "lsp/server.h"

#include <exception>

#include "lsp/features.h"
#include "lsp/wire.h"

namespace morvane::lsp {
namespace {

// JSON-RPC's and the protocol's error codes.
constexpr int PARSE_ERROR = -32700;
constexpr int INVALID_REQUEST = -32600;
constexpr int METHOD_NOT_FOUND = -32601;
constexpr int INVALID_PARAMS = -32602;
constexpr int INTERNAL_ERROR = -32603;
constexpr int SERVER_NOT_INITIALIZED = -32002;
constexpr int REQUEST_FAILED = -32803;

const char *const RENUMBER_COMMAND = "morvane.renumber";

void send(Server &server, const json &message) {
    server.out.push_back(message.dump(-1, ' ', false, json::error_handler_t::replace));
}

void respond(Server &server, const json &id, const json &result) {
    send(server, {{"jsonrpc", "2.0"}, {"id", id}, {"result", result}});
}

void respond_error(Server &server, const json &id, int code, const std::string &message) {
    send(server,
         {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

void notify(Server &server, const char *method, const json &params) {
    send(server, {{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
}

// ---- Reading parameters without trusting their shape.

const json *member(const json &object, const char *key) {
    if (!object.is_object()) return nullptr;
    auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

bool string_member(const json &object, const char *key, std::string &value) {
    const json *found = member(object, key);
    if (found == nullptr || !found->is_string()) return false;
    value = found->get<std::string>();
    return true;
}

bool count_member(const json &object, const char *key, std::uint64_t &value) {
    const json *found = member(object, key);
    bool counts = found != nullptr && found->is_number_integer() &&
                  (found->is_number_unsigned() || found->get<std::int64_t>() >= 0);
    if (!counts) return false;
    value = found->get<std::uint64_t>();
    return true;
}

bool position_member(const json &object, const char *key, Position &position) {
    const json *found = member(object, key);
    return found != nullptr && count_member(*found, "line", position.line) &&
           count_member(*found, "character", position.character);
}

bool range_member(const json &object, Position &start, Position &end) {
    const json *range = member(object, "range");
    return range != nullptr && position_member(*range, "start", start) &&
           position_member(*range, "end", end);
}

bool document_uri(const json &params, std::string &uri) {
    const json *document = member(params, "textDocument");
    return document != nullptr && string_member(*document, "uri", uri);
}

// ---- Documents.

OpenDocument *open_document(Server &server, const json &params, std::string &uri) {
    if (!document_uri(params, uri)) return nullptr;
    auto found = server.documents.find(uri);
    return found == server.documents.end() ? nullptr : &found->second;
}

// The findings and the items of the document, for the features at a place.
const Analysis &analysis_of(OpenDocument &open) {
    check_document(open.document, open.analysis);
    scan_document(open.document, open.analysis);
    return open.analysis;
}

void changed(OpenDocument &open) {
    open.analysis = {};
    open.diagnostics_due = true;
}

void publish(Server &server, const std::string &uri, OpenDocument &open,
             const std::vector<Finding> &findings) {
    notify(server, "textDocument/publishDiagnostics",
           {{"uri", uri},
            {"version", open.document.version},
            {"diagnostics", diagnostics_json(open.document, findings, server.units)}});
    open.diagnostics_due = false;
}

void did_open(Server &server, const json &params) {
    const json *document = member(params, "textDocument");
    std::string uri, text;
    if (document == nullptr || !string_member(*document, "uri", uri) ||
        !string_member(*document, "text", text))
        return;
    OpenDocument &open = server.documents[uri];
    set_text(open.document, std::move(text));
    const json *version = member(*document, "version");
    open.document.version =
        version != nullptr && version->is_number_integer() ? version->get<std::int64_t>() : 0;
    changed(open);
}

void did_change(Server &server, const json &params) {
    std::string uri;
    OpenDocument *open = open_document(server, params, uri);
    const json *changes = member(params, "contentChanges");
    if (open == nullptr || changes == nullptr || !changes->is_array()) return;
    for (const json &change : *changes) {
        std::string text;
        if (!string_member(change, "text", text)) continue;
        Position start, end;
        if (member(change, "range") == nullptr)
            set_text(open->document, std::move(text));
        else if (range_member(change, start, end))
            replace_range(open->document, start, end, text, server.units);
    }
    const json *document = member(params, "textDocument");
    const json *version = document == nullptr ? nullptr : member(*document, "version");
    if (version != nullptr && version->is_number_integer())
        open->document.version = version->get<std::int64_t>();
    changed(*open);
}

void did_close(Server &server, const json &params) {
    std::string uri;
    if (!document_uri(params, uri) || server.documents.erase(uri) == 0) return;
    notify(server, "textDocument/publishDiagnostics",
           {{"uri", uri}, {"diagnostics", json::array()}});
}

// ---- Requests: each gives its result, or sets an error and gives null.

struct Request {
    Server &server;
    const json &params;
    int error = 0;
    std::string error_message;
    std::string token_data; // the semantic tokens' numbers, where has_token_data
    bool has_token_data = false;
};

json failed(Request &request, int code, const std::string &message) {
    request.error = code;
    request.error_message = message;
    return nullptr;
}

json initialize(Request &request) {
    Server &server = request.server;
    if (server.initialized) return failed(request, INVALID_REQUEST, "initialize was sent twice");
    server.initialized = true;
    const json *capabilities = member(request.params, "capabilities");
    const json *general = capabilities == nullptr ? nullptr : member(*capabilities, "general");
    const json *encodings = general == nullptr ? nullptr : member(*general, "positionEncodings");
    bool utf8 = encodings != nullptr && encodings->is_array() && !encodings->empty() &&
                (*encodings)[0] == "utf-8";
    server.units = utf8 ? Units::UTF8 : Units::UTF16;
    json types = json::array();
    for (int i = 0; i < TOKEN_TYPE_COUNT; i++)
        types.push_back(TOKEN_TYPES[i]);
    json modifiers = json::array();
    for (int i = 0; i < TOKEN_MODIFIER_COUNT; i++)
        modifiers.push_back(TOKEN_MODIFIERS[i]);
    return {{"capabilities",
             {{"positionEncoding", utf8 ? "utf-8" : "utf-16"},
              {"textDocumentSync", {{"openClose", true}, {"change", 2}}},
              {"semanticTokensProvider",
               {{"legend", {{"tokenTypes", types}, {"tokenModifiers", modifiers}}},
                {"full", true},
                {"range", true}}},
              {"definitionProvider", true},
              {"referencesProvider", true},
              {"hoverProvider", true},
              {"documentSymbolProvider", true},
              {"renameProvider", true},
              {"completionProvider", {{"triggerCharacters", json::array({" "})}}},
              {"codeActionProvider", true},
              {"executeCommandProvider", {{"commands", json::array({RENUMBER_COMMAND})}}}}},
            {"serverInfo", {{"name", "morvane-lsp"}, {"version", MORVANE_FULL_VERSION}}}};
}

json shutdown(Request &request) {
    request.server.shutdown_asked = true;
    return nullptr;
}

// The document and the offset its position names, for the requests at a place.
struct Place {
    std::string uri;
    OpenDocument *open = nullptr;
    std::size_t offset = 0;
};

bool read_place(Request &request, Place &place, bool with_position = true) {
    place.open = open_document(request.server, request.params, place.uri);
    if (place.open == nullptr) {
        failed(request, INVALID_PARAMS, "no open document has that uri");
        return false;
    }
    if (!with_position) return true;
    Position position;
    if (!position_member(request.params, "position", position)) {
        failed(request, INVALID_PARAMS, "a position is needed");
        return false;
    }
    place.offset = offset_of(place.open->document, position, request.server.units);
    return true;
}

Context context_of(Request &request, Place &place) {
    return {place.uri, place.open->document, analysis_of(*place.open), request.server.units};
}

// The result {"data": [...]}, its numbers written into the answer as they
// come: as JSON values they would take several times the document's room.
json with_token_data(Request &request, std::string data) {
    request.token_data = std::move(data);
    request.has_token_data = true;
    return {{"data", json::array()}};
}

json semantic_tokens_full(Request &request) {
    Place place;
    if (!read_place(request, place, false)) return nullptr;
    return with_token_data(request, semantic_token_data(context_of(request, place), 0,
                                                        place.open->document.text.size()));
}

// The document and the offsets of the range a request names.
bool read_range(Request &request, Place &place, std::size_t &from, std::size_t &to) {
    Position start, end;
    if (!read_place(request, place, false)) return false;
    if (!range_member(request.params, start, end)) {
        failed(request, INVALID_PARAMS, "a range is needed");
        return false;
    }
    from = offset_of(place.open->document, start, request.server.units);
    to = offset_of(place.open->document, end, request.server.units);
    return true;
}

json semantic_tokens_range(Request &request) {
    Place place;
    std::size_t from, to;
    if (!read_range(request, place, from, to)) return nullptr;
    return with_token_data(request, semantic_token_data(context_of(request, place), from, to));
}

json at_place(Request &request, json (*feature)(const Context &, std::size_t)) {
    Place place;
    if (!read_place(request, place)) return nullptr;
    return feature(context_of(request, place), place.offset);
}

json go_to_definition(Request &request) {
    return at_place(request, definition);
}
json hover_at(Request &request) {
    return at_place(request, hover);
}
json complete(Request &request) {
    return at_place(request, completion);
}

json find_references(Request &request) {
    Place place;
    if (!read_place(request, place)) return nullptr;
    const json *context = member(request.params, "context");
    const json *declaration = context == nullptr ? nullptr : member(*context, "includeDeclaration");
    bool with_declaration =
        declaration != nullptr && declaration->is_boolean() && declaration->get<bool>();
    return references(context_of(request, place), place.offset, with_declaration);
}

json symbols(Request &request) {
    Place place;
    if (!read_place(request, place, false)) return nullptr;
    return document_symbols(context_of(request, place));
}

json rename(Request &request) {
    Place place;
    std::string new_name, problem;
    if (!read_place(request, place)) return nullptr;
    if (!string_member(request.params, "newName", new_name))
        return failed(request, INVALID_PARAMS, "a newName is needed");
    json edit = rename_label(context_of(request, place), place.offset, new_name, problem);
    if (edit.is_null()) return failed(request, REQUEST_FAILED, problem);
    return edit;
}

json actions(Request &request) {
    Place place;
    std::size_t from, to;
    if (!read_range(request, place, from, to)) return nullptr;
    return code_actions(context_of(request, place), from, to);
}

bool renumber_arguments(const json &params, std::string &uri, RenumberOptions &options) {
    const json *arguments = member(params, "arguments");
    if (arguments == nullptr || !arguments->is_array() || arguments->empty() ||
        !(*arguments)[0].is_string())
        return false;
    uri = (*arguments)[0].get<std::string>();
    std::uint32_t *numbers[] = {&options.start, &options.step};
    for (std::size_t i = 1; i < 3 && i < arguments->size(); i++) {
        const json &value = (*arguments)[i];
        if (!value.is_number_unsigned() || value.get<std::uint64_t>() > 65535) return false;
        *numbers[i - 1] = static_cast<std::uint32_t>(value.get<std::uint64_t>());
    }
    return options.step > 0;
}

json execute_command(Request &request) {
    Server &server = request.server;
    std::string command, uri;
    RenumberOptions options;
    if (!string_member(request.params, "command", command) || command != RENUMBER_COMMAND)
        return failed(request, INVALID_PARAMS, "the one command is morvane.renumber");
    if (!renumber_arguments(request.params, uri, options))
        return failed(request, INVALID_PARAMS,
                      "morvane.renumber takes [uri, start, step]: start 0-65535, step 1-65535");
    auto found = server.documents.find(uri);
    if (found == server.documents.end())
        return failed(request, INVALID_PARAMS, "no open document has that uri");
    OpenDocument &open = found->second;
    Renumbered renumbered = renumber(open.document.text, options);
    if (renumbered.outcome == RenumberOutcome::RENUMBERED) {
        Context context{uri, open.document, open.analysis, server.units};
        send(server,
             {{"jsonrpc", "2.0"},
              {"id", server.next_request++},
              {"method", "workspace/applyEdit"},
              {"params",
               {{"label", "Renumber"}, {"edit", whole_document_edit(context, renumbered.text)}}}});
        return nullptr;
    }
    const char *why = renumbered.outcome == RenumberOutcome::REFUSED
                          ? "morvane-renum refused to renumber: see the errors among the findings"
                          : "morvane-renum ran out of memory";
    notify(server, "window/showMessage", {{"type", 1}, {"message", why}});
    publish(server, uri, open, renumbered.findings);
    return nullptr;
}

struct Method {
    const char *name;
    json (*request)(Request &); // nullptr for a notification
    void (*notification)(Server &, const json &);
};

const Method METHODS[] = {
    {"initialize", initialize, nullptr},
    {"shutdown", shutdown, nullptr},
    {"textDocument/semanticTokens/full", semantic_tokens_full, nullptr},
    {"textDocument/semanticTokens/range", semantic_tokens_range, nullptr},
    {"textDocument/definition", go_to_definition, nullptr},
    {"textDocument/references", find_references, nullptr},
    {"textDocument/hover", hover_at, nullptr},
    {"textDocument/documentSymbol", symbols, nullptr},
    {"textDocument/rename", rename, nullptr},
    {"textDocument/completion", complete, nullptr},
    {"textDocument/codeAction", actions, nullptr},
    {"workspace/executeCommand", execute_command, nullptr},
    {"textDocument/didOpen", nullptr, did_open},
    {"textDocument/didChange", nullptr, did_change},
    {"textDocument/didClose", nullptr, did_close},
};

const Method *method_named(const std::string &name) {
    for (const Method &method : METHODS)
        if (name == method.name) return &method;
    return nullptr;
}

void answer_request(Server &server, const json &id, const std::string &name, const json &params) {
    const Method *method = method_named(name);
    if (!server.initialized && name != "initialize")
        return respond_error(server, id, SERVER_NOT_INITIALIZED, "initialize comes first");
    if (server.shutdown_asked)
        return respond_error(server, id, INVALID_REQUEST, "the server is shutting down");
    if (method == nullptr || method->request == nullptr)
        return respond_error(server, id, METHOD_NOT_FOUND, "no such method: " + name);
    // A request sees the diagnostics of every change before it first.
    if (name != "initialize" && name != "shutdown") publish_due_diagnostics(server);
    Request request{server, params, 0, "", "", false};
    json result = method->request(request);
    if (request.error != 0) return respond_error(server, id, request.error, request.error_message);
    respond(server, id, result);
    if (request.has_token_data) {
        // The one empty array of the answer is the result's "data".
        std::string &answer = server.out.back();
        answer.insert(answer.rfind("[]") + 1, request.token_data);
    }
}

void take_notification(Server &server, const std::string &name, const json &params) {
    if (name == "exit") {
        server.exited = true;
        server.exit_status = server.shutdown_asked ? 0 : 1;
        return;
    }
    const Method *method = method_named(name);
    if (!server.initialized || method == nullptr || method->notification == nullptr) return;
    method->notification(server, params);
}

bool is_id(const json &id) {
    return id.is_string() || id.is_number_integer();
}

} // namespace

void handle_message(Server &server, const std::string &body) {
    json message = json::parse(body, nullptr, false);
    if (message.is_discarded())
        return respond_error(server, nullptr, PARSE_ERROR, "the message is not JSON");
    const json *id = member(message, "id");
    std::string method;
    bool has_method = string_member(message, "method", method);
    // A response to a request of ours, which has no method at all.
    if (member(message, "method") == nullptr && id != nullptr) return;
    if (!has_method || (id != nullptr && !is_id(*id)))
        return respond_error(server, id != nullptr && is_id(*id) ? *id : json(nullptr),
                             INVALID_REQUEST, "a message needs a method, and a request an id");
    const json *given = member(message, "params");
    static const json NO_PARAMS = json::object();
    const json &params = given != nullptr ? *given : NO_PARAMS;
    try {
        if (id != nullptr)
            answer_request(server, *id, method, params);
        else
            take_notification(server, method, params);
    } catch (const std::exception &failure) {
        // Memory ran out, most likely: the request is answered all the same.
        if (id != nullptr) respond_error(server, *id, INTERNAL_ERROR, failure.what());
    }
}

bool take_next_message(Server &server, WireReader &reader) {
    std::string body;
    WireStatus status = read_message(reader, body);
    if (status == WireStatus::ENDED) return false;
    if (status == WireStatus::BAD_HEADER)
        respond_error(server, nullptr, PARSE_ERROR,
                      "a message without a Content-Length was skipped");
    else
        handle_message(server, body);
    return true;
}

void publish_due_diagnostics(Server &server) {
    for (auto &[uri, open] : server.documents)
        if (open.diagnostics_due) {
            check_document(open.document, open.analysis);
            publish(server, uri, open, open.analysis.findings);
        }
}

} // namespace morvane::lsp
