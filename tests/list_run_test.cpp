// morvane-list as a user runs it: its command line, its files, and the
// round trip listing -> image -> listing -> image on real listings.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "morvane.h"
#include "support.h"

namespace {

const std::string IMAGE =
    image_of({"FF FF 0A 00 95 20 22 48 49 22 00", "FF FF 14 00 88 20 31 30 00"});
const std::string LISTING = "10 PRINT \"HI\"\n20 GOTO 10\n";
const std::string USAGE = "morvane-list version 0.6 : usage\n  morvane-list infile outfile\n";

struct FileCase {
    const char *name;
    std::vector<std::string> arguments; // "DIR/" stands for the test's directory
    std::string errors;                 // likewise
    int status;
    std::string output = ""; // what reaches standard output
};

TEST(ListFiles, MessagesAndStatusesAsForTheConverter) {
    TempDir dir;
    std::string d = dir.path("");
    write_file(d + "image.img", IMAGE);
    std::vector<std::string> many(20000, "FF FF 0A 00 95 20 22 48 49 22 00");
    write_file(d + "large.img", image_of(many));
    std::filesystem::create_directory(d + "folder");
    std::filesystem::create_symlink(d + "image.img", d + "link.img");
    const FileCase cases[] = {
        {"NoArguments", {}, USAGE, 1},
        {"ThreeArguments", {d + "image.img", d + "a", d + "b"}, USAGE, 1},
        {"MissingImage",
         {d + "missing.img", d + "out.bas"},
         "Can't open input file " + d + "missing.img\n",
         1},
        {"DirectoryAsImage",
         {d + "folder", d + "out.bas"},
         "Can't open input file " + d + "folder\n",
         1},
        {"ListingInMissingDirectory",
         {d + "image.img", d + "nowhere/out.bas"},
         "Can't open output file " + d + "nowhere/out.bas\n",
         1},
        {"ListingOverItsImageThroughALink",
         {d + "image.img", d + "link.img"},
         "Input and output are the same file " + d + "link.img\n",
         1},
        {"ToStandardOutput", {d + "image.img", "/dev/stdout"}, "", 0, LISTING},
        {"UnreadableImage",
         {"/proc/self/mem", d + "out.bas"},
         "Can't read input file /proc/self/mem\n",
         1},
        {"FullDisk", {d + "image.img", "/dev/full"}, "Can't write output file /dev/full\n", 1},
        {"FullDiskPastTheFirstBlock",
         {d + "large.img", "/dev/full"},
         "Can't write output file /dev/full\n",
         1},
    };
    for (const FileCase &file_case : cases) {
        RunResult run = run_morvane_list(file_case.arguments);
        EXPECT_EQ(run.status, file_case.status) << file_case.name;
        EXPECT_EQ(run.errors, file_case.errors) << file_case.name;
        EXPECT_EQ(run.output, file_case.output) << file_case.name;
        EXPECT_FALSE(file_exists(d + "out.bas")) << file_case.name;
        EXPECT_EQ(read_file(d + "image.img"), IMAGE) << file_case.name;
    }
    RunResult piped = run_morvane_list({"/dev/stdin", "/dev/stdout"}, d + "image.img");
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.output, LISTING);
    // "-" is standard input and standard output.
    RunResult dashes = run_morvane_list({"-", "-"}, d + "image.img");
    EXPECT_EQ(dashes.status, 0);
    EXPECT_EQ(dashes.errors, "");
    EXPECT_EQ(dashes.output, LISTING);
    write_file(d + "text.bas", LISTING);
    RunResult not_image = run_morvane_list({"-", d + "out.bas"}, d + "text.bas");
    EXPECT_EQ(not_image.status, 1);
    EXPECT_EQ(not_image.errors, "Not a program image -\n");
    EXPECT_FALSE(file_exists(d + "out.bas"));
}

// Input and output that are one pipe or FIFO would wait for ever: both
// programs refuse them before reading, within the time limit.
TEST(SamePipe, NamedTwiceIsRefusedNotWaitedOn) {
    TempDir dir;
    std::string image = dir.path("image.img"), fifo = dir.path("fifo");
    write_file(image, IMAGE);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        const char *binary;
        std::string twice; // the name given as input and as output
        bool piped;        // the image comes through a pipe on standard input
    } cases[] = {
        {MORVANE_LIST_BINARY, "/dev/stdin", true},
        {MORVANE_LIST_BINARY, "/proc/self/fd/0", true},
        {MORVANE_LIST_BINARY, fifo, false},
        {MORVANE_BINARY, "/dev/stdin", true},
        {MORVANE_BINARY, fifo, false},
    };
    for (const auto &c : cases) {
        std::string command = (c.piped ? "cat " + image + " | " : "") + "timeout 10 " + c.binary +
                              " " + c.twice + " " + c.twice;
        RunResult run = run_program("/bin/sh", {"-c", command});
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_EQ(run.errors, "Input and output are the same file " + c.twice + "\n") << command;
    }
}

// Lists the image and converts the listing again: the image must come back
// whole, and listing that image must give the same listing once more.
void expect_round_trip(const std::string &name, const std::string &image) {
    Listing first = list(image);
    ASSERT_EQ(first.status, 0) << name << ": " << first.errors;
    Conversion again = convert(first.listing);
    ASSERT_EQ(again.status, 0) << name << ": " << again.errors;
    EXPECT_TRUE(again.image == image) << name << ": the image changed";
    EXPECT_TRUE(list(again.image).listing == first.listing) << name << ": the listing changed";
}

struct Listed {
    int status;
    std::string message, output, name;
};

Listed listed(const std::string &image, int encoding) {
    unsigned char *listing = nullptr;
    std::size_t length = 0;
    morvane_result result;
    morvane_options options{encoding, nullptr};
    unsigned char name[6];
    int status = morvane_list_with(reinterpret_cast<const unsigned char *>(image.data()),
                                   image.size(), "L", &options, &listing, &length, name, &result);
    Listed got{status, result.message, std::string(reinterpret_cast<char *>(listing), length),
               std::string(reinterpret_cast<char *>(name), 6)};
    morvane_free(listing);
    return got;
}

// An image that breaks off inside a record lists its whole records and not
// a byte of the broken one, also where a record too long to be read whole
// first had its text pass the end of an output block: from the library,
// into a file and in UTF-8.
TEST(BrokenImage, ListsItsWholeRecordsWhereverTheBreakFalls) {
    auto record = [](int number, std::size_t letters) {
        return from_hex("FF FF") + std::string{static_cast<char>(number & 0xFF)} +
               std::string{static_cast<char>(number >> 8)} + "\x95 \"" + std::string(letters, 'A') +
               "\"" + std::string(1, '\0');
    };
    TempDir dir;
    const std::string image_path = dir.path("broken.img"), listing_path = dir.path("out.bas");
    // Lines of 213 bytes, then a long one that breaks off: of 2,000 bytes,
    // whose text passes the first 128 KiB block from 606 lines on (616 fill
    // it); of 140,000, longer than a block and than a UTF-8 line's room; of
    // 12,000 and 40,000 after 580 lines; of 15,000 after 550 lines and of
    // 30,000 after 500, whose text passes the block within that room and
    // past it.
    const struct {
        int whole;
        std::size_t letters, kept;
    } rows[] = {{20, 3000, 2000},    {605, 3000, 2000},   {606, 3000, 2000},   {610, 3000, 2000},
                {615, 3000, 2000},   {616, 3000, 2000},   {617, 3000, 2000},   {20, 150000, 140000},
                {0, 150000, 140000}, {580, 30000, 12000}, {580, 60000, 40000}, {550, 30000, 15000},
                {500, 40000, 30000}};
    for (auto [whole, letters, kept] : rows) {
        std::string records;
        for (int number = 100; number < 100 + whole; number++)
            records += record(number, 200);
        std::string listed_whole =
            listed(image_header() + records + image_trailer(), MORVANE_ENCODING_SHIFT_JIS).output;
        std::string broken =
            image_header() + records + record(100 + whole, letters).substr(0, kept);
        // The byte where the image ran out.
        std::string at_byte = " at byte " + std::to_string(broken.size());
        for (int encoding : {MORVANE_ENCODING_SHIFT_JIS, MORVANE_ENCODING_UTF_8}) {
            SCOPED_TRACE(std::to_string(whole) + " records and " + std::to_string(kept) +
                         " bytes, encoding " + std::to_string(encoding));
            Listed got = listed(broken, encoding);
            EXPECT_EQ(got.status, 1);
            EXPECT_EQ(got.message, "Broken program image L" + at_byte);
            EXPECT_EQ(got.output, listed_whole);
            EXPECT_EQ(got.name, image_header().substr(10, 6)) << "the name field, broken or not";
            write_file(image_path, broken);
            RunResult run = run_morvane_list(
                {encoding == MORVANE_ENCODING_UTF_8 ? "--encoding=utf-8" : "--encoding=shift_jis",
                 image_path, listing_path});
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.errors, "Broken program image " + image_path + at_byte + "\n");
            EXPECT_EQ(read_file(listing_path), listed_whole);
            // On standard output that cannot be taken back, the outcome is the same.
            RunSetup to_device;
            to_device.stdout_path = "/dev/null";
            RunResult onto_device = run_program(
                MORVANE_LIST_BINARY,
                {encoding == MORVANE_ENCODING_UTF_8 ? "--encoding=utf-8" : "--encoding=shift_jis",
                 image_path, "-"},
                to_device);
            EXPECT_EQ(onto_device.status, 1);
            EXPECT_EQ(onto_device.errors, "Broken program image " + image_path + at_byte + "\n");
        }
    }
}

TEST(RoundTrip, ExamplesComeBackWholeAndThoseInTheListersFormByteForByte) {
    for (const char *name : {"hello", "guess", "nihongo"})
        expect_round_trip(name, read_file(source_path("tests/expected/") + name + ".img"));
    for (const char *name : {"hello", "guess"})
        EXPECT_EQ(list(read_file(source_path("tests/expected/") + name + ".img")).listing,
                  read_file(source_path("examples/") + name + ".bas"));
}

// True if the line is as morvane-list writes lines: ASCII, a number without
// leading zeros, then nothing or one space and statements with no lower-case
// letter and no "?" outside quotes.
bool in_lister_form(const std::string &line) {
    std::size_t digits = line.find_first_not_of("0123456789");
    if (digits == 0 || digits == std::string::npos || (line[0] == '0' && digits > 1)) return false;
    if (line[digits] != ' ' || digits + 1 == line.size()) return digits == line.size();
    bool quoted = false;
    for (unsigned char c : line.substr(digits + 1)) {
        if (c >= 0x80 || c < 0x20) return false;
        if (c == '"') quoted = !quoted;
        if (!quoted && ((c >= 'a' && c <= 'z') || c == '?')) return false;
    }
    return true;
}

bool listing_in_lister_form(const std::string &listing) {
    if (listing.empty() || listing.back() != '\n') return false;
    for (std::size_t at = 0, end; at < listing.size(); at = end + 1) {
        end = listing.find('\n', at);
        if (!in_lister_form(listing.substr(at, end - at))) return false;
    }
    return true;
}

// Every listing of the shared corpus that converts comes back as the same
// image, and those already in the lister's form come back byte for byte.
TEST(RoundTrip, EveryCorpusListingThatConvertsComesBackWhole) {
    std::string corpus = source_path("../shared/corpus");
    if (!file_exists(corpus)) GTEST_SKIP() << "no shared corpus beside the project";
    int listings = 0, in_form = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(corpus)) {
        if (entry.path().extension() != ".bas") continue;
        std::string listing = read_file(entry.path());
        Conversion image = convert(listing);
        if (image.status != 0) continue;
        expect_round_trip(entry.path().filename(), image.image);
        listings++;
        if (!listing_in_lister_form(listing)) continue;
        EXPECT_TRUE(list(image.image).listing == listing) << entry.path().filename();
        in_form++;
    }
    EXPECT_EQ(listings, 107);
    EXPECT_GT(in_form, 0);
    std::printf("%d of %d listings were in the lister's form and came back byte for byte\n",
                in_form, listings);
}

// Listings made of the pieces where a listing and its image part ways: names
// that run into keywords, kana and kanji outside quotes, bytes the converter
// passes through, quotes, DATA and REM, numbers above 65,535, long lines.
std::string generated_listing(std::mt19937 &random) {
    static const char *const PIECES[] = {
        "PRINT",    "?",        "GOTO",     "LOC",      "LOCATE", "CLS",  "OUT",
        "DATA",     "REM",      "TO",       "SCORE",    "A",      "LO",   "\"",
        ":",        ",",        "1",        " ",        "=",      "x",    "\x82\xA0",
        "\x82\xAA", "\x8C\x8E", "\x91\xE5", "\xE0\x40", "\xA0",   "\xB1", "\xDE",
        "\x14",     "\x83\x4B", "\x81\x9F", "\xEF",     "\xFD"};
    static const unsigned PIECES_A_LINE[] = {5, 30, 300};
    std::string listing;
    std::uint32_t number = random() % 70000;
    for (unsigned line = random() % 6; line > 0; line--) {
        listing += std::to_string(number) + (random() % 2 ? " " : "");
        for (unsigned piece = random() % PIECES_A_LINE[random() % 3]; piece > 0; piece--)
            listing += PIECES[random() % std::size(PIECES)];
        listing += "\n";
        number += 1 + random() % 40000;
    }
    return listing;
}

// The lossless promise: every image the converter completes lists with
// status 0 into a listing that converts into the identical image.
TEST(RoundTrip, GeneratedListingsThatConvertComeBackWhole) {
    std::mt19937 random(16);
    int converted = 0;
    for (int i = 0; i < 150; i++) {
        Conversion image = convert(generated_listing(random));
        if (image.status != 0) continue;
        converted++;
        Listing listed = list(image.image);
        ASSERT_EQ(listed.status, 0) << listed.errors;
        EXPECT_EQ(hex(convert(listed.listing).image), hex(image.image)) << listed.listing;
    }
    EXPECT_GT(converted, 50);
}

// Images no converter wrote: records of any bytes but 0x00, any numbers, in
// any order. Whatever the lister lists with status 0 converts back into the
// same image; anything else it names (status 2) or refuses as broken (1).
// The image lists in UTF-8 too, with status 0, into a listing that
// converts, with no option, into the identical image.
void lists_in_utf8_and_converts_back(const std::string &image) {
    unsigned char *listing = nullptr, *back = nullptr;
    std::size_t listing_length = 0, back_length = 0;
    morvane_result result{};
    morvane_options utf8{MORVANE_ENCODING_UTF_8, nullptr};
    EXPECT_EQ(morvane_list_with(reinterpret_cast<const unsigned char *>(image.data()), image.size(),
                                "IMAGE", &utf8, &listing, &listing_length, nullptr, &result),
              0)
        << result.message;
    morvane_convert(listing, listing_length, "L", &back, &back_length, &result);
    EXPECT_EQ(hex(std::string(reinterpret_cast<char *>(back), back_length)), hex(image))
        << std::string(reinterpret_cast<char *>(listing), listing_length);
    morvane_free(listing);
    morvane_free(back);
}

// The image with a random name put in lists as it did, with status 2 and
// the name's message, and converts back with the name it gives into the
// identical image; a name no option gives is named in hex. True if the
// name could be given.
bool converts_back_with_its_name(std::string image, std::mt19937 &random) {
    static const unsigned char NAME_BYTES[] = {'A',  'z',  '0',  ' ',  '"',  0xB1, 0xB6, 0xDE,
                                               0xDF, 0xC3, 0xA8, 0x90, 0xE0, 0x91, 0x14, 0x00};
    for (int i = 10; i < 16; i++)
        image[i] = '\0';
    for (unsigned i = 0, length = 1 + random() % 6; i < length; i++)
        image[10 + i] = static_cast<char>(NAME_BYTES[random() % sizeof NAME_BYTES]);
    if (image.compare(10, 6, std::string("mrv\0\0\0", 6)) == 0) return false;
    unsigned char *listing = nullptr, *back = nullptr, field[6];
    std::size_t listing_length = 0, back_length = 0;
    morvane_result result{};
    int status =
        morvane_list_with(reinterpret_cast<const unsigned char *>(image.data()), image.size(),
                          "IMAGE", nullptr, &listing, &listing_length, field, &result);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(hex(std::string(reinterpret_cast<char *>(field), 6)), hex(image.substr(10, 6)));
    std::string message = result.message;
    const std::string given = "convert the listing back with morvane ";
    bool givable = message.find(given) != std::string::npos;
    if (!givable) {
        EXPECT_NE(message.find("no morvane --name gives it"), std::string::npos) << message;
    }
    if (givable) {
        std::string option = message.substr(message.find(given) + given.size());
        bool shift_jis = option.rfind("--encoding=shift_jis ", 0) == 0;
        std::string name = option.substr(option.find("--name=") + 7);
        morvane_options options{
            shift_jis ? MORVANE_ENCODING_SHIFT_JIS : MORVANE_ENCODING_BY_CONTENT, name.c_str()};
        morvane_convert_with(listing, listing_length, "L", &options, &back, &back_length, &result);
        EXPECT_EQ(hex(std::string(reinterpret_cast<char *>(back), back_length)), hex(image))
            << message;
    }
    morvane_free(listing);
    morvane_free(back);
    return givable;
}

TEST(RoundTrip, ArbitraryRecordsListIntoListingsThatConvertBackOrAreNamed) {
    std::mt19937 random(25);
    static const unsigned char FAVOURED[] = {
        ' ',  '"',  ':',  ',',  '0',  '9',  'A',  'Z',  '\x0A', '\x0D', '\x1A', '\x14',
        0x83, 0x8E, 0x88, 0x91, 0x95, 0xC7, 0xD0, 0xFA, 0xFF,   0xEF,   0xBB,   0xBF};
    // Where a listed line's number and body meet: what a listing reads as a
    // number, a byte-order mark or a line end there.
    static const char *const STARTS[] = {"",   " ",  "  ", "0",    "12",      "\xEF\xBB\xBF",
                                         "\r", "\n", "\t", "\x1A", "\x0D\x0A"};
    const unsigned LENGTHS[] = {4, 40, 1100};
    int listed = 0, named = 0, named_images = 0;
    for (int i = 0; i < 3000; i++) {
        std::vector<std::string> records;
        for (unsigned r = random() % 5; r > 0; r--) {
            unsigned number = random() % 4 == 0 ? random() % 3 : random() % 65536;
            std::string body = random() % 2 ? STARTS[random() % std::size(STARTS)] : "";
            for (unsigned k = random() % LENGTHS[random() % 3]; k > 0; k--)
                body += static_cast<char>(random() % 2 ? FAVOURED[random() % sizeof FAVOURED]
                                                       : 1 + random() % 255);
            records.push_back(hex(std::string("\xFF\xFF") + static_cast<char>(number & 0xFF) +
                                  static_cast<char>(number >> 8) + body + '\0'));
        }
        std::string image = image_of(records);
        unsigned char *listing = nullptr, *back = nullptr;
        std::size_t listing_length = 0, back_length = 0;
        morvane_result result{};
        int status = morvane_list(reinterpret_cast<const unsigned char *>(image.data()),
                                  image.size(), "IMAGE", &listing, &listing_length, &result);
        if (status == 0) {
            morvane_convert(listing, listing_length, "L", &back, &back_length, &result);
            EXPECT_EQ(hex(std::string(reinterpret_cast<char *>(back), back_length)), hex(image))
                << std::string(reinterpret_cast<char *>(listing), listing_length);
            listed++;
            named_images += converts_back_with_its_name(image, random);
            lists_in_utf8_and_converts_back(image);
        } else {
            EXPECT_TRUE(status == 1 || status == 2) << result.message;
            EXPECT_NE(std::string(result.message), "");
            named++;
        }
        morvane_free(listing);
        morvane_free(back);
    }
    EXPECT_GT(listed, 100);
    EXPECT_GT(named, 10);
    EXPECT_GT(named_images, 50);
}

} // namespace
