// The library's C interface: the same bytes, status and message as the
// command line for the same input, also with many threads at once.
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

#include "morvane.h"
#include "support.h"

namespace {

struct ApiRun {
    int status;
    std::string message;
    std::string output;
};

using Entry = int (*)(const unsigned char *, size_t, const char *, unsigned char **, size_t *,
                      morvane_result *);

ApiRun run_api(Entry entry, const std::string &input, const char *name) {
    unsigned char *output = nullptr;
    size_t length = 0;
    morvane_result result;
    int status = entry(reinterpret_cast<const unsigned char *>(input.data()), input.size(), name,
                       &output, &length, &result);
    ApiRun run{status, result.message, std::string(reinterpret_cast<char *>(output), length)};
    morvane_free(output);
    return run;
}

// Listings that convert, fail in each way, and images that list whole,
// with lines that do not convert back, and broken.
std::vector<std::string> listings() {
    std::vector<std::string> all = {"",
                                    "10 PRINT \"A\"\n20 GOTO 10\n",
                                    "20 END\n10 END\n",
                                    "10 A\n20 \x8A\xBF\n",
                                    "1 A\n65536 B\n",
                                    "10 LO\xA0\n",
                                    std::string(10, '\xD3') + "mrv"};
    for (const char *name : {"hello", "guess", "nihongo"})
        all.push_back(read_file(source_path("examples/") + name + ".bas"));
    std::string corpus = source_path("../shared/corpus");
    if (file_exists(corpus))
        for (const auto &entry : std::filesystem::recursive_directory_iterator(corpus))
            if (entry.path().extension() == ".bas" && all.size() < 40)
                all.push_back(read_file(entry.path()));
    return all;
}

std::vector<std::string> images() {
    std::vector<std::string> all = {"", image_header(), image_of({"FF FF 0A 00 22 90 41 22 00"}),
                                    image_of({"FF FF 0A 00 80 00"}) + "x"};
    for (const char *name : {"hello", "guess", "nihongo"})
        all.push_back(read_file(source_path("tests/expected/") + name + ".img"));
    return all;
}

std::string without_last_line_feed(const std::string &errors) {
    return errors.empty() ? errors : errors.substr(0, errors.size() - 1);
}

TEST(Library, GivesWhatTheCommandLineGives) {
    for (const std::string &listing : listings()) {
        Conversion cli = convert(listing);
        ApiRun api = run_api(morvane_convert, listing, "LISTING");
        EXPECT_EQ(api.status, cli.status) << listing.substr(0, 40);
        EXPECT_EQ(hex(api.output), hex(cli.image)) << listing.substr(0, 40);
        // The one message that names the listing's file names it by the name given.
        std::string cli_message = without_last_line_feed(cli.errors);
        const std::string named = "Input file is a program image ";
        if (cli_message.rfind(named, 0) == 0) cli_message = named + "LISTING";
        EXPECT_EQ(api.message, cli_message);
    }
    for (const std::string &image : images()) {
        Listing cli = list(image);
        ApiRun api = run_api(morvane_list, image, "IMAGE");
        EXPECT_EQ(api.status, cli.status) << hex(image);
        EXPECT_EQ(api.output, cli.listing) << hex(image);
        EXPECT_EQ(api.message, without_last_line_feed(cli.errors)) << hex(image);
    }
    EXPECT_STREQ(morvane_version(), MORVANE_PROJECT_VERSION);
}

std::string first_line(const std::string &message) {
    return message.substr(0, message.find('\n'));
}

// A message holds its errors whatever stands before them, and records hold
// every finding: the renumbering's and the lister's, as the checker's do.
TEST(Library, MessagesLeadWithTheirErrorsAndRecordsHoldEveryFinding) {
    std::string replaced;
    for (int i = 0; i < 10; i++)
        replaced += "10 PRINT " + std::to_string(i) + "\n";
    const std::string refused = replaced + "20 GOTO @nowhere\n";
    unsigned char *output = nullptr;
    size_t length = 0, count = 0;
    morvane_result result{};
    EXPECT_EQ(morvane_renumber(reinterpret_cast<const unsigned char *>(refused.data()),
                               refused.size(), "L", 10, 10, 0, &output, &length, &result),
              1);
    EXPECT_EQ(first_line(result.message),
              "L:11:9: error: label @nowhere is not defined; no line is labelled so "
              "[unknown-label]");
    EXPECT_NE(std::string(result.message).find("more lines left out of this message)"),
              std::string::npos)
        << result.message;
    morvane_free(output);
    morvane_finding *findings = nullptr;
    EXPECT_EQ(morvane_renumber_findings(reinterpret_cast<const unsigned char *>(refused.data()),
                                        refused.size(), 10, 10, 0, &output, &length, &findings,
                                        &count),
              1);
    ASSERT_EQ(count, 10u) << "nine replaced lines and the unknown label";
    EXPECT_STREQ(findings[9].name, "unknown-label");
    EXPECT_EQ(findings[9].error, 1);
    EXPECT_EQ(length, 0u);
    morvane_free(findings);
    morvane_free(output);

    std::vector<std::string> records;
    for (int i = 1; i <= 20; i++)
        records.push_back("FF FF " + hex(std::string(1, static_cast<char>(i))) + " 00 " +
                          std::string(i % 2 ? "22 8F 22" : "80 80") + " 00");
    std::vector<std::string> unlisted;
    for (int i = 1; i <= 20; i++) // 0x79 alone lists as a character that converts to another byte
        unlisted.push_back("FF FF " + hex(std::string(1, static_cast<char>(i))) + " 00 79 00");
    const std::string not_read_back = image_of(unlisted);
    EXPECT_EQ(morvane_list(reinterpret_cast<const unsigned char *>(not_read_back.data()),
                           not_read_back.size(), "I", &output, &length, &result),
              2);
    std::string message = result.message;
    EXPECT_EQ(message.substr(message.rfind('\n') + 1),
              "(14 more lines left out of this message)")
        << message;
    morvane_free(output);
    const std::string one_over = image_of({unlisted.begin(), unlisted.begin() + 7});
    EXPECT_EQ(morvane_list(reinterpret_cast<const unsigned char *>(one_over.data()),
                           one_over.size(), "I", &output, &length, &result),
              2);
    message = result.message;
    EXPECT_EQ(message.substr(message.rfind('\n') + 1), "(1 more line left out of this message)")
        << message;
    morvane_free(output);
    EXPECT_EQ(morvane_list_findings(reinterpret_cast<const unsigned char *>(not_read_back.data()),
                                    not_read_back.size(), "I", &output, &length, &findings,
                                    &count),
              2);
    ASSERT_EQ(count, 20u);
    EXPECT_STREQ(findings[19].name, "not-read-back");
    EXPECT_EQ(findings[19].line, 20u);
    EXPECT_EQ(findings[19].column, 1u);
    morvane_free(findings);
    morvane_free(output);
    std::string whole = image_of(records);
    std::string cut = whole.substr(0, 16 + 11 * 8 + 5);
    EXPECT_EQ(morvane_list(reinterpret_cast<const unsigned char *>(cut.data()), cut.size(), "I",
                           &output, &length, &result),
              1);
    EXPECT_EQ(first_line(result.message).rfind("Broken program image I at byte ", 0), 0u)
        << result.message;
    morvane_free(output);
    EXPECT_EQ(morvane_list_findings(reinterpret_cast<const unsigned char *>(cut.data()), cut.size(),
                                    "I", &output, &length, &findings, &count),
              1);
    ASSERT_GT(count, 0u);
    EXPECT_STREQ(findings[count - 1].name, "image");
    EXPECT_EQ(std::string(findings[count - 1].message).rfind("Broken program image I", 0), 0u);
    for (size_t i = 0; i + 1 < count; i++)
        EXPECT_STREQ(findings[i].name, "not-read-back");
    morvane_free(findings);
    morvane_free(output);

    EXPECT_EQ(morvane_renumber(reinterpret_cast<const unsigned char *>(refused.data()),
                               refused.size(), "L", 10, 0, 0, &output, &length, &result),
              2);
    EXPECT_STREQ(result.message, "step takes a number from 1 to 65535, not 0");
    morvane_free(output);
    const std::string long_label =
        "@" + std::string(300, 'a') + "\nPRINT\n10 GOTO @" + std::string(300, 'a') + "\n";
    morvane_renumber(reinterpret_cast<const unsigned char *>(long_label.data()), long_label.size(),
                     "L", 10, 10, 0, &output, &length, &result);
    EXPECT_EQ(first_line(result.message),
              "L:1:1: error: label @" + std::string(40, 'a') +
                  "... is 300 bytes long; a label takes at most 40; shorten it [long-label]");
    morvane_free(output);
}

// NULL with length 0 is an empty input to every function, as "" is.
TEST(Library, NullWithLengthZeroIsEmpty) {
    unsigned char *output = nullptr;
    size_t length = 0, count = 0;
    morvane_result result{};
    morvane_finding *findings = nullptr;
    morvane_item *items = nullptr;
    EXPECT_EQ(morvane_convert(nullptr, 0, "L", &output, &length, &result),
              run_api(morvane_convert, "", "L").status);
    EXPECT_EQ(length, run_api(morvane_convert, "", "L").output.size());
    morvane_free(output);
    EXPECT_EQ(morvane_list(nullptr, 0, "I", &output, &length, &result),
              run_api(morvane_list, "", "I").status);
    EXPECT_STREQ(result.message, run_api(morvane_list, "", "I").message.c_str());
    morvane_free(output);
    EXPECT_EQ(morvane_check(nullptr, 0, &findings, &count), 0);
    morvane_free(findings);
    EXPECT_EQ(morvane_renumber(nullptr, 0, "L", 10, 10, 0, &output, &length, &result), 0);
    EXPECT_EQ(length, 0u);
    morvane_free(output);
    EXPECT_EQ(morvane_scan(nullptr, 0, &items, &count), 0);
    EXPECT_EQ(count, 0u);
    morvane_free(items);
}

TEST(Library, ThreadsConvertAndListAtOnce) {
    std::vector<std::string> inputs = listings();
    std::vector<ApiRun> alone;
    for (const std::string &input : inputs)
        alone.push_back(run_api(morvane_convert, input, "LISTING"));
    std::vector<std::thread> threads;
    std::vector<int> differences(4, 0);
    for (int t = 0; t < 4; t++)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 5; round++)
                for (std::size_t i = t; i < inputs.size(); i++) {
                    ApiRun converted = run_api(morvane_convert, inputs[i], "LISTING");
                    ApiRun listed = run_api(morvane_list, converted.output, "IMAGE");
                    if (converted.output != alone[i].output ||
                        converted.status != alone[i].status ||
                        converted.message != alone[i].message ||
                        (converted.status == 0 && listed.status != 0))
                        differences[t]++;
                }
        });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(differences, std::vector<int>(4, 0));
}

} // namespace
