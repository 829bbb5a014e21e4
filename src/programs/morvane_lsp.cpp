// morvane-lsp: the language server. Reads the protocol's messages on
// standard input, answers on standard output, and checks each document
// once no message waits, so that a burst of typing is checked once.
#include <cerrno>
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "lsp/server.h"
#include "lsp/wire.h"
#include "programs/run_files.h"

namespace {

constexpr const char *HELP =
    "usage: morvane-lsp [--stdio]\n"
    "The language server for BASIC listings of the target machine: speaks the Language Server\n"
    "Protocol on standard input and output (--stdio, which editors pass, is the one way).\n"
    "  -h, --help   print this help\n"
    "  --version    print the version\n"
    "Status: 0 after shutdown and exit, 1 if the input ended or exit came without shutdown,\n"
    "2 a usage error.\n";
constexpr morvane::ProgramText PROGRAM{"morvane-lsp", HELP};

long long read_standard_input(void *, char *buffer, std::size_t size) {
#if defined(_WIN32)
    return _read(0, buffer, static_cast<unsigned>(size));
#else
    for (;;) {
        ssize_t got = read(STDIN_FILENO, buffer, size);
        if (got < 0 && errno == EINTR) continue;
        return got;
    }
#endif
}

// True if more input has come through the pipe from the editor that the
// reader has not taken yet. A file given as input always reads as ready: it
// has come whole, and each message is worked through in turn.
bool input_waiting() {
#if defined(_WIN32)
    return false;
#else
    struct stat status;
    if (fstat(STDIN_FILENO, &status) != 0 || S_ISREG(status.st_mode)) return false;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    return poll(&input, 1, 0) > 0 && (input.revents & POLLIN) != 0;
#endif
}

bool send_all(morvane::lsp::Server &server) {
    bool written = true;
    for (const std::string &body : server.out) {
        std::string header = morvane::lsp::frame_header(body);
        written = std::fwrite(header.data(), 1, header.size(), stdout) == header.size() &&
                  std::fwrite(body.data(), 1, body.size(), stdout) == body.size() && written;
    }
    server.out.clear();
    return std::fflush(stdout) == 0 && written;
}

} // namespace

int main(int argc, char **argv) {
    morvane::answer_help_or_version(argc, argv, PROGRAM);
    if (argc > 2 || (argc == 2 && std::strcmp(argv[1], "--stdio") != 0)) {
        std::fputs("usage: morvane-lsp [--stdio]\n", stderr);
        return 2;
    }
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    morvane::lsp::Server server;
    morvane::lsp::WireReader reader{read_standard_input, nullptr, {}, false};
    while (!server.exited && morvane::lsp::take_next_message(server, reader)) {
        if (!morvane::lsp::message_waiting(reader) && !input_waiting())
            morvane::lsp::publish_due_diagnostics(server);
        // An editor that closed its end takes no more: the server ends.
        if (!send_all(server)) return 1;
    }
    return server.exited ? server.exit_status : 1;
}
