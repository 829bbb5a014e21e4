// Helpers shared by the tests: hex notation, expected images, running the program.
#pragma once

#include <string>
#include <vector>

// Bytes are kept in std::string; hex() shows them as "FF FF 0A 00".
std::string hex(const std::string &bytes);

// Parses "FF FF 0A 00" (spaces optional) into bytes.
std::string from_hex(const std::string &text);

// The 16-byte header every image starts with, and the 12-byte trailer.
std::string image_header();
std::string image_trailer();

// A complete image: header, the records given in hex, trailer.
std::string image_of(const std::vector<std::string> &records_hex);

// What the run left behind after a conversion error: header and records, no trailer.
std::string partial_image_of(const std::vector<std::string> &records_hex);

std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &bytes);
bool file_exists(const std::string &path);

// A fresh directory under the system's temporary directory, removed afterwards.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string path(const std::string &name) const { return dir_ + "/" + name; }

  private:
    std::string dir_;
};

struct RunResult {
    int status;         // exit status, or 128 + signal number if killed
    std::string errors; // everything written to standard error
    std::string output; // everything written to standard output
};

// How a program is started: where its standard input comes from, which of
// its standard streams are closed, how much address space it may use and
// how large a file it may write (as on a disk that is full past that size).
struct RunSetup {
    std::string stdin_path = "/dev/null";
    std::string stdout_path;                // opened for reading and writing, as 1<>path
    std::string directory;                  // where it runs; "" for the test's own
    bool closed[3] = {false, false, false}; // standard input, output, error
    unsigned long memory_limit = 0;         // bytes of address space; 0 for no limit
    unsigned long file_size_limit = 0;      // bytes; 0 for no limit
    unsigned user = 0;                      // a root test's run as this user and group; 0 as itself
};

// Runs a built program with the arguments; what a closed stream would have
// carried is not captured.
RunResult run_program(const char *binary, const std::vector<std::string> &arguments,
                      const RunSetup &setup = {});

// Runs the built morvane with the arguments; standard input from stdin_path
// (or /dev/null).
RunResult run_morvane(const std::vector<std::string> &arguments,
                      const std::string &stdin_path = "/dev/null");

// Runs the built morvane-list with the arguments.
RunResult run_morvane_list(const std::vector<std::string> &arguments,
                           const std::string &stdin_path = "/dev/null");

struct Conversion {
    int status;
    std::string errors;
    std::string image;   // the image file's bytes; empty if none was created
    std::string listing; // the listing file's bytes after the run
};

// Writes the listing to a file, converts it with the built program, reads the image back.
Conversion convert(const std::string &listing);

struct Listing {
    int status;
    std::string errors;
    bool created;        // whether the listing file exists after the run
    std::string listing; // its bytes
};

// Writes the image to a file, lists it with the built morvane-list, reads
// the listing back; the image's path in a message reads "IMAGE".
Listing list(const std::string &image);

// The path of a file that ships with the project.
std::string source_path(const std::string &relative);

bool running_as_root();

// The findings as a program prints them, with each "F:" that starts a line
// replaced by the path and a colon.
std::string with_path(const std::string &printed, const std::string &path);

// Sends standard error to /dev/null while it lives: for in-process runs of
// conversions that are meant to fail many times over.
class SilencedStandardError {
  public:
    SilencedStandardError();
    ~SilencedStandardError();
    SilencedStandardError(const SilencedStandardError &) = delete;
    SilencedStandardError &operator=(const SilencedStandardError &) = delete;

  private:
    int saved_;
};
