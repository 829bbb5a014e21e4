#include "support.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

std::string hex(const std::string &bytes) {
    static const char DIGITS[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char b : bytes) {
        if (!text.empty()) text += ' ';
        text += DIGITS[b >> 4];
        text += DIGITS[b & 0xF];
    }
    return text;
}

std::string from_hex(const std::string &text) {
    std::string digits;
    for (char c : text)
        if (c != ' ') digits += c;
    if (digits.size() % 2 != 0) throw std::invalid_argument("odd hex: " + text);
    std::string bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
    return bytes;
}

std::string image_header() {
    std::string header(10, '\xD3');
    header.append("mrv\0\0\0", 6);
    return header;
}

std::string image_trailer() {
    return std::string(12, '\0');
}

std::string partial_image_of(const std::vector<std::string> &records_hex) {
    std::string image = image_header();
    for (const std::string &record : records_hex)
        image += from_hex(record);
    return image;
}

std::string image_of(const std::vector<std::string> &records_hex) {
    return partial_image_of(records_hex) + image_trailer();
}

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool file_exists(const std::string &path) {
    return std::filesystem::exists(path);
}

TempDir::TempDir() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/morvane-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

namespace {

void redirect_or_die(const std::string &path, int flags, int target) {
    int fd = open(path.c_str(), flags, 0644);
    if (fd < 0 || dup2(fd, target) < 0) _exit(127);
    close(fd);
}

// Gives the child its standard streams as the setup asks, or ends it with 127.
void set_up_child(const RunSetup &setup, const std::string &output_path,
                  const std::string &errors_path) {
    redirect_or_die(setup.stdin_path, O_RDONLY, 0);
    if (setup.stdout_path.empty())
        redirect_or_die(output_path, O_WRONLY | O_CREAT | O_TRUNC, 1);
    else
        redirect_or_die(setup.stdout_path, O_RDWR, 1);
    redirect_or_die(errors_path, O_WRONLY | O_CREAT | O_TRUNC, 2);
    for (int stream = 0; stream < 3; stream++)
        if (setup.closed[stream]) close(stream);
    if (!setup.directory.empty() && chdir(setup.directory.c_str()) != 0) _exit(127);
    if (setup.memory_limit != 0) {
        rlimit limit{setup.memory_limit, setup.memory_limit};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(127);
    }
    if (setup.file_size_limit != 0) {
        // A write past the limit then fails with EFBIG instead of a signal.
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{setup.file_size_limit, setup.file_size_limit};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
    }
    if (setup.user != 0 &&
        (setgroups(0, nullptr) != 0 || setgid(setup.user) != 0 || setuid(setup.user) != 0))
        _exit(127);
}

} // namespace

// A build for coverage writes its counts as the program exits, and says so
// where it cannot (a run as another user, under a file size limit): those
// lines are the build's, never the program's.
namespace {

std::string without_coverage_notes(const std::string &errors) {
    std::string kept;
    for (std::size_t at = 0; at < errors.size();) {
        std::size_t end = errors.find('\n', at);
        end = end == std::string::npos ? errors.size() : end + 1;
        std::string line = errors.substr(at, end - at);
        if (line.rfind("profiling:", 0) != 0 && line.rfind("libgcov profiling error:", 0) != 0)
            kept += line;
        at = end;
    }
    return kept;
}

} // namespace

RunResult run_program(const char *binary, const std::vector<std::string> &arguments,
                      const RunSetup &setup) {
    TempDir streams;
    std::string errors_path = streams.path("stderr");
    std::string output_path = streams.path("stdout");
    std::vector<char *> argv{const_cast<char *>(binary)};
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child == 0) {
        set_up_child(setup, output_path, errors_path);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int wait_status = 0;
    waitpid(child, &wait_status, 0);
    int status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    return {status, without_coverage_notes(read_file(errors_path)), read_file(output_path)};
}

RunResult run_morvane(const std::vector<std::string> &arguments, const std::string &stdin_path) {
    RunSetup setup;
    setup.stdin_path = stdin_path;
    return run_program(MORVANE_BINARY, arguments, setup);
}

RunResult run_morvane_list(const std::vector<std::string> &arguments,
                           const std::string &stdin_path) {
    RunSetup setup;
    setup.stdin_path = stdin_path;
    return run_program(MORVANE_LIST_BINARY, arguments, setup);
}

Listing list(const std::string &image) {
    TempDir dir;
    write_file(dir.path("image.img"), image);
    RunResult run = run_morvane_list({dir.path("image.img"), dir.path("listing.bas")});
    std::size_t path_at = run.errors.find(dir.path("image.img"));
    if (path_at != std::string::npos)
        run.errors.replace(path_at, dir.path("image.img").size(), "IMAGE");
    return {run.status, run.errors, file_exists(dir.path("listing.bas")),
            read_file(dir.path("listing.bas"))};
}

Conversion convert(const std::string &listing) {
    TempDir dir;
    write_file(dir.path("listing.bas"), listing);
    RunResult run = run_morvane({dir.path("listing.bas"), dir.path("image.bin")});
    return {run.status, run.errors, read_file(dir.path("image.bin")),
            read_file(dir.path("listing.bas"))};
}

std::string source_path(const std::string &relative) {
    return std::string(MORVANE_SOURCE_DIR) + "/" + relative;
}

bool running_as_root() {
    return geteuid() == 0;
}

std::string with_path(const std::string &printed, const std::string &path) {
    std::string result;
    for (std::size_t at = 0; at < printed.size(); at++)
        result += printed.compare(at, 2, "F:") == 0 && (at == 0 || printed[at - 1] == '\n')
                      ? (at++, path + ":")
                      : std::string(1, printed[at]);
    return result;
}

SilencedStandardError::SilencedStandardError() : saved_(dup(2)) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    close(null);
}

SilencedStandardError::~SilencedStandardError() {
    dup2(saved_, 2);
    close(saved_);
}
