// morvane-lsp as an editor meets it: sessions of protocol messages on its
// standard input, its answers read back from its standard output, and the
// promise that its diagnostics are morvane-check's findings.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/basic/keyword_table.h"
#include "core/text/utf8_listing.h"
#include "support.h"

namespace {

using nlohmann::json;

const std::string URI = "file:///work/game.bas";

std::string framed(const json &message) {
    std::string body = message.dump();
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The messages in the server's output, in order; a frame that does not
// parse fails the test.
std::vector<json> messages_in(const std::string &output) {
    std::vector<json> messages;
    for (std::size_t at = 0; at < output.size();) {
        std::size_t header_end = output.find("\r\n\r\n", at);
        EXPECT_NE(header_end, std::string::npos) << "a header without its end";
        if (header_end == std::string::npos) break;
        std::size_t length = std::stoul(output.substr(at + 16, header_end - at - 16));
        messages.push_back(json::parse(output.substr(header_end + 4, length)));
        at = header_end + 4 + length;
    }
    return messages;
}

json request(int id, const std::string &method, const json &params) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}};
}
json notification(const std::string &method, const json &params) {
    return {{"jsonrpc", "2.0"}, {"method", method}, {"params", params}};
}
json initialize(const json &encodings = nullptr) {
    json capabilities = json::object();
    if (!encodings.is_null()) capabilities["general"]["positionEncodings"] = encodings;
    return request(1, "initialize", {{"processId", nullptr}, {"capabilities", capabilities}});
}
json did_open(const std::string &text, const std::string &uri = URI) {
    return notification(
        "textDocument/didOpen",
        {{"textDocument",
          {{"uri", uri}, {"languageId", "morvane-basic"}, {"version", 1}, {"text", text}}}});
}
json at(int line, int character) {
    return {{"textDocument", {{"uri", URI}}},
            {"position", {{"line", line}, {"character", character}}}};
}
json shutdown(int id = 99) {
    return request(id, "shutdown", nullptr);
}
json exit_message() {
    return notification("exit", nullptr);
}

struct Session {
    int status;
    std::string errors;
    std::vector<json> messages;
};

// Runs the server on the messages (and any raw bytes among them, as
// strings) as its whole input.
Session run_session(const std::vector<json> &sent, const std::string &raw_after = "") {
    TempDir dir;
    std::string input;
    for (const json &message : sent)
        input += message.is_string() ? message.get<std::string>() : framed(message);
    write_file(dir.path("in"), input + raw_after);
    RunSetup setup;
    setup.stdin_path = dir.path("in");
    RunResult run = run_program(MORVANE_LSP_BINARY, {"--stdio"}, setup);
    return {run.status, run.errors, messages_in(run.output)};
}

// The one answer to the request id; null (and a failure) if there is not exactly one.
json answer(const Session &session, int id) {
    json found;
    int count = 0;
    for (const json &message : session.messages)
        if (message.contains("id") && message["id"] == id && !message.contains("method")) {
            found = message;
            count++;
        }
    EXPECT_EQ(count, 1) << "answers to request " << id;
    return found;
}

std::vector<json> notifications(const Session &session, const std::string &method) {
    std::vector<json> found;
    for (const json &message : session.messages)
        if (message.value("method", "") == method && !message.contains("id"))
            found.push_back(message);
    return found;
}

// ---- What each request gives, on one document.

const std::string PROGRAM = "10 SCORE=1:GOSUB 100\n"
                            "20 PRINT \"FOR\":GOTO @top\n"
                            "@top\n"
                            "90 REM draws the board\n"
                            "100 PRINT \"ア\":RETURN\n";

struct FeatureCase {
    const char *name;
    std::string method;
    json params;
    json result;
    int error = 0; // the error's code where the request is refused
    std::string text = PROGRAM;
};

json parsed(const char *text) {
    return json::parse(text);
}

const FeatureCase FEATURE_CASES[] = {
    {"KeywordsInsideANameAndNoneInAString",
     "textDocument/semanticTokens/range",
     {{"textDocument", {{"uri", URI}}},
      {"range",
       {{"start", {{"line", 0}, {"character", 0}}}, {"end", {{"line", 2}, {"character", 0}}}}}},
     // 10 SC OR E = 1 : GOSUB 100 / 20 PRINT "FOR" : GOTO @top; the lines' own
     // numbers are declarations (1), the one GOSUB names a reference (2)
     parsed(R"({"data":[0,0,2,4,1, 0,3,2,5,0, 0,2,2,0,0, 0,2,1,5,0, 0,1,1,1,0, 0,1,1,4,0,
                        0,2,5,0,0, 0,6,3,4,2,
                        1,0,2,4,1, 0,3,5,0,0, 0,6,5,2,0, 0,6,4,0,0, 0,5,4,6,0]})")},
    {"DefinitionOfAGosubsLine", "textDocument/definition", at(0, 18),
     parsed(
         R"({"uri":"file:///work/game.bas","range":{"start":{"line":4,"character":0},"end":{"line":4,"character":3}}})")},
    {"DefinitionOfALabel", "textDocument/definition", at(1, 22),
     parsed(
         R"({"uri":"file:///work/game.bas","range":{"start":{"line":2,"character":0},"end":{"line":2,"character":4}}})")},
    {"NoDefinitionOutsideTheDocument", "textDocument/definition", at(99, 99), nullptr},
    {"ReferencesOfALinesNumber",
     "textDocument/references",
     {{"textDocument", {{"uri", URI}}},
      {"position", {{"line", 4}, {"character", 1}}},
      {"context", {{"includeDeclaration", false}}}},
     parsed(
         R"([{"uri":"file:///work/game.bas","range":{"start":{"line":0,"character":17},"end":{"line":0,"character":20}}}])")},
    {"HoverOnAKeywordGivesItsToken", "textDocument/hover", at(0, 12),
     parsed(
         R"({"contents":{"kind":"markdown","value":"**GOSUB**: the token 0x8C"},"range":{"start":{"line":0,"character":11},"end":{"line":0,"character":16}}})")},
    {"HoverOnALineNumberGivesItsRecord", "textDocument/hover", at(4, 0),
     parsed(
         R"({"contents":{"kind":"markdown","value":"Line 100: a record of 12 bytes, `FF FF 64 00 95 20 22 B1 22 3A 8D 00`"},"range":{"start":{"line":4,"character":0},"end":{"line":4,"character":3}}})")},
    {"SymbolsAreTheLabelsAndTheLinesAGosubCalls",
     "textDocument/documentSymbol",
     {{"textDocument", {{"uri", URI}}}},
     parsed(
         R"([{"name":"@top","kind":12,"range":{"start":{"line":2,"character":0},"end":{"line":2,"character":4}},"selectionRange":{"start":{"line":2,"character":0},"end":{"line":2,"character":4}}},
                {"name":"100 draws the board","kind":12,"range":{"start":{"line":4,"character":0},"end":{"line":4,"character":20}},"selectionRange":{"start":{"line":4,"character":0},"end":{"line":4,"character":3}}}])")},
    {"RenameALabelEverywhere",
     "textDocument/rename",
     {{"textDocument", {{"uri", URI}}},
      {"position", {{"line", 2}, {"character", 2}}},
      {"newName", "start"}},
     parsed(R"({"changes":{"file:///work/game.bas":[
        {"range":{"start":{"line":1,"character":20},"end":{"line":1,"character":24}},"newText":"@start"},
        {"range":{"start":{"line":2,"character":0},"end":{"line":2,"character":4}},"newText":"@start"}]}})")},
    {"CompletionAfterGotoOffersTheLines", "textDocument/completion", at(1, 20),
     parsed(R"({"isIncomplete":false,"items":[{"label":"10","kind":18},{"label":"20","kind":18},
        {"label":"@top","kind":18},{"label":"90","kind":18},{"label":"100","kind":18}]})")},
    {"CodeActionPutsSpacesAroundTheKeyword",
     "textDocument/codeAction",
     {{"textDocument", {{"uri", URI}}},
      {"range",
       {{"start", {{"line", 0}, {"character", 3}}}, {"end", {{"line", 0}, {"character", 3}}}}},
      {"context", {{"diagnostics", json::array()}}}},
     parsed(R"([{"title":"Put spaces around the keyword","kind":"quickfix",
        "diagnostics":[{"range":{"start":{"line":0,"character":3},"end":{"line":0,"character":8}},"severity":2,"code":"keyword-in-name","source":"morvane",
          "message":"SCORE is read as S C OR E: a keyword stands inside the name; rename it or put spaces around the keyword"}],
        "edit":{"changes":{"file:///work/game.bas":[
          {"range":{"start":{"line":0,"character":5},"end":{"line":0,"character":5}},"newText":" "},
          {"range":{"start":{"line":0,"character":7},"end":{"line":0,"character":7}},"newText":" "}]}}}])")},
    {"HoverOnAReferenceSaysWhereItGoes", "textDocument/hover", at(0, 18),
     parsed(
         R"({"contents":{"kind":"markdown","value":"Goes to line 100"},"range":{"start":{"line":0,"character":17},"end":{"line":0,"character":20}}})")},
    {"HoverOnANameIsNothing", "textDocument/hover", at(0, 4), nullptr},
    {"ReferencesOfALabelAreItsUses",
     "textDocument/references",
     {{"textDocument", {{"uri", URI}}},
      {"position", {{"line", 2}, {"character", 1}}},
      {"context", {{"includeDeclaration", false}}}},
     parsed(
         R"([{"uri":"file:///work/game.bas","range":{"start":{"line":1,"character":20},"end":{"line":1,"character":24}}}])")},
    {"CodeActionRenumbersLinesOutOfOrder",
     "textDocument/codeAction",
     {{"textDocument", {{"uri", URI}}},
      {"range",
       {{"start", {{"line", 1}, {"character", 0}}}, {"end", {{"line", 1}, {"character", 0}}}}},
      {"context", {{"diagnostics", json::array()}}}},
     parsed(R"json([{"title":"Renumber the program (morvane-renum)","kind":"quickfix",
        "diagnostics":[{"range":{"start":{"line":1,"character":0},"end":{"line":1,"character":1}},"severity":1,"code":"line-order","source":"morvane",
          "message":"line number 5 is not above 10 on line 1"}],
        "command":{"title":"Renumber","command":"morvane.renumber","arguments":["file:///work/game.bas",10,10]}}])json"),
     0,
     "10 A\n5 B\n"},
    {"RenameOnlyALabel",
     "textDocument/rename",
     {{"textDocument", {{"uri", URI}}},
      {"position", {{"line", 0}, {"character", 4}}},
      {"newName", "B"}},
     nullptr,
     -32803},
    {"RenameToNoLabelsName",
     "textDocument/rename",
     {{"textDocument", {{"uri", URI}}},
      {"position", {{"line", 2}, {"character", 1}}},
      {"newName", "a b"}},
     nullptr,
     -32803},
    {"RenameNeedsANewName", "textDocument/rename", at(2, 1), nullptr, -32602},
    {"HoverNeedsAPosition",
     "textDocument/hover",
     {{"textDocument", {{"uri", URI}}}},
     nullptr,
     -32602},
    {"TokensOfARangeNeedTheRange",
     "textDocument/semanticTokens/range",
     {{"textDocument", {{"uri", URI}}}},
     nullptr,
     -32602},
    {"TheOneCommandIsTheRenumbering",
     "workspace/executeCommand",
     {{"command", "morvane.other"}},
     nullptr,
     -32602},
};

class Features : public testing::TestWithParam<FeatureCase> {};

TEST_P(Features, AnswerAsTheMachineReads) {
    const FeatureCase &c = GetParam();
    Session session = run_session({initialize(), did_open(c.text), request(2, c.method, c.params),
                                   shutdown(), exit_message()});
    EXPECT_EQ(session.status, 0);
    json got = answer(session, 2);
    if (c.error != 0)
        EXPECT_EQ(got["error"]["code"], c.error) << got.dump();
    else
        EXPECT_EQ(got.value("result", json()), c.result) << got.dump();
}

INSTANTIATE_TEST_SUITE_P(Lsp, Features, testing::ValuesIn(FEATURE_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

// ---- The protocol: what comes first, what is not understood, how it ends.

TEST(LspProtocol, EveryRequestIsAnsweredOnceAndTheEndIsAsAsked) {
    const std::string not_json = "Content-Length: 9\r\n\r\n{\"id\": 1,";
    const std::string no_length = "Content-Type: x\r\n\r\n";
    // A length five bytes short: the rest of its body stands before the next header.
    std::string cut = framed(request(11, "textDocument/hover", at(0, 0)));
    std::size_t body = cut.find('{');
    cut.replace(16, body - 20, std::to_string(cut.size() - body - 5));
    Session session = run_session(
        {request(5, "textDocument/hover", at(0, 0)), initialize(), not_json, no_length, cut,
         request(6, "no/such/method", nullptr), notification("no/such/notification", nullptr),
         request(7, "textDocument/hover", at(0, 0)),
         json{
             {"jsonrpc", "2.0"}, {"id", 12}, {"result", nullptr}}, // an answer to a request of ours
         json{{"jsonrpc", "2.0"}, {"id", 13}, {"method", 5}},
         request(14, "textDocument/hover", at(-1, 0)),
         request(10, "initialize", {{"capabilities", json::object()}}), shutdown(8),
         request(9, "textDocument/hover", at(0, 0)), exit_message()});
    EXPECT_EQ(session.status, 0);
    EXPECT_EQ(session.errors, "");
    EXPECT_EQ(answer(session, 5)["error"]["code"], -32002) << "before initialize";
    EXPECT_EQ(answer(session, 6)["error"]["code"], -32601);
    EXPECT_EQ(answer(session, 7)["error"]["code"], -32602) << "no such document";
    EXPECT_EQ(answer(session, 13)["error"]["code"], -32600) << "a method that is no name";
    EXPECT_EQ(answer(session, 14)["error"]["code"], -32602) << "a line below 0";
    for (const json &message : session.messages)
        EXPECT_NE(message.value("id", json()), 12) << "an answer is not answered";
    EXPECT_EQ(answer(session, 1)["result"]["capabilities"]["positionEncoding"], "utf-16");
    EXPECT_EQ(answer(session, 8)["result"], nullptr);
    EXPECT_EQ(answer(session, 9)["error"]["code"], -32600) << "after shutdown";
    int parse_errors = 0, second_initialize = 0;
    for (const json &message : session.messages) {
        if (message.contains("error") && message["id"].is_null() &&
            message["error"]["code"] == -32700)
            parse_errors++;
        if (message.contains("error") && message["id"] == 10) second_initialize++;
    }
    EXPECT_EQ(parse_errors, 3) << "the message that is not JSON, the header without a length "
                                  "and the message cut short";
    EXPECT_EQ(second_initialize, 1);

    EXPECT_EQ(run_session({initialize(), exit_message()}).status, 1) << "exit without shutdown";
    EXPECT_EQ(run_session({initialize(), shutdown()}).status, 1) << "the input ended";
    EXPECT_EQ(
        run_session({initialize(), shutdown(), exit_message()}, "Content-Length: 99999\r\n\r\n{")
            .status,
        0)
        << "nothing after exit is read";
    RunResult usage = run_program(MORVANE_LSP_BINARY, {"--tcp"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.errors, "usage: morvane-lsp [--stdio]\n");
    RunResult help = run_program(MORVANE_LSP_BINARY, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("usage: morvane-lsp [--stdio]\n", 0), 0u);
    EXPECT_EQ(run_program(MORVANE_LSP_BINARY, {"--version"}).output,
              "morvane-lsp " MORVANE_PROJECT_VERSION "\n");
}

// A client that lists UTF-8 first counts characters in bytes.
TEST(LspProtocol, PositionsInTheUnitsAgreed) {
    const std::string text = "10 A$=\"ア\":GOTO 99\n";
    for (bool utf8 : {false, true}) {
        Session session = run_session(
            {initialize(utf8 ? json::array({"utf-8", "utf-16"}) : json::array({"utf-16", "utf-8"})),
             did_open(text), request(2, "textDocument/hover", at(0, utf8 ? 12 : 10)), shutdown(),
             exit_message()});
        EXPECT_EQ(answer(session, 1)["result"]["capabilities"]["positionEncoding"],
                  utf8 ? "utf-8" : "utf-16");
        EXPECT_EQ(answer(session, 2)["result"]["contents"]["value"], "**GOTO**: the token 0x88");
        std::vector<json> published = notifications(session, "textDocument/publishDiagnostics");
        ASSERT_EQ(published.size(), 1u);
        const json &missing = published[0]["params"]["diagnostics"][0];
        EXPECT_EQ(missing["code"], "missing-target");
        EXPECT_EQ(missing["range"]["start"]["character"], utf8 ? 17 : 15);
    }
}

// ---- Diagnostics: exactly morvane-check's findings.

// The findings as morvane-check prints them, from the diagnostics.
std::string as_printed(const json &diagnostics, const std::string &path) {
    std::string printed;
    for (const json &d : diagnostics)
        printed += path + ":" + std::to_string(d["range"]["start"]["line"].get<int>() + 1) + ":" +
                   std::to_string(d["range"]["start"]["character"].get<int>() + 1) + ": " +
                   (d["severity"] == 1 ? "error" : "warning") + ": " +
                   d["message"].get<std::string>() + " [" + d["code"].get<std::string>() + "]\n";
    return printed;
}

std::string as_utf8(const std::string &shift_jis) {
    std::string out(3 * shift_jis.size() + 1, '\0');
    out.resize(morvane::shift_jis_text_as_utf8(
        reinterpret_cast<const unsigned char *>(shift_jis.data()), shift_jis.size(),
        reinterpret_cast<unsigned char *>(out.data())));
    return out;
}

std::vector<std::string> listings_to_check() {
    std::vector<std::string> listings = {
        "10 SCORE=1\n20 GOTO 30\n10 PRINT\n",
        "@top\nPRINT \"今\"\n  GOTO @nowhere\n",
        "10 A$=\"ア\r\n5 B\r70000 C\n70001 D\n",
        "\xEF\xBB\xBF"
        "10 PRINT 1\n\n20 \x1A",
        "10 PREMIUM=1:X=1\n20 DATA 1,\"A\"\n" + std::string(1100, 'A') + "\n",
    };
    for (const char *example : {"examples/hello.bas", "examples/guess.bas", "examples/nihongo.bas"})
        listings.push_back(as_utf8(read_file(source_path(example))));
    std::string corpus = source_path("../shared/corpus");
    if (file_exists(corpus))
        for (const auto &entry : std::filesystem::recursive_directory_iterator(corpus))
            if (entry.path().extension() == ".bas")
                listings.push_back(as_utf8(read_file(entry.path().string())));
    return listings;
}

TEST(LspProperty, DiagnosticsAreMorvaneChecksFindings) {
    std::vector<std::string> listings = listings_to_check();
    std::vector<json> sent = {initialize()};
    for (std::size_t i = 0; i < listings.size(); i++)
        sent.push_back(did_open(listings[i], "file:///" + std::to_string(i)));
    sent.push_back(shutdown());
    sent.push_back(exit_message());
    Session session = run_session(sent);
    std::map<std::string, json> published;
    for (const json &message : notifications(session, "textDocument/publishDiagnostics"))
        published[message["params"]["uri"]] = message["params"]["diagnostics"];
    ASSERT_EQ(published.size(), listings.size());
    TempDir dir;
    for (std::size_t i = 0; i < listings.size(); i++) {
        std::string path = dir.path("listing.bas");
        write_file(path, listings[i]);
        RunResult checked = run_program(MORVANE_CHECK_BINARY, {"--encoding=utf-8", path});
        EXPECT_EQ(as_printed(published["file:///" + std::to_string(i)], path), checked.output)
            << listings[i].substr(0, 200);
    }
}

// After each change the diagnostics are those of the text as changed:
// edits by range, in UTF-16 units, one after another, and a whole text.
TEST(LspProperty, ChangesGiveTheDiagnosticsOfTheChangedText) {
    auto change = [](int version, const json &changes) {
        return notification(
            "textDocument/didChange",
            {{"textDocument", {{"uri", URI}, {"version", version}}}, {"contentChanges", changes}});
    };
    auto range = [](int line, int from, int to) {
        return json{{"start", {{"line", line}, {"character", from}}},
                    {"end", {{"line", line}, {"character", to}}}};
    };
    Session session =
        run_session({initialize(), did_open("10 PRINT \"ア\":GOTO 20\n"),
                     change(2, json::array({{{"range", range(0, 11, 11)}, {"text", "今"}},
                                            {{"range", range(0, 19, 21)}, {"text", "10"}}})),
                     request(2, "textDocument/hover", at(0, 0)),
                     change(3, json::array({{{"text", "5 A\n1 B\n"}}})),
                     request(3, "textDocument/hover", at(0, 0)),
                     notification("textDocument/didClose", {{"textDocument", {{"uri", URI}}}}),
                     shutdown(), exit_message()});
    std::vector<json> published = notifications(session, "textDocument/publishDiagnostics");
    ASSERT_EQ(published.size(), 3u) << "changes before a request are checked once";
    EXPECT_EQ(published[2]["params"]["diagnostics"], json::array()) << "closed: nothing stays";
    EXPECT_EQ(as_printed(published[0]["params"]["diagnostics"], "F"),
              "F:1:12: error: character 今 (U+4ECA) is not in the target character set; replace it "
              "[charset]\n")
        << "ア今, and GOTO 10";
    EXPECT_EQ(published[0]["params"]["version"], 2);
    EXPECT_EQ(as_printed(published[1]["params"]["diagnostics"], "F"),
              "F:2:1: error: line number 1 is not above 5 on line 1 [line-order]\n");
}

// ---- The renumbering: exactly morvane-renum's output, or its refusal.

TEST(LspRenumber, EditIsMorvaneRenumsOutputAndARefusalIsShown) {
    const std::string text = "5 GOTO @end\n7 PRINT \"ア\":GOSUB 5\n@end\nEND\n";
    auto renumber = [](int id, const json &arguments) {
        return request(id, "workspace/executeCommand",
                       {{"command", "morvane.renumber"}, {"arguments", arguments}});
    };
    Session session = run_session(
        {initialize(), did_open(text), renumber(2, json::array({URI, 100, 5})),
         renumber(3, json::array({URI, 100, 0})),
         renumber(4, json::array({"file:///none", 10, 10})), shutdown(), exit_message()});
    EXPECT_EQ(answer(session, 2)["result"], nullptr);
    EXPECT_EQ(answer(session, 3)["error"]["code"], -32602) << "step 0";
    EXPECT_EQ(answer(session, 4)["error"]["code"], -32602) << "no such document";
    TempDir dir;
    write_file(dir.path("in.bas"), text);
    ASSERT_EQ(run_program(MORVANE_RENUM_BINARY, {"--start", "100", "--step", "5",
                                                 dir.path("in.bas"), dir.path("out.bas")})
                  .status,
              0);
    json edit;
    for (const json &message : session.messages)
        if (message.value("method", "") == "workspace/applyEdit") edit = message["params"]["edit"];
    ASSERT_TRUE(edit.is_object());
    const json &edits = edit["changes"][URI];
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(edits[0]["newText"], read_file(dir.path("out.bas")));
    EXPECT_EQ(edits[0]["range"],
              parsed(R"({"start":{"line":0,"character":0},"end":{"line":4,"character":0}})"));

    Session refused =
        run_session({initialize(), did_open("10 GOTO @nowhere\n"),
                     renumber(2, json::array({URI, 10, 10})), shutdown(), exit_message()});
    std::vector<json> shown = notifications(refused, "window/showMessage");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0]["params"]["type"], 1);
    std::vector<json> published = notifications(refused, "textDocument/publishDiagnostics");
    ASSERT_FALSE(published.empty());
    EXPECT_EQ(published.back()["params"]["diagnostics"][0]["code"], "unknown-label");
}

// ---- The VS Code extension's grammar, for the moment before the server answers.

// It names every keyword of the table, a name that starts another after it
// (INP after INPUT), so that the longer is found whole.
TEST(VscodeExtension, GrammarNamesEveryKeywordLongestFirst) {
    json grammar = json::parse(
        read_file(source_path("editors/vscode/syntaxes/morvane-basic.tmLanguage.json")));
    std::string match = grammar["repository"]["keyword"]["match"];
    ASSERT_EQ(match.rfind("(?i)(", 0), 0u);
    std::vector<std::string> names;
    std::string alternatives = match.substr(5, match.size() - 6);
    for (std::size_t at = 0, bar; at <= alternatives.size(); at = bar + 1) {
        bar = alternatives.find('|', at);
        if (bar == std::string::npos) bar = alternatives.size();
        std::string name = alternatives.substr(at, bar - at);
        for (std::size_t escape; (escape = name.find('\\')) != std::string::npos;)
            name.erase(escape, 1);
        names.push_back(name);
    }
    std::vector<std::string> words;
    for (const morvane::KeywordEntry &entry : morvane::KEYWORDS)
        if (entry.name[0] >= 'A' && entry.name[0] <= 'Z') words.push_back(entry.name);
    std::vector<std::string> sorted_names = names, sorted_words = words;
    std::sort(sorted_names.begin(), sorted_names.end());
    std::sort(sorted_words.begin(), sorted_words.end());
    EXPECT_EQ(sorted_names, sorted_words);
    for (std::size_t i = 0; i < names.size(); i++)
        for (std::size_t k = i + 1; k < names.size(); k++)
            EXPECT_NE(names[k].rfind(names[i], 0), 0u) << names[i] << " hides " << names[k];
}

} // namespace
