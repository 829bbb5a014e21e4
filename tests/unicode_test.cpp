// Listings in UTF-8: the programs as a user runs them on UTF-8 files, and
// the properties that tie a Shift_JIS listing to its UTF-8 twin.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/text/listing_decoding.h"
#include "core/text/unicode_text.h"
#include "morvane.h"
#include "support.h"

namespace {

// ---- The programs on UTF-8 files, and the options --encoding and --name.

struct ProgramCase {
    const char *name;
    const char *program; // "morvane", "morvane-list", "morvane-check", "morvane-renum"
    std::vector<std::string> options;
    std::string input; // the file the program reads
    int status;
    std::string errors;      // "IN" stands for the input's path
    std::string output = ""; // the output file's bytes, hex for an image
};

const std::string LEAD_IN = std::string(10, '\xD3');
const std::string MRV = std::string("mrv") + std::string(3, '\0');
const std::string TRAILER = std::string(12, '\0');

std::string image(const std::string &name, const std::string &records_hex) {
    return LEAD_IN + name + from_hex(records_hex) + TRAILER;
}

const ProgramCase PROGRAM_CASES[] = {
    {"KatakanaInUtf8AsInShiftJis",
     "morvane",
     {},
     "10 PRINT \"アイウ\"\n",
     0,
     "",
     hex(image(MRV, "FF FF 0A 00 95 20 22 B1 B2 B3 22 00"))},
    {"BothSpellingsOfTheWaveDashAndTheMinus",
     "morvane",
     {},
     "10 \"〜～−－\"\n",
     0,
     "",
     hex(image(MRV, "FF FF 0A 00 22 7E 7E 2D 2D 22 00"))},
    {"HalfWidthKanaAndTheYenSign",
     "morvane",
     {},
     "10 \"ｶﾞ¥\"\n",
     0,
     "",
     hex(image(MRV, "FF FF 0A 00 22 B6 DE 5C 22 00"))},
    {"PrivateUseCodePointsAreBytes",
     "morvane",
     {},
     "10 \"\uF7A0\uF7E3@\"\n",
     0,
     "",
     hex(image(MRV, "FF FF 0A 00 22 A0 E3 40 22 00"))},
    {"ByteOrderMarkThenUtf8",
     "morvane",
     {},
     "\xEF\xBB\xBF"
     "10 \"ア\"\r\n",
     0,
     "",
     hex(image(MRV, "FF FF 0A 00 22 B1 22 00"))},
    {"LatinLetterOutsideTheSetStops",
     "morvane",
     {},
     "10 PRINT \"café\"\n",
     1,
     "Illegal character found in next of 0\n",
     hex(LEAD_IN + MRV)},
    {"OutsideTheSetStopsAlsoAfterAFirstByteWrittenAsUF783",
     "morvane",
     {},
     "10 \"\uF783\u030F\"\n",
     1,
     "Illegal character found in next of 0\n",
     hex(LEAD_IN + MRV)},
    {"KanjiOutsideTheSetStops",
     "morvane",
     {},
     "10 END\n20 PRINT \"漢字\"\n",
     1,
     "Illegal character found in next of 10\n",
     hex(image(MRV, "FF FF 0A 00 80 00").substr(0, 22))},
    {"ShiftJisChosenReadsTheBytes",
     "morvane",
     {"--encoding=shift_jis"},
     "10 \"\xC3\xA8\"\n",
     0,
     "",
     hex(image(MRV, "FF FF 0A 00 22 C3 A8 22 00"))},
    {"Utf8ChosenWithSpace",
     "morvane",
     {"--encoding", "utf-8"},
     "10 \"ア\"\n",
     0,
     "",
     hex(image(MRV, "FF FF 0A 00 22 B1 22 00"))},
    {"UnknownEncodingNamed",
     "morvane",
     {"--encoding=latin1"},
     "10 END\n",
     1,
     "morvane: unknown encoding 'latin1': use utf-8 or shift_jis\n"},
    {"ShortestName",
     "morvane",
     {"--name=A"},
     "10 END\n",
     0,
     "",
     hex(image(std::string("A") + std::string(5, '\0'), "FF FF 0A 00 80 00"))},
    {"LongestName",
     "morvane",
     {"--name", "GAME01"},
     "10 END\n",
     0,
     "",
     hex(image("GAME01", "FF FF 0A 00 80 00"))},
    {"KanaNameAsTheConverterWritesIt",
     "morvane",
     {"--name=ゲーム"},
     "10 END\n",
     0,
     "",
     hex(image(from_hex("B9 DE B0 D1 00 00"), "FF FF 0A 00 80 00"))},
    {"NameTooLong",
     "morvane",
     {"--name=GAMEOVER"},
     "10 END\n",
     1,
     "morvane: the name GAMEOVER is longer than the 6 bytes of the image's name field\n"},
    {"NameOutsideTheSet",
     "morvane",
     {"--name=é"},
     "10 END\n",
     1,
     "morvane: the name é holds a character that is not in the target character set\n"},
    {"EmptyName",
     "morvane",
     {"--name="},
     "10 END\n",
     1,
     "morvane: --name needs a name of 1 to 6 characters\n"},
    {"ListsUtf8WithKatakanaFullWidthAndMarksJoined",
     "morvane-list",
     {"--encoding=utf-8"},
     image(MRV, "FF FF 0A 00 22 B6 DE CA DF B1 DE A0 22 00"),
     0,
     "",
     "10 \"ガパア゛\uF7A0\"\n"},
    {"ListsTheName",
     "morvane-list",
     {},
     image("GAME" + std::string(2, '\0'), "FF FF 0A 00 80 00"),
     2,
     "The image's name is GAME: convert the listing back with morvane --name=GAME\n",
     "10 END\n"},
    {"ChecksColumnsInCharactersAndNamesTheCharacter",
     "morvane-check",
     {},
     "10 A$=\"ｶﾞ今\"\n",
     1,
     "IN:1:10: error: character 今 (U+4ECA) is not in the target character set; replace it "
     "[charset]\n"},
    {"NamesAShiftJisCharacterToo",
     "morvane-check",
     {},
     "10 A$=\"\x8D\xA1\"\n",
     1,
     "IN:1:8: error: character 今 (U+4ECA) is not in the target character set; replace it "
     "[charset]\n"},
    {"NamesACharacterBeyondTheBasicPlane",
     "morvane-check",
     {},
     "10 A$=\"😀\"\n",
     1,
     "IN:1:8: error: character 😀 (U+1F600) is not in the target character set; replace it "
     "[charset]\n"},
    {"Utf8ChosenNamesAByteThatIsNoCharacterByItsValue",
     "morvane-check",
     {"--encoding=utf-8"},
     "10 A$=\"\xFF\"\n",
     1,
     "IN:1:8: error: character 0xFF is not in the target character set; replace it [charset]\n"},
    {"Utf8ChosenCountsAFirstByteWithoutItsOthersAsOneColumn",
     "morvane-check",
     {"--encoding=utf-8"},
     "10 A$=\"\xE3" "A\":GOTO 99\n",
     1,
     "IN:1:8: error: character 0xE3 is not in the target character set; replace it [charset]\n"
     "IN:1:17: warning: line 99 does not exist; no line has that number [missing-target]\n"},
    {"ShiftJisChosenChecksTheBytes",
     "morvane-check",
     {"--encoding", "shift_jis"},
     "10 A$=\"今\"\n",
     1,
     "IN:1:8: warning: character 莉 (U+8389) is not in the target character set; the converter "
     "copies its two bytes, which the machine shows as two other characters [passthrough]\n"
     "IN:1:9: error: character 0x8A22 is not in the target character set; replace it "
     "[charset]\n"},
    {"ShiftJisChosenRenumbersTheBytesAsTheyStand",
     "morvane-renum",
     {"--encoding=shift_jis"},
     "5 PRINT \"ア\":GOTO 5\n",
     0,
     "",
     "10 PRINT \"ア\":GOTO 10\n"},
    {"RenumbersInTheEncodingItRead",
     "morvane-renum",
     {},
     "5 PRINT \"〜～ア\":GOTO 5\n",
     0,
     "",
     "10 PRINT \"〜～ア\":GOTO 10\n"},
};

class Programs : public testing::TestWithParam<ProgramCase> {};

TEST_P(Programs, RunAsTheyShould) {
    const ProgramCase &c = GetParam();
    TempDir dir;
    const std::string in = dir.path("in"), out = dir.path("out");
    write_file(in, c.input);
    std::vector<std::string> arguments = c.options;
    bool checking = std::string(c.program) == "morvane-check";
    arguments.push_back(in);
    if (!checking) arguments.push_back(out);
    std::string program = c.program;
    const char *binary = program == "morvane"         ? MORVANE_BINARY
                         : program == "morvane-list"  ? MORVANE_LIST_BINARY
                         : program == "morvane-check" ? MORVANE_CHECK_BINARY
                                                      : MORVANE_RENUM_BINARY;
    RunResult run = run_program(binary, arguments);
    EXPECT_EQ(run.status, c.status);
    std::string printed = checking ? run.output : run.errors;
    std::string expected = c.errors;
    for (std::size_t at; (at = expected.find("IN:")) != std::string::npos;)
        expected.replace(at, 2, in);
    EXPECT_EQ(printed, expected);
    if (checking) return;
    std::string written = file_exists(out) ? read_file(out) : "";
    EXPECT_EQ(std::string(c.program) == "morvane" ? hex(written) : written, c.output);
}

INSTANTIATE_TEST_SUITE_P(Unicode, Programs, testing::ValuesIn(PROGRAM_CASES),
                         [](const auto &info) { return std::string(info.param.name); });

// ---- Properties: a Shift_JIS listing and its UTF-8 twin.

// The code point that reads as exactly this Shift_JIS pair, or that the
// target set lacks as the pair's own character does; 0 if there is none.
std::uint32_t twin_character(unsigned char lead, unsigned char trail) {
    std::uint32_t code_point = morvane::code_point_of_shift_jis(lead, trail);
    if (code_point == 0) return 0;
    int spelling = morvane::shift_jis_spelling(code_point);
    return spelling == (lead << 8 | trail) || spelling == morvane::NOT_IN_SET ? code_point : 0;
}

// The UTF-8 twin of a Shift_JIS listing: each character the target set
// holds as its Unicode character, every other byte from 0x80 up as U+F700 + it.
std::string utf8_twin(const std::string &shift_jis, bool byte_order_mark, bool crlf) {
    std::string twin = byte_order_mark ? "\xEF\xBB\xBF" : "";
    std::vector<unsigned char> bytes(shift_jis.begin(), shift_jis.end());
    auto put = [&](std::uint32_t code_point) {
        if (code_point < 0x80) {
            if (crlf && code_point == '\n') twin += '\r';
            twin += static_cast<char>(code_point);
        } else if (code_point < 0x800) {
            twin += static_cast<char>(0xC0 | code_point >> 6);
            twin += static_cast<char>(0x80 | (code_point & 0x3F));
        } else {
            twin += static_cast<char>(0xE0 | code_point >> 12);
            twin += static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
            twin += static_cast<char>(0x80 | (code_point & 0x3F));
        }
    };
    // The characters the converter takes, decoded by the converter itself:
    // each two-byte character alone on a line converts, or it is bytes.
    for (std::size_t at = 0; at < bytes.size(); at++) {
        unsigned char b = bytes[at];
        if (b < 0x80) {
            put(b);
        } else if (b >= 0xA1 && b <= 0xDF) {
            put(0xFF61 + (b - 0xA1));
        } else if (b <= 0x9F && at + 1 < bytes.size() && twin_character(b, bytes[at + 1]) != 0) {
            put(twin_character(b, bytes[at + 1]));
            at++;
        } else {
            put(0xF700 + b);
        }
    }
    return twin;
}

struct Converted {
    int status;
    std::string image, message;
};

Converted convert_in_memory(const std::string &listing,
                            int encoding = MORVANE_ENCODING_BY_CONTENT) {
    unsigned char *image = nullptr;
    size_t length = 0;
    morvane_result result{};
    morvane_options options{encoding, nullptr};
    morvane_convert_with(reinterpret_cast<const unsigned char *>(listing.data()), listing.size(),
                         "L", &options, &image, &length, &result);
    Converted converted{result.status, std::string(reinterpret_cast<char *>(image), length),
                        result.message};
    morvane_free(image);
    return converted;
}

std::vector<morvane_finding> check_in_memory(const std::string &listing) {
    morvane_finding *findings = nullptr;
    size_t count = 0;
    morvane_check(reinterpret_cast<const unsigned char *>(listing.data()), listing.size(),
                  &findings, &count);
    std::vector<morvane_finding> found(findings, findings + count);
    morvane_free(findings);
    return found;
}

Converted renumber_in_memory(const std::string &listing) {
    unsigned char *output = nullptr;
    size_t length = 0;
    morvane_result result{};
    morvane_renumber(reinterpret_cast<const unsigned char *>(listing.data()), listing.size(), "L",
                     10, 10, 0, &output, &length, &result);
    Converted renumbered{result.status, std::string(reinterpret_cast<char *>(output), length), ""};
    morvane_free(output);
    return renumbered;
}

std::vector<std::string> shift_jis_listings() {
    static const char *const PIECES[] = {
        "10",       "20",       " ",        "\n",   "PRINT", "\"",       "\x82\xA0", "\x83\x4B",
        "\x81\x60", "\x8D\xA1", "\xE0\x40", "\x82", "A",     "GOTO ",    "SCORE",    "DATA ",
        "REM ",     "\xB6\xDE", "\xCA\xDF", "\xA0", "\xFF",  "\x87\x90", "\x8C\x8E", "70000 ",
        ":",        "@a",       "GOSUB 9",  "\t",   "\x5C"};
    std::mt19937 random(26);
    std::vector<std::string> listings;
    // The real listings, where they stand beside the project.
    std::string corpus = source_path("../shared/corpus");
    if (file_exists(corpus))
        for (const auto &entry : std::filesystem::recursive_directory_iterator(corpus))
            if (entry.path().extension() == ".bas") listings.push_back(read_file(entry.path()));
    for (int i = 0; i < 3000; i++) {
        std::string listing;
        for (unsigned piece = random() % 30; piece > 0; piece--)
            listing += PIECES[random() % std::size(PIECES)];
        listings.push_back(listing);
    }
    return listings;
}

// Each twin, with and without the byte-order mark, with LF and CR LF, gives
// the Shift_JIS listing's (with the same line ends) image, status and
// message, its findings (at the same columns where the twin spells every
// character as one), and a renumbering that converts into the same image.
TEST(UnicodeProperty, Utf8TwinsGiveWhatTheShiftJisListingGives) {
    for (const std::string &listing : shift_jis_listings()) {
        // A listing that reads as UTF-8 already has no Shift_JIS reading to compare.
        if (morvane::listing_encoding(reinterpret_cast<const unsigned char *>(listing.data()),
                                      listing.size()) == morvane::Encoding::UTF_8)
            continue;
        std::string crlf;
        for (char c : listing)
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        for (int variant = 0; variant < 4; variant++) {
            // The twin with CR LF line ends is held to the Shift_JIS listing with them.
            const std::string &original = variant & 2 ? crlf : listing;
            const Converted expected = convert_in_memory(original);
            const std::vector<morvane_finding> findings = check_in_memory(original);
            const Converted renumbered = renumber_in_memory(original);
            std::string twin = utf8_twin(listing, variant & 1, variant & 2);
            if (twin == listing) continue; // pure ASCII: the same file
            // U+F780-U+F7FF, bytes without a character, are a column each.
            bool one_column_each = twin.find("\xEF\x9E") == std::string::npos &&
                                   twin.find("\xEF\x9F") == std::string::npos;
            std::string context =
                hex(listing.substr(0, 120)) + " / variant " + std::to_string(variant);
            Converted got = convert_in_memory(twin, MORVANE_ENCODING_UTF_8);
            EXPECT_EQ(got.status, expected.status) << context;
            EXPECT_EQ(hex(got.image), hex(expected.image)) << context;
            EXPECT_EQ(got.message, expected.message) << context;
            {
                std::vector<morvane_finding> twin_findings = check_in_memory(twin);
                ASSERT_EQ(twin_findings.size(), findings.size()) << context;
                for (std::size_t k = 0; k < findings.size(); k++) {
                    EXPECT_STREQ(twin_findings[k].name, findings[k].name) << context;
                    EXPECT_STREQ(twin_findings[k].message, findings[k].message) << context;
                    EXPECT_EQ(twin_findings[k].line, findings[k].line) << context;
                    if (one_column_each) {
                        EXPECT_EQ(twin_findings[k].column, findings[k].column) << context;
                    }
                }
                Converted twin_renumbered = renumber_in_memory(twin);
                EXPECT_EQ(twin_renumbered.status, renumbered.status) << context;
                EXPECT_EQ(
                    hex(convert_in_memory(twin_renumbered.image, MORVANE_ENCODING_UTF_8).image),
                    hex(convert_in_memory(renumbered.image).image))
                    << context;
            }
        }
    }
}

// Every image the converter completes lists as UTF-8 that converts back,
// with no option, into the identical image; the listing is valid UTF-8.
TEST(UnicodeProperty, CompletedImagesListInUtf8AndConvertBack) {
    int completed = 0;
    for (const std::string &listing : shift_jis_listings()) {
        Converted image = convert_in_memory(listing);
        if (image.status != 0) continue;
        completed++;
        unsigned char *text = nullptr;
        size_t length = 0;
        morvane_result result{};
        morvane_options utf8{MORVANE_ENCODING_UTF_8, nullptr};
        int status =
            morvane_list_with(reinterpret_cast<const unsigned char *>(image.image.data()),
                              image.image.size(), "I", &utf8, &text, &length, nullptr, &result);
        std::string listed(reinterpret_cast<char *>(text), length);
        morvane_free(text);
        if (status == 2) continue; // a line the lister names as not converting back
        ASSERT_EQ(status, 0) << result.message;
        EXPECT_EQ(hex(convert_in_memory(listed).image), hex(image.image)) << listed;
    }
    EXPECT_GT(completed, 500) << completed;
}

// A UTF-8 listing with a character the target set lacks never completes.
TEST(UnicodeProperty, CharactersOutsideTheSetNeverComplete) {
    const char *const outside[] = {"é", "漢", "😀", "Ω", "\uF6FF", "\uF77F", "鷗", "\uFEFF"};
    std::mt19937 random(29);
    for (int i = 0; i < 500; i++) {
        std::string listing = "10 PRINT \"ア";
        for (unsigned piece = random() % 5; piece > 0; piece--)
            listing += "イ";
        listing += outside[random() % std::size(outside)];
        listing += random() % 2 ? "\"\n" : ":REM ウ\n";
        EXPECT_EQ(convert_in_memory(listing).status, 1) << listing;
    }
}

} // namespace

#include "core/convert/convert_run.h"
#include "core/text/utf8_listing.h"

namespace {

// ---- Reading in pieces, as from a pipe: the same image whatever the reads.

struct Pieces {
    const std::string *bytes;
    std::size_t at, piece;
};

long long read_piece(void *context, unsigned char *buffer, std::size_t size) {
    auto &pieces = *static_cast<Pieces *>(context);
    std::size_t count = std::min({size, pieces.bytes->size() - pieces.at, pieces.piece});
    std::memcpy(buffer, pieces.bytes->data() + pieces.at, count);
    pieces.at += count;
    return static_cast<long long>(count);
}

bool append(void *context, const unsigned char *bytes, std::size_t size) {
    static_cast<std::string *>(context)->append(reinterpret_cast<const char *>(bytes), size);
    return true;
}

morvane::Converter converter;

// Every UTF-8 twin, and listings with bytes that are no UTF-8 after a
// byte-order mark, read a few bytes at a time (characters cut between
// reads, the mark alone in the first), give the image of one read.
TEST(UnicodeProperty, ReadInPiecesAsInOneRead) {
    std::vector<std::string> listings = {"\xEF\xBB\xBF\xCA",
                                         "\xEF\xBB\xBF"
                                         "10 \xE3\x81",
                                         "\xEF\xBB\xBF"
                                         "10 \"\xEF\xBB\xBF\"\n"};
    for (const std::string &listing : shift_jis_listings())
        if (listings.size() < 400)
            listings.push_back(utf8_twin(listing, listings.size() % 2, false));
    for (const std::string &listing : listings) {
        Converted whole = convert_in_memory(listing);
        for (std::size_t piece : {1, 2, 3, 5, 7, 64}) {
            Pieces pieces{&listing, 0, piece};
            std::string image;
            morvane::Outcome outcome =
                morvane::convert(converter, {read_piece, &pieces}, {append, nullptr, &image});
            EXPECT_EQ(hex(image), hex(whole.image))
                << hex(listing.substr(0, 80)) << " in pieces of " << piece;
            EXPECT_EQ(outcome.kind == morvane::OutcomeKind::COMPLETE, whole.status == 0);
        }
    }
}

// A listing of long runs of kana read from a file, blocks cutting its
// characters, converts as its Shift_JIS twin.
TEST(UnicodeProperty, LargeUtf8FileConvertsAsItsShiftJisTwin) {
    std::string shift_jis, utf8;
    for (int line = 1; line <= 3000; line++) {
        std::string text = std::to_string(line) + " PRINT \"";
        shift_jis += text;
        utf8 += text;
        for (int k = 0; k < line % 40 + 1; k++) {
            shift_jis += "\x83\x41\xB6\xDE";
            utf8 += "アｶﾞ";
        }
        shift_jis += "\"\n";
        utf8 += "\"\n";
    }
    TempDir dir;
    write_file(dir.path("s.bas"), shift_jis);
    write_file(dir.path("u.bas"), utf8);
    EXPECT_EQ(run_program(MORVANE_BINARY, {dir.path("s.bas"), dir.path("s.img")}).status, 0);
    EXPECT_EQ(run_program(MORVANE_BINARY, {dir.path("u.bas"), dir.path("u.img")}).status, 0);
    EXPECT_EQ(read_file(dir.path("u.img")), read_file(dir.path("s.img")));
    RunSetup from_pipe;
    from_pipe.stdin_path = dir.path("u.bas");
    RunResult piped = run_program(MORVANE_BINARY, {"-", dir.path("p.img")}, from_pipe);
    EXPECT_EQ(piped.status, 0) << piped.errors;
    EXPECT_EQ(read_file(dir.path("p.img")), read_file(dir.path("s.img")));
}

// ---- The library's options.

TEST(Library, OptionsChooseTheEncodingAndTheName) {
    const std::string listing = "10 PRINT \"ア\"\n";
    const auto *bytes = reinterpret_cast<const unsigned char *>(listing.data());
    unsigned char *output = nullptr;
    size_t length = 0, count = 0;
    morvane_result result{};
    morvane_finding *findings = nullptr;
    morvane_item *items = nullptr;
    for (int asked : {7, -1}) {
        morvane_options unknown{asked, nullptr};
        EXPECT_EQ(
            morvane_convert_with(bytes, listing.size(), "L", &unknown, &output, &length, &result),
            1);
        EXPECT_EQ(result.message, "Unknown encoding " + std::to_string(asked) +
                                      ": use MORVANE_ENCODING_UTF_8 or MORVANE_ENCODING_SHIFT_JIS");
        morvane_free(output);
        EXPECT_EQ(morvane_list_with(bytes, listing.size(), "L", &unknown, &output, &length, nullptr,
                                    &result),
                  1);
        morvane_free(output);
        EXPECT_EQ(morvane_renumber_with(bytes, listing.size(), "L", 10, 10, 0, &unknown, &output,
                                        &length, &result),
                  2);
        morvane_free(output);
        EXPECT_EQ(morvane_check_with(bytes, listing.size(), &unknown, &findings, &count), -1);
        EXPECT_EQ(morvane_scan_with(bytes, listing.size(), &unknown, &items, &count), -1);
    }
    // Read as Shift_JIS, ア's three bytes are a pair the set lacks and a kana.
    morvane_options shift_jis{MORVANE_ENCODING_SHIFT_JIS, nullptr};
    ASSERT_EQ(morvane_check_with(bytes, listing.size(), &shift_jis, &findings, &count), 1);
    ASSERT_EQ(count, 1u);
    EXPECT_STREQ(findings[0].name, "passthrough");
    morvane_free(findings);
    ASSERT_EQ(morvane_scan_with(bytes, listing.size(), &shift_jis, &items, &count), 0);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(items[2].length, 5u);
    morvane_free(items);

    morvane_options named{MORVANE_ENCODING_UTF_8, "ゲーム"};
    ASSERT_EQ(morvane_convert_with(bytes, listing.size(), "L", &named, &output, &length, &result),
              0);
    std::string image(reinterpret_cast<char *>(output), length);
    EXPECT_EQ(hex(image.substr(10, 6)), "B9 DE B0 D1 00 00");
    morvane_free(output);
    unsigned char field[6] = {1, 1, 1, 1, 1, 1};
    morvane_options utf8{MORVANE_ENCODING_UTF_8, nullptr};
    EXPECT_EQ(morvane_list_with(reinterpret_cast<const unsigned char *>(image.data()), image.size(),
                                "I", &utf8, &output, &length, field, &result),
              2);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(output), length), listing);
    EXPECT_STREQ(result.message,
                 "The image's name is ゲーム: convert the listing back with morvane --name=ゲーム");
    EXPECT_EQ(hex(std::string(reinterpret_cast<char *>(field), 6)), "B9 DE B0 D1 00 00");
    morvane_free(output);
    EXPECT_EQ(
        morvane_list_with(bytes, listing.size(), "I", nullptr, &output, &length, field, &result),
        1);
    EXPECT_EQ(hex(std::string(reinterpret_cast<char *>(field), 6)), "00 00 00 00 00 00")
        << "no image";
    morvane_free(output);

    morvane_options too_long{MORVANE_ENCODING_BY_CONTENT, "ABCDEFG"};
    EXPECT_EQ(
        morvane_convert_with(bytes, listing.size(), "L", &too_long, &output, &length, &result), 1);
    EXPECT_STREQ(result.message,
                 "the name ABCDEFG is longer than the 6 bytes of the image's name field");
    EXPECT_EQ(length, 0u);
    morvane_free(output);

    // Scanned as UTF-8, an item's offset and length are the file's.
    ASSERT_EQ(morvane_scan_with(bytes, listing.size(), &utf8, &items, &count), 0);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(items[2].kind, MORVANE_ITEM_STRING);
    EXPECT_EQ(items[2].offset, 9u);
    EXPECT_EQ(items[2].length, 5u) << "the quotes and ア's three bytes";
    morvane_free(items);
}

// A line longer than the UTF-8 writer gathers goes on in pieces, whole.
TEST(UnicodeText, LineLongerThanTheWriterGathersListsWhole) {
    std::string body(20000, 'A');
    body[7000] = '\xB1'; // a kana, which stays half width in a line this long
    std::string image = std::string(10, '\xD3') + "mrv" + std::string(3, '\0') + "\xFF\xFF\x0A" +
                        std::string(1, '\0') + "\x22" + body + std::string(1, '\0') +
                        std::string(12, '\0');
    unsigned char *sjis = nullptr, *utf8 = nullptr;
    size_t sjis_length = 0, utf8_length = 0;
    morvane_result result{};
    morvane_options in_utf8{MORVANE_ENCODING_UTF_8, nullptr};
    int sjis_status = morvane_list(reinterpret_cast<const unsigned char *>(image.data()),
                                   image.size(), "I", &sjis, &sjis_length, &result);
    int utf8_status =
        morvane_list_with(reinterpret_cast<const unsigned char *>(image.data()), image.size(), "I",
                          &in_utf8, &utf8, &utf8_length, nullptr, &result);
    EXPECT_EQ(utf8_status, sjis_status);
    std::string expected(reinterpret_cast<char *>(sjis), sjis_length);
    expected.replace(expected.find('\xB1'), 1, "ｱ");
    EXPECT_EQ(std::string(reinterpret_cast<char *>(utf8), utf8_length), expected);
    morvane_free(sjis);
    morvane_free(utf8);
}

// Kana are widened only where the line then still fits what the converter
// reads of a line: a line that widening would take past 1,023 bytes keeps
// them half width, and either way the listing converts back.
TEST(UnicodeText, KanaWidenedWhereTheLineStillFits) {
    // ｶﾞｱ widens by one byte; ｳﾞ (the voiced U), た@ (a pair already full
    // width) and ｱﾟ (whose mark stays a mark of its own) by two.
    const std::string GA_A = "\xB6\xDE\xB1", VU_PAIR_A_MARK = "\xB3\xDE\xE0\x40\xB1\xDF";
    const struct {
        std::string unit; // repeated in the string
        int count;
        bool widened;
        std::string wide, narrow; // the unit as listed, widened or not
    } rows[] = {
        {GA_A, 100, true, "ガア", "ｶﾞｱ"},
        {GA_A, 200, true, "ガア", "ｶﾞｱ"},
        {GA_A, 254, true, "ガア", "ｶﾞｱ"},
        {GA_A, 255, false, "ガア", "ｶﾞｱ"},
        {GA_A, 330, false, "ガア", "ｶﾞｱ"},
        {VU_PAIR_A_MARK, 113, true, "ヴた@ア゜", "ｳﾞた@ｱﾟ"},
        {VU_PAIR_A_MARK, 114, false, "ヴた@ア゜", "ｳﾞた@ｱﾟ"},
    };
    for (const auto &row : rows) {
        std::string body = "\x22";
        for (int i = 0; i < row.count; i++)
            body += row.unit;
        body += "\x22";
        std::string image = std::string(10, '\xD3') + "mrv" + std::string(3, '\0') +
                            "\xFF\xFF\x0A" + std::string(1, '\0') + body + std::string(13, '\0');
        unsigned char *listing = nullptr, *back = nullptr;
        size_t length = 0, back_length = 0;
        morvane_result result{};
        morvane_options utf8{MORVANE_ENCODING_UTF_8, nullptr};
        int status =
            morvane_list_with(reinterpret_cast<const unsigned char *>(image.data()), image.size(),
                              "I", &utf8, &listing, &length, nullptr, &result);
        std::string text(reinterpret_cast<char *>(listing), length);
        SCOPED_TRACE(hex(row.unit) + " " + std::to_string(row.count) + " times");
        EXPECT_EQ(status, 0) << result.message;
        EXPECT_EQ(text.find(row.wide) != std::string::npos, row.widened);
        EXPECT_EQ(text.find(row.narrow) != std::string::npos, !row.widened);
        morvane_convert(listing, length, "L", &back, &back_length, &result);
        EXPECT_EQ(hex(std::string(reinterpret_cast<char *>(back), back_length)), hex(image));
        morvane_free(listing);
        morvane_free(back);
    }
}

// The rule that reads a listing as UTF-8 or as Shift_JIS, on the bytes
// UTF-8 forbids, whole and a byte at a time, as from a pipe.
TEST(UnicodeText, EncodingRuleOnTheBytesUtf8Forbids) {
    using morvane::Encoding;
    const struct {
        std::string listing;
        Encoding read_as;
    } rows[] = {
        {"", Encoding::SHIFT_JIS},
        {"10 END\n", Encoding::SHIFT_JIS},
        {"10 \"ア\"\n", Encoding::UTF_8},
        {"\xEF\xBB\xBF", Encoding::UTF_8},              // the mark alone
        {"10 \xEF\xBB\xBF\n", Encoding::SHIFT_JIS},     // U+FEFF inside: nothing else
        {"10 \xEF\xBB\xBF\xC3\xA9\n", Encoding::UTF_8}, // U+FEFF then é
        {"10 \xF0\x9F\x98\x80\n", Encoding::UTF_8},     // beyond the basic plane
        {"10 \xC0\x80\n", Encoding::SHIFT_JIS},         // overlong
        {"10 \xE0\x80\x80\n", Encoding::SHIFT_JIS},     // overlong
        {"10 \xF0\x80\x80\x80\n", Encoding::SHIFT_JIS}, // overlong
        {"10 \xED\xA0\x80\n", Encoding::SHIFT_JIS},     // a surrogate
        {"10 \xF4\x90\x80\x80\n", Encoding::SHIFT_JIS}, // above U+10FFFF
        {"10 \xF5\x80\x80\x80\n", Encoding::SHIFT_JIS}, // no first byte
        {"10 \xC3", Encoding::SHIFT_JIS},               // cut short at the end
        {"10 \xC3\xA9\x82\xA0\n", Encoding::SHIFT_JIS}, // é, then Shift_JIS
    };
    for (const auto &row : rows) {
        const auto *bytes = reinterpret_cast<const unsigned char *>(row.listing.data());
        EXPECT_EQ(morvane::listing_encoding(bytes, row.listing.size()), row.read_as)
            << hex(row.listing);
        morvane::EncodingSniffer sniffer;
        morvane::start_sniffing(sniffer);
        for (std::size_t at = 0; at < row.listing.size(); at++)
            morvane::sniff(sniffer, bytes + at, 1);
        EXPECT_EQ(morvane::sniffed_encoding(sniffer), row.read_as)
            << hex(row.listing) << " byte by byte";
    }
}

// Every code point at the edges of UTF-8's lengths reads back as itself,
// and a listing's code point is the character's in either encoding.
TEST(UnicodeText, CodePointsAtTheEdgesOfEachLength) {
    for (std::uint32_t code_point : {0x00u, 0x41u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xFFFFu,
                                     0x10000u, 0x10FFFFu}) {
        unsigned char bytes[4];
        int length = morvane::encode_utf8(code_point, bytes);
        std::uint32_t read = 0;
        EXPECT_EQ(morvane::decode_utf8(bytes, static_cast<std::size_t>(length), read), length);
        EXPECT_EQ(read, code_point);
    }
    for (auto [listing, choice] :
         {std::pair{std::string("\x8D\xA1"), morvane::EncodingChoice::SHIFT_JIS},
          std::pair{std::string("今"), morvane::EncodingChoice::UTF_8}}) {
        morvane::ListingText text;
        ASSERT_TRUE(morvane::read_listing_text(
            reinterpret_cast<const unsigned char *>(listing.data()), listing.size(), choice, text));
        EXPECT_EQ(morvane::code_point_at(text, 0), 0x4ECAu) << hex(listing);
        EXPECT_EQ(morvane::code_point_at(text, text.length), 0u) << "past the end";
        morvane::free_listing_text(text);
    }
}

// The text the page shows of a Shift_JIS file reads back into its bytes;
// asked to, a character the set lacks is shown as itself.
TEST(UnicodeText, ShiftJisShownAsUtf8) {
    const struct {
        std::string shift_jis;
        bool characters_outside;
        std::string shown;
    } rows[] = {
        {"\x83\x41\xB6\xDE\xA0\xE0\x40", false, "アｶﾞ\uF7A0\uF7E0@"},
        {"\x8D\xA1", false, "\uF78D\uF7A1"},
        {"\x8D\xA1", true, "今"},
        {"\x85\x40", true, "\uF785@"}, // no character
        {"\x81", false, "\uF781"},
    };
    for (const auto &row : rows) {
        unsigned char out[64];
        std::size_t length = morvane::shift_jis_text_as_utf8(
            reinterpret_cast<const unsigned char *>(row.shift_jis.data()), row.shift_jis.size(),
            out, row.characters_outside);
        EXPECT_EQ(std::string(reinterpret_cast<char *>(out), length), row.shown)
            << hex(row.shift_jis);
    }
}

} // namespace
