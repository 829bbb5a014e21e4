// How a run starts and ends: arguments, files that cannot be opened, read or
// written, and the listing named as the image. Each case runs the built program.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "core/basic/line_text.h"
#include "core/io/output_block.h"
#include "support.h"

using namespace morvane;

namespace {

const std::string LISTING = "10 PRINT \"HI\"\n20 GOTO 10\n";

TEST(OpenFailures, UnwritableDirectoryForImage) {
    if (running_as_root()) GTEST_SKIP() << "root may write into a read-only directory";
    TempDir dir;
    write_file(dir.path("listing.bas"), LISTING);
    std::filesystem::create_directory(dir.path("locked"));
    chmod(dir.path("locked").c_str(), 0555);
    RunResult run = run_morvane({dir.path("listing.bas"), dir.path("locked/image.bin")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, "Can't open output file " + dir.path("locked/image.bin") + "\n");
}

TEST(SameFile, RefusedBeforeTheListingIsTouched) {
    TempDir dir;
    std::string listing = dir.path("listing.bas");
    write_file(listing, LISTING);
    std::filesystem::create_hard_link(listing, dir.path("hard.bas"));
    std::filesystem::create_symlink(listing, dir.path("soft.bas"));
    for (const std::string &image :
         {listing, dir.path("hard.bas"), dir.path("soft.bas"), dir.path(".") + "/listing.bas"}) {
        RunResult run = run_morvane({listing, image});
        EXPECT_EQ(run.status, 1) << image;
        EXPECT_EQ(run.errors, "Input and output are the same file " + image + "\n");
        EXPECT_EQ(read_file(listing), LISTING) << image;
    }
    RunResult through_link = run_morvane({dir.path("soft.bas"), listing});
    EXPECT_EQ(through_link.status, 1);
    EXPECT_EQ(read_file(listing), LISTING);
    // "-" whose standard output is the listing itself.
    RunSetup onto_listing;
    onto_listing.stdout_path = listing;
    RunResult dash = run_program(MORVANE_BINARY, {listing, "-"}, onto_listing);
    EXPECT_EQ(dash.status, 1);
    EXPECT_EQ(dash.errors, "Input and output are the same file -\n");
    EXPECT_EQ(read_file(listing), LISTING);
}

// An image named where the listing belongs, the two names swapped: the
// image would be written over the listing. Refused before the output is opened.
TEST(SameFile, ImageGivenAsListingNeverOpensTheOutput) {
    TempDir dir;
    std::string image = image_of({"FF FF 0A 00 80 00"});
    write_file(dir.path("game.img"), image);
    write_file(dir.path("game.bas"), "10 END\n");
    for (const std::string &output : {dir.path("game.bas"), dir.path("new.bas")}) {
        RunResult run = run_morvane({dir.path("game.img"), output});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.errors, "Input file is a program image " + dir.path("game.img") + "\n");
    }
    EXPECT_EQ(read_file(dir.path("game.bas")), "10 END\n");
    EXPECT_FALSE(file_exists(dir.path("new.bas")));
    EXPECT_EQ(read_file(dir.path("game.img")), image);
}

TEST(SameFile, StandardInputAndOutputAsDevicesConvert) {
    TempDir dir;
    write_file(dir.path("listing.bas"), LISTING);
    RunResult run = run_morvane({"/dev/stdin", "/dev/stdout"}, dir.path("listing.bas"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(hex(run.output),
              hex(image_of({"FF FF 0A 00 95 20 22 48 49 22 00", "FF FF 14 00 88 20 31 30 00"})));
}

TEST(SameFile, ListingOnStandardInputRefusedAsImage) {
    TempDir dir;
    write_file(dir.path("listing.bas"), LISTING);
    RunResult run = run_morvane({"/dev/stdin", dir.path("listing.bas")}, dir.path("listing.bas"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, "Input and output are the same file " + dir.path("listing.bas") + "\n");
    EXPECT_EQ(read_file(dir.path("listing.bas")), LISTING);
}

// "-" is standard input or output, as for the other programs; "./-" a file so named.
TEST(SameFile, DashIsAStandardStreamAndDotSlashDashAFile) {
    TempDir dir;
    write_file(dir.path("listing.bas"), LISTING);
    const std::string image =
        image_of({"FF FF 0A 00 95 20 22 48 49 22 00", "FF FF 14 00 88 20 31 30 00"});
    RunResult run = run_morvane({"-", "-"}, dir.path("listing.bas"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(hex(run.output), hex(image));
    RunSetup in_folder;
    in_folder.directory = dir.path("");
    write_file(dir.path("-"), LISTING);
    run = run_program(MORVANE_BINARY, {"./-", "out.img"}, in_folder);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(hex(read_file(dir.path("out.img"))), hex(image));
    write_file(dir.path("-"), std::string(image));
    in_folder.stdin_path = dir.path("-");
    run = run_program(MORVANE_BINARY, {"-", "x.img"}, in_folder);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, "Input file is a program image -\n");
    EXPECT_FALSE(file_exists(dir.path("x.img")));
    run = run_program(MORVANE_BINARY, {"-x", "x.img"}, in_folder);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, "Can't open input file -x\n") << "only - alone is a stream";
    run = run_program(MORVANE_LIST_BINARY, {"-x", "x.bas"}, in_folder);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, "Can't open input file -x\n");
}

// --help, -h and --version, alone, answer on standard output with status 0;
// with anything else they are no option, and morvane's fixed usage stays.
TEST(Conventions, HelpAndVersionOfEveryProgram) {
    const struct {
        const char *binary, *name;
    } programs[] = {{MORVANE_BINARY, "morvane"},
                    {MORVANE_LIST_BINARY, "morvane-list"},
                    {MORVANE_CHECK_BINARY, "morvane-check"},
                    {MORVANE_RENUM_BINARY, "morvane-renum"}};
    for (const auto &program : programs) {
        for (const char *help : {"--help", "-h"}) {
            RunResult run = run_program(program.binary, {help});
            EXPECT_EQ(run.status, 0) << program.name << " " << help;
            EXPECT_EQ(run.errors, "");
            EXPECT_EQ(run.output.rfind(std::string("usage: ") + program.name + " ", 0), 0u)
                << run.output;
            EXPECT_NE(run.output.find("--version"), std::string::npos);
        }
        RunResult run = run_program(program.binary, {"--version"});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.errors, "");
        EXPECT_EQ(run.output, std::string(program.name) + " " MORVANE_PROJECT_VERSION "\n");
    }
    for (const auto &program : programs) {
        RunSetup full;
        full.stdout_path = "/dev/full";
        RunResult unwritten = run_program(program.binary, {"--version"}, full);
        EXPECT_EQ(unwritten.status, 1) << program.name << ": an answer that cannot be written";
    }
    RunResult run = run_morvane({"--help", "x", "y"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, "morvane version 0.5 : usage\n  morvane infile outfile\n");
    run = run_morvane({"--name"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, "morvane: --name needs a name of 1 to 6 characters\n");
}

TEST(ListingThroughPipe, Converts) {
    TempDir dir;
    write_file(dir.path("listing.bas"), LISTING);
    std::string command = "cat '" + dir.path("listing.bas") +
                          "' | '" MORVANE_BINARY "' /dev/stdin '" + dir.path("image.bin") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(hex(read_file(dir.path("image.bin"))),
              hex(image_of({"FF FF 0A 00 95 20 22 48 49 22 00", "FF FF 14 00 88 20 31 30 00"})));
}

std::string many_lines(int count) {
    std::string listing;
    for (int line = 1; line <= count; line++)
        listing += std::to_string(line) + " PRINT \"X\"\n";
    return listing;
}

TEST(WriteFailure, FullDeviceIsReportedNotSuccess) {
    if (!file_exists("/dev/full")) GTEST_SKIP() << "this system has no /dev/full";
    struct {
        const char *name;
        std::string listing;
        std::string errors;
    } const cases[] = {
        {"FailsWhenClosing", LISTING, "Can't write output file /dev/full\n"},
        {"FailsMidwayThroughALongListing", many_lines(20000),
         "Can't write output file /dev/full\n"},
        {"ConversionErrorMessageWins", "10 END\n5 END\n", "Illegal line number found in 5\n"},
    };
    TempDir dir;
    for (const auto &write_case : cases) {
        write_file(dir.path("listing.bas"), write_case.listing);
        RunResult run = run_morvane({dir.path("listing.bas"), "/dev/full"});
        EXPECT_EQ(run.status, 1) << write_case.name;
        EXPECT_EQ(run.errors, write_case.errors) << write_case.name;
        EXPECT_TRUE(read_file(dir.path("listing.bas")) == write_case.listing) << write_case.name;
    }
}

TEST(ReadFailure, ReportedAndImageGetsNoTrailer) {
    if (!file_exists("/proc/self/mem")) GTEST_SKIP() << "this system has no /proc/self/mem";
    TempDir dir;
    RunResult run = run_morvane({"/proc/self/mem", dir.path("image.bin")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, "Can't read input file /proc/self/mem\n");
    EXPECT_EQ(hex(read_file(dir.path("image.bin"))), hex(image_header()));
}

TEST(ConversionError, ImageKeepsEarlierRecordsAndListingStaysUntouched) {
    TempDir dir;
    const std::string listing = "10 END\n20 \x8A\xBF\n";
    write_file(dir.path("listing.bas"), listing);
    RunResult run = run_morvane({dir.path("listing.bas"), dir.path("image.bin")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, "Illegal character found in next of 10\n");
    EXPECT_EQ(hex(read_file(dir.path("image.bin"))), hex(partial_image_of({"FF FF 0A 00 80 00"})));
    EXPECT_EQ(read_file(dir.path("listing.bas")), listing);
}

// Adds the line "N REM xxx..." to the listing and its record, record_size
// bytes long, to the records.
void add_remark_line(std::string &listing, std::string &records, int line,
                     std::size_t record_size) {
    std::string remark(record_size - 6, 'x'); // head 4, REM token, terminator
    remark[0] = ' ';
    listing += std::to_string(line) + " REM" + remark + "\n";
    records += std::string{'\xFF', '\xFF', char(line), '\0', '\x8E'} + remark + '\0';
}

void expect_converts_to(const std::string &listing, const std::string &records) {
    TempDir dir;
    write_file(dir.path("listing.bas"), listing);
    RunResult run = run_morvane({dir.path("listing.bas"), dir.path("image.bin")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    std::string image = read_file(dir.path("image.bin"));
    std::string expected = image_header() + records + image_trailer();
    // Megabytes of hex help nobody: say where the two part.
    auto [differs, _] = std::mismatch(image.begin(), image.end(), expected.begin(), expected.end());
    EXPECT_TRUE(image == expected)
        << "image of " << image.size() << " bytes, expected " << expected.size()
        << "; first difference at offset " << (differs - image.begin());
}

// Far more than one read block of listing and one write block of image:
// records and the spans inside them cross every block boundary somewhere.
TEST(LargeListing, ConvertsWholeAcrossReadAndWriteBlocks) {
    std::string listing, records;
    for (std::uint32_t line = 1; line <= 30000; line++) {
        std::uint32_t number = line * 7;
        std::string head = {'\xFF', '\xFF', char(number & 0xFF), char(number >> 8 & 0xFF)};
        std::string text(line % 211, line % 2 ? 'x' : 'y');
        if (line % 2) {
            listing += std::to_string(number) + " PRINT \"" + text + "\"\r\n";
            records += head + "\x95 \"" + text + "\"" + '\0';
        } else {
            listing += std::to_string(number) + " REM " + text + "\n";
            records += head + "\x8E " + text + '\0';
        }
    }
    ASSERT_GT(records.size(), 20u * 65536);
    expect_converts_to(listing, records);
}

struct BadInput {
    const char *name;
    std::string listing;
    std::string errors;
    std::string image;
};

TEST(BadInput, StopsWithAMessageAndLeavesTheListingAsItWas) {
    const std::string fifty_megabytes = "10 REM " + std::string(50 * 1000 * 1000, 'x');
    const std::string utf16 = std::string("\xFF\xFE"
                                          "1\0"
                                          "0\0 \0E\0N\0D\0\n\0",
                                          16);
    const BadInput inputs[] = {
        {"OneLineOf50MegabytesWithoutLineFeed", fifty_megabytes, "Illegal line number found in 0\n",
         image_header() + from_hex("FF FF 0A 00 8E 20") + std::string(1016, 'x') + '\0'},
        {"Utf16WithByteOrderMark", utf16, "Illegal line number found in 0\n",
         partial_image_of({"FF FF 00 00 FF FE 31 00"})},
    };
    TempDir dir;
    for (const BadInput &input : inputs) {
        write_file(dir.path("listing.bas"), input.listing);
        RunResult run = run_morvane({dir.path("listing.bas"), dir.path("image.bin")});
        EXPECT_EQ(run.status, 1) << input.name;
        EXPECT_EQ(run.errors, input.errors) << input.name;
        EXPECT_EQ(hex(read_file(dir.path("image.bin"))), hex(input.image)) << input.name;
        EXPECT_TRUE(read_file(dir.path("listing.bas")) == input.listing) << input.name;
    }
}

bool is_known_message(const std::string &errors) {
    static const std::regex KNOWN("(Illegal line number found in|Illegal character found in next "
                                  "of) -?[0-9]+\n");
    return std::regex_match(errors, KNOWN);
}

TEST(BadInput, RandomBinaryConvertsOrStopsWithAConversionMessage) {
    std::mt19937 random(1207);
    TempDir dir;
    for (int trial = 0; trial < 40; trial++) {
        std::string listing(1 + random() % 100000, '\0');
        for (char &c : listing)
            c = static_cast<char>(random());
        write_file(dir.path("listing.bas"), listing);
        RunResult run = run_morvane({dir.path("listing.bas"), dir.path("image.bin")});
        bool converted = run.status == 0 && run.errors.empty();
        bool stopped = run.status == 1 && is_known_message(run.errors);
        EXPECT_TRUE(converted || stopped) << trial << ": " << run.status << " " << run.errors;
        EXPECT_EQ(read_file(dir.path("image.bin")).compare(0, 16, image_header()), 0) << trial;
        EXPECT_TRUE(read_file(dir.path("listing.bas")) == listing) << trial;
    }
}

// Adds remark lines numbered from line on, of record_size bytes and then
// two shorter ones, until the records are fill bytes long.
void add_remark_lines_to_fill(std::string &listing, std::string &records, int &line,
                              std::size_t record_size, std::size_t fill) {
    for (; records.size() + 2 * record_size <= fill; line++)
        add_remark_line(listing, records, line, record_size);
    std::size_t rest = fill - records.size();
    add_remark_line(listing, records, line++, rest / 2);
    add_remark_line(listing, records, line++, rest - rest / 2);
}

TEST(LargeListing, RecordsFillingABlockExactly) {
    std::string listing, records;
    int line = 1;
    add_remark_lines_to_fill(listing, records, line, 1008,
                             OUTPUT_BLOCK_SIZE - image_header().size());
    ASSERT_EQ(image_header().size() + records.size(), OUTPUT_BLOCK_SIZE);
    expect_converts_to(listing, records);
}

// A record head that starts in the last bytes of a block and ends in the
// next: remark lines bring the image to where a line cut at 1,023 bytes
// (its number and X's) ends 3 bytes short of the block's end.
TEST(LargeListing, RecordHeadAcrossABlockBoundary) {
    std::string listing, records;
    int line = 1;
    std::string cut_number = std::to_string(OUTPUT_BLOCK_SIZE / 1000 + 3); // above the remarks'
    std::string cut_text(LONGEST_LINE - cut_number.size(), 'X');
    std::string cut_record =
        std::string{'\xFF', '\xFF', char(std::stoi(cut_number)), 0} + cut_text + '\0';
    add_remark_lines_to_fill(listing, records, line, 1000,
                             OUTPUT_BLOCK_SIZE - 3 - cut_record.size() - image_header().size());
    listing += cut_number + cut_text + cut_number + "1 END\n";
    records += cut_record;
    ASSERT_EQ(image_header().size() + records.size(), OUTPUT_BLOCK_SIZE - 3);
    int end_line = std::stoi(cut_number + "1");
    records += std::string{'\xFF', '\xFF', char(end_line & 0xFF), char(end_line >> 8), '\x80', 0};
    expect_converts_to(listing, records);
}

// Lines tokenized in place in the read block meet its end: a CR LF split
// between two blocks, a LF as the block's last byte, a LF as the next
// block's first.
TEST(LargeListing, LineEndsAtEveryPlaceAroundAReadBlockBoundary) {
    for (int before_boundary : {0, 1, 2}) {
        std::string listing, records;
        for (int line = 1; line <= 65; line++) {
            std::string text(991, 'x');
            listing += std::to_string(line) + " REM " + text + "\r\n";
            records += std::string{'\xFF', '\xFF', char(line), '\0', '\x8E', ' '} + text + '\0';
        }
        std::size_t end = 65536 - before_boundary; // where the next line's CR goes
        std::string text(end - listing.size() - 7, 'y');
        listing += "66 REM " + text + "\r\n70 END\r\n";
        records += std::string{'\xFF', '\xFF', 66, '\0', '\x8E', ' '} + text + '\0';
        records += from_hex("FF FF 46 00 80 00");
        ASSERT_EQ(listing.find("\r\n70 END"), end);
        expect_converts_to(listing, records);
    }
}

TEST(ExistingImage, IsTruncatedAndReplaced) {
    TempDir dir;
    write_file(dir.path("listing.bas"), "10 END\n");
    write_file(dir.path("image.bin"), std::string(5000, 'x'));
    RunResult run = run_morvane({dir.path("listing.bas"), dir.path("image.bin")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(hex(read_file(dir.path("image.bin"))), hex(image_of({"FF FF 0A 00 80 00"})));
}

} // namespace
