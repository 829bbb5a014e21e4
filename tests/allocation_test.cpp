// Every allocation the library makes may fail, one at a time: each call then
// either gives exactly what it gives with all the memory it wants, or says
// that memory ran out; never a crash, a wrong result or a silent loss. The
// process's own allocator is replaced here by one that can be told to fail
// its Nth request (glibc's, which it calls, stays underneath).
#include <cstddef>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "morvane.h"
#include "support.h"

extern "C" void *__libc_malloc(std::size_t size);
extern "C" void *__libc_calloc(std::size_t count, std::size_t size);
extern "C" void *__libc_realloc(void *pointer, std::size_t size);

namespace {

// The allocations left before the one that fails; negative for none. Armed
// only around a call of the library, so that the test's own allocations
// never fail.
long allocations_before_failure = -1;
long failing_allocation = -1;
bool a_failure_happened = false;

void arm() {
    allocations_before_failure = failing_allocation;
}
void disarm() {
    allocations_before_failure = -1;
}

bool fails_now() {
    if (allocations_before_failure < 0) return false;
    if (allocations_before_failure-- > 0) return false;
    a_failure_happened = true;
    return true;
}

} // namespace

extern "C" void *malloc(std::size_t size) {
    return fails_now() ? nullptr : __libc_malloc(size);
}
extern "C" void *calloc(std::size_t count, std::size_t size) {
    return fails_now() ? nullptr : __libc_calloc(count, size);
}
extern "C" void *realloc(void *pointer, std::size_t size) {
    return fails_now() ? nullptr : __libc_realloc(pointer, size);
}

namespace {

struct Result {
    int status;
    std::string message;
    std::string output;
};

// What one call of the library gives, as text to compare.
using Call = Result (*)(const std::string &input);

// One call of the library with allocations armed: entry(bytes, size,
// &output, &length, &result) gives the status.
template <typename Entry> Result armed_call(const std::string &input, Entry entry) {
    unsigned char *output = nullptr;
    size_t length = 0;
    morvane_result result;
    arm();
    int status = entry(reinterpret_cast<const unsigned char *>(input.data()), input.size(), &output,
                       &length, &result);
    disarm();
    Result got{status, result.message,
               output == nullptr ? "" : std::string(reinterpret_cast<char *>(output), length)};
    morvane_free(output);
    return got;
}

Result run(int (*entry)(const unsigned char *, size_t, const char *, unsigned char **, size_t *,
                        morvane_result *),
           const std::string &input) {
    return armed_call(input,
                      [entry](const unsigned char *bytes, size_t size, unsigned char **output,
                              size_t *length, morvane_result *result) {
                          return entry(bytes, size, "L", output, length, result);
                      });
}

Result converted(const std::string &input) {
    return run(morvane_convert, input);
}
Result listed(const std::string &input) {
    return run(morvane_list, input);
}
Result renumbered(const std::string &input) {
    return armed_call(input, [](const unsigned char *bytes, size_t size, unsigned char **output,
                                size_t *length, morvane_result *result) {
        return morvane_renumber(bytes, size, "L", 10, 10, 0, output, length, result);
    });
}
// The findings as records: each line as the checker's, and -1 with none when
// memory ran out.
Result as_records(int status, morvane_finding *findings, size_t count, unsigned char *output,
                  size_t length) {
    Result got{status, "",
               output == nullptr ? "" : std::string(reinterpret_cast<char *>(output), length)};
    for (size_t i = 0; i < count; i++)
        got.output += findings[i].name + std::string(" ") + findings[i].message + "\n";
    if (status < 0) got.message = count == 0 ? "Not enough memory" : "findings after a failure";
    morvane_free(findings);
    morvane_free(output);
    return got;
}
Result renumbered_records(const std::string &input) {
    unsigned char *output = nullptr;
    size_t length = 0, count = 0;
    morvane_finding *findings = nullptr;
    arm();
    int status =
        morvane_renumber_findings(reinterpret_cast<const unsigned char *>(input.data()),
                                  input.size(), 10, 10, 0, &output, &length, &findings, &count);
    disarm();
    return as_records(status, findings, count, output, length);
}
Result listed_records(const std::string &input) {
    unsigned char *output = nullptr;
    size_t length = 0, count = 0;
    morvane_finding *findings = nullptr;
    arm();
    int status = morvane_list_findings(reinterpret_cast<const unsigned char *>(input.data()),
                                       input.size(), "I", &output, &length, &findings, &count);
    disarm();
    return as_records(status, findings, count, output, length);
}
Result checked(const std::string &input) {
    morvane_finding *findings = nullptr;
    size_t count = 0;
    arm();
    int status = morvane_check(reinterpret_cast<const unsigned char *>(input.data()), input.size(),
                               &findings, &count);
    disarm();
    Result got{status, "", ""};
    for (size_t i = 0; i < count; i++)
        got.output += findings[i].name + std::string(" ") + findings[i].message + "\n";
    if (status < 0) got.message = count == 0 ? "Not enough memory" : "findings after a failure";
    morvane_free(findings);
    return got;
}
Result scanned(const std::string &input) {
    morvane_item *items = nullptr;
    size_t count = 0;
    arm();
    int status = morvane_scan(reinterpret_cast<const unsigned char *>(input.data()), input.size(),
                              &items, &count);
    disarm();
    Result got{status, "", ""};
    for (size_t i = 0; i < count; i++)
        got.output += std::to_string(items[i].kind) + ":" + std::to_string(items[i].offset) + " ";
    if (status < 0) got.message = count == 0 ? "Not enough memory" : "items after a failure";
    morvane_free(items);
    return got;
}

Result converted_with_a_kana_name(const std::string &input) {
    return armed_call(input, [](const unsigned char *bytes, size_t size, unsigned char **output,
                                size_t *length, morvane_result *result) {
        morvane_options options{MORVANE_ENCODING_UTF_8, "ゲーム"};
        return morvane_convert_with(bytes, size, "L", &options, output, length, result);
    });
}

Result listed_as_utf8(const std::string &input) {
    return armed_call(input, [](const unsigned char *bytes, size_t size, unsigned char **output,
                                size_t *length, morvane_result *result) {
        morvane_options options{MORVANE_ENCODING_UTF_8, nullptr};
        return morvane_list_with(bytes, size, "L", &options, output, length, nullptr, result);
    });
}

bool says_memory_ran_out(const Result &result) {
    return result.status != 0 && result.message.find("ot enough memory") != std::string::npos;
}

// Fails each allocation of the call in turn, up to the first run that
// needs no more than it was given.
void expect_every_failure_told(const char *name, Call call, const std::string &input) {
    Result whole = call(input);
    for (long failing = 0;; failing++) {
        a_failure_happened = false;
        failing_allocation = failing;
        Result got = call(input);
        failing_allocation = -1;
        if (!a_failure_happened) {
            EXPECT_EQ(got.output, whole.output) << name;
            EXPECT_GT(failing, 0) << name << " allocates, so that a failure can be tried";
            break;
        }
        bool same = got.status == whole.status && got.output == whole.output &&
                    got.message == whole.message;
        EXPECT_TRUE(same || says_memory_ran_out(got))
            << name << ", allocation " << failing << " failing: status " << got.status << ", "
            << got.message;
    }
}

} // namespace

TEST(AllocationFailure, EveryOneIsToldOrChangesNothing) {
    std::string image = converted(read_file(source_path("examples/nihongo.bas"))).output;
    std::string utf8_program;
    // More than a block, so that the converter holds it in several reads.
    for (int line = 1; line <= 3000; line++)
        utf8_program +=
            std::to_string(line) + " PRINT \"アイウ\":GOTO " + std::to_string(line) + "\n";
    const std::vector<std::pair<std::string, std::string>> listings = {
        {"a program", read_file(source_path("examples/guess.bas"))},
        {"labels and findings", "@top\nPRINT\n  GOTO @top\n10 SCORE=1:GOTO 99\n10 X\n70000 Y\n"},
        {"a refusal", "10 GOTO @nowhere\n20 A$=\"\x89\xBF\"\n"},
        {"lines without numbers among others", "A\n10 B\nC\nD\n5 E\nF\n"},
        {"nothing", ""},
        {"a UTF-8 program with more characters than the first map of places holds", utf8_program},
    };
    for (const auto &[name, listing] : listings) {
        SCOPED_TRACE(name);
        expect_every_failure_told("morvane_convert", converted, listing);
        expect_every_failure_told("morvane_convert_with a name", converted_with_a_kana_name,
                                  listing);
        expect_every_failure_told("morvane_check", checked, listing);
        expect_every_failure_told("morvane_renumber", renumbered, listing);
        expect_every_failure_told("morvane_scan", scanned, listing);
        expect_every_failure_told("morvane_renumber_findings", renumbered_records, listing);
    }
    expect_every_failure_told("morvane_list", listed, image);
    expect_every_failure_told("morvane_list_findings", listed_records, image);
    expect_every_failure_told("morvane_list_with UTF-8", listed_as_utf8, image);
    // Lines that do not convert back, each told as a record.
    std::vector<std::string> records;
    for (int i = 10; i <= 29; i++)
        records.push_back("FF FF " + std::to_string(i) + " 00 79 00");
    std::string unlisted = image_of(records);
    expect_every_failure_told("morvane_list", listed, unlisted);
    expect_every_failure_told("morvane_list_findings", listed_records, unlisted);
}
