// The bundled example listings, the listings of other people's programs in
// the shared corpus, and a UTF-8 listing fed through iconv.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <string>

#include "support.h"

namespace {

RunResult convert_file(const std::string &listing, const std::string &image) {
    return run_morvane({listing, image});
}

TEST(Examples, HelloWorldImageIsTheHandWrittenOne) {
    std::string expected = image_of({
        "FF FF 0A 00 8E 20 48 65 6C 6C 6F 2C 20 77 6F 72 6C 64 00",
        "FF FF 14 00 95 20 22 48 65 6C 6C 6F 2C 20 77 6F 72 6C 64 21 22 00",
        "FF FF 1E 00 80 00",
    });
    EXPECT_EQ(hex(read_file(source_path("tests/expected/hello.img"))), hex(expected));
}

TEST(Examples, EachConvertsToItsExpectedImage) {
    TempDir dir;
    for (const char *name : {"hello", "guess", "nihongo"}) {
        RunResult run = convert_file(source_path("examples/") + name + ".bas", dir.path("image"));
        EXPECT_EQ(run.status, 0) << name;
        EXPECT_EQ(run.errors, "") << name;
        EXPECT_EQ(hex(read_file(dir.path("image"))),
                  hex(read_file(source_path("tests/expected/") + name + ".img")))
            << name;
    }
}

bool image_is_well_formed(const std::string &image, bool complete) {
    if (image.compare(0, 16, image_header()) != 0) return false;
    std::size_t end = image.size() - (complete ? 12 : 0);
    if (complete && image.substr(end) != image_trailer()) return false;
    for (std::size_t at = 16; at < end;) {
        if (end - at < 5 || image.compare(at, 2, "\xFF\xFF") != 0) return false;
        std::size_t terminator = image.find('\0', at + 4);
        if (terminator == std::string::npos || terminator >= end) return false;
        at = terminator + 1;
    }
    return true;
}

// Listings written by other people: each converts, or stops with the
// message it stopped with when it was first checked.
TEST(Corpus, EveryListingConvertsOrStopsAsRecorded) {
    std::string corpus = source_path("../shared/corpus");
    if (!file_exists(corpus)) GTEST_SKIP() << "no shared corpus beside the project";
    std::ifstream table(source_path("tests/corpus_expected.tsv"));
    TempDir dir;
    std::string row;
    int listings = 0;
    while (std::getline(table, row)) {
        std::istringstream fields(row);
        std::string file, status, message;
        std::getline(fields, file, '\t');
        std::getline(fields, status, '\t');
        std::getline(fields, message);
        RunResult run = convert_file(corpus + "/" + file, dir.path("image"));
        EXPECT_EQ(run.status, std::stoi(status)) << file;
        EXPECT_EQ(run.errors, message.empty() ? "" : message + "\n") << file;
        EXPECT_TRUE(image_is_well_formed(read_file(dir.path("image")), run.status == 0)) << file;
        listings++;
    }
    EXPECT_EQ(listings, 115);
}

// The README's recipe for a UTF-8 listing: it converts, and a character
// that Shift_JIS lacks makes the whole command fail instead of giving a cut image.
TEST(Iconv, Utf8ListingConvertsInTwoStepsAndFailsLoudly) {
    if (std::system("iconv --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no iconv here";
    TempDir dir;
    auto recipe = [&](const std::string &text) {
        write_file(dir.path("listing.txt"), text);
        std::string command = "iconv -f UTF-8 -t CP932 '" + dir.path("listing.txt") + "' > '" +
                              dir.path("listing.bas") + "' 2>/dev/null && '" + MORVANE_BINARY +
                              "' '" + dir.path("listing.bas") + "' '" + dir.path("image") + "'";
        return std::system(command.c_str());
    };
    ASSERT_EQ(recipe("10 PRINT \"ねこ、ネコ\"\n20 ＥＮＤ\n"), 0);
    EXPECT_EQ(hex(read_file(dir.path("image"))),
              hex(image_of({"FF FF 0A 00 95 20 22 E8 9A A4 C8 BA 22 00", "FF FF 14 00 80 00"})));
    std::filesystem::remove(dir.path("image"));
    EXPECT_NE(recipe("10 PRINT \"😀\"\n20 END\n"), 0);
    EXPECT_FALSE(file_exists(dir.path("image")));
}

} // namespace
