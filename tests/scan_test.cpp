// The scan API as an editor meets it: what each stretch of a listing is,
// where it stands, and the promise that the scanner reads what the
// converter writes.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "morvane.h"
#include "scan_reading.h"
#include "support.h"

namespace {

const char *const KIND_NAMES[] = {"",       "line", "keyword", "reference", "label", "number",
                                  "string", "data", "remark",  "name",      "other"};

// Each item as KIND(TEXT), a keyword with its token, a number with its
// value, and its place where it is not on line 1.
std::string shown(const std::string &listing) {
    morvane_item *items = nullptr;
    size_t count = 0;
    EXPECT_EQ(morvane_scan(reinterpret_cast<const unsigned char *>(listing.data()), listing.size(),
                           &items, &count),
              0);
    std::string text;
    for (size_t i = 0; i < count; i++) {
        const morvane_item &item = items[i];
        char extra[32] = "", place[48] = "";
        if (item.kind == MORVANE_ITEM_KEYWORD)
            std::snprintf(extra, sizeof extra, ":%02X", item.token);
        if (item.value >= 0) std::snprintf(extra, sizeof extra, "=%lld", item.value);
        if (item.line != 1 || item.column > 1000)
            std::snprintf(place, sizeof place, "@%llu:%llu", item.line, item.column);
        text += std::string(i > 0 ? " " : "") + KIND_NAMES[item.kind] + extra + "(" +
                listing.substr(item.offset, item.length) + ")" + place;
    }
    morvane_free(items);
    return text;
}

struct ScanCase {
    const char *name;
    std::string listing;
    std::string items;
};

const ScanCase CASES[] = {
    {"KeywordInsideAName", "10 SCORE=1",
     "line=10(10) name(SC) keyword:D0(OR) name(E) keyword:D2(=) number(1)"},
    {"NothingInAStringIsAKeyword", "20 PRINT \"FOR\"",
     "line=20(20) keyword:95(PRINT) string(\"FOR\")"},
    {"RemarkDataAndOpenStringHoldACharacterOutsideTheSetAtTheirEnd",
     "1 REM \x8D\xA1\n2 DATA \x8D\xA1\r\n3 ?\"\x8D\xA1",
     "line=1(1) keyword:8E(REM) remark( \x8D\xA1) line=2(2)@2:1 keyword:83(DATA)@2:3 "
     "data( \x8D\xA1)@2:7 line=3(3)@3:1 keyword:95(?)@3:3 string(\"\x8D\xA1)@3:4"},
    {"DataUpToItsColonAndRemarkToTheEnd", "1 DATA 1,\"A:B\":REM X:Y\n",
     "line=1(1) keyword:83(DATA) data( 1,\"A:B\") other(:) keyword:8E(REM) remark( X:Y)"},
    {"ReferencesListsRangesAndComputedTargets", "10 ON X GOTO 10, 20:LIST 10-30:GOSUB 9+X",
     "line=10(10) keyword:91(ON) name(X) keyword:88(GOTO) reference=10(10) other(,) "
     "reference=20(20) "
     "other(:) keyword:97(LIST) reference=10(10) keyword:CB(-) reference=30(30) other(:) "
     "keyword:8C(GOSUB) number(9) keyword:CA(+) name(X)"},
    {"LabelsWhereRenumberingReadsThem", "@start\n GOTO @start\n",
     "label(@start) keyword:88(GOTO)@2:2 label(@start)@2:7"},
    {"CharacterOutsideTheSetBeforeTheNumberIsLeftOut",
     "\x85\x40"
     "20 END",
     "line=20(20) keyword:80(END)"},
    {"TokenStandingAsItsRawByte",
     "10 IF A\xC7"
     "20",
     "line=10(10) keyword:8A(IF) name(A) keyword:C7(\xC7) reference=20(20)"},
    {"FullWidthDigitsAreOneNumber", "\x82\x56\x82\x54 END",
     "line=75(\x82\x56\x82\x54) keyword:80(END)"},
    {"KanaOfTwoTargetBytesGivesEachOneOfItsBytes", "1 \x83\x4B",
     "line=1(1) keyword:B6(\x83) keyword:DE(\x4B)"},
    {"ByteOrderMarkTakesNoColumn",
     "\xEF\xBB\xBF"
     "10 A\n20 B",
     "line=10(10) name(A) line=20(20)@2:1 name(B)@2:4"},
    {"CutAfter1023BytesTheRestIsALineOfItsOwn", "1 REM" + std::string(1018, 'x') + "20 GOTO 1",
     "line=1(1) keyword:8E(REM) remark(" + std::string(1018, 'x') +
         ") line=20(20)@1:1024 "
         "keyword:88(GOTO)@1:1027 reference=1(1)@1:1032"},
    {"NothingAfterTheEndMark",
     "10 A\x1A"
     "20 B",
     "line=10(10) name(A)"},
    {"EmptyListing", "", ""},
};

void PrintTo(const ScanCase &row, std::ostream *out) {
    *out << row.name;
}

class Scans : public testing::TestWithParam<ScanCase> {};

TEST_P(Scans, AsTheConverterReads) {
    EXPECT_EQ(shown(GetParam().listing), GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(Listings, Scans, testing::ValuesIn(CASES),
                         [](const testing::TestParamInfo<ScanCase> &info) {
                             return std::string(info.param.name);
                         });

// Listings of random pieces: statements, quotes, DATA and REM, kana,
// characters outside the set, raw token bytes, line ends of every kind.
std::vector<std::string> generated_listings(unsigned seed, int count) {
    static const std::string PIECES[] = {"10",
                                         "20 ",
                                         " ",
                                         "\n",
                                         "\r\n",
                                         "\r",
                                         "PRINT",
                                         "\"",
                                         ":",
                                         "DATA",
                                         "REM",
                                         "GOTO ",
                                         "ON X GOSUB 1,2",
                                         "LIST 1-",
                                         "SCORE",
                                         "\x82\xA0",
                                         "\x83\x4B",
                                         "\x89\xBF",
                                         "\xE0\x40",
                                         "\xC7",
                                         "\x88",
                                         "@a",
                                         "\x1A",
                                         "\x82",
                                         "a$=",
                                         "\t",
                                         "+1",
                                         "\x95\x53",
                                         std::string(300, 'x'),
                                         "@b_1",
                                         "GOTO @b_1",
                                         "LIST @a-@b_1",
                                         "GOTO (",
                                         "GOTO A*2",
                                         "GOTO 5^2",
                                         "DELETE -5",
                                         "LLIST 5-",
                                         "THEN 5+1",
                                         "99999999999999999999",
                                         "4294967296",
                                         "\xE0\x82\xA0",
                                         // Characters the set shows at REM's and DATA's bytes.
                                         "\x82\xE5=1",
                                         "\x81\x9F=2:X",
                                         std::string(1, '\0'),
                                         "  @x  \n",
                                         "RESTORE",
                                         "RUN 7,"};
    std::mt19937 random(seed);
    std::vector<std::string> listings;
    for (int i = 0; i < count; i++) {
        std::string listing;
        for (unsigned piece = random() % 40; piece > 0; piece--)
            listing += PIECES[random() % std::size(PIECES)];
        listings.push_back(listing);
    }
    return listings;
}

std::vector<std::string> corpus_and_generated_listings() {
    std::vector<std::string> listings = generated_listings(24, 3000);
    for (const char *name : {"hello", "guess", "nihongo"})
        listings.push_back(read_file(source_path("examples/") + name + ".bas"));
    std::string corpus = source_path("../shared/corpus");
    if (file_exists(corpus))
        for (const auto &entry : std::filesystem::recursive_directory_iterator(corpus))
            if (entry.path().extension() == ".bas") listings.push_back(read_file(entry.path()));
    return listings;
}

TEST(ScanProperty, EveryRecordIsTheOneTheItemsGive) {
    for (const std::string &listing : corpus_and_generated_listings())
        EXPECT_EQ(scan_reading::differences(listing), "") << hex(listing.substr(0, 300));
}

// Items stand in order, never overlap, and hold no line end, nor a space
// outside strings, DATA and remarks; in a plain ASCII listing without
// labels, every byte from 0x80 up the converter writes is a token, so the
// keywords are exactly those bytes, in the same order.
TEST(ScanProperty, KeywordsAreTheTokensTheConverterWrites) {
    for (const std::string &listing : corpus_and_generated_listings()) {
        const auto *bytes = reinterpret_cast<const unsigned char *>(listing.data());
        morvane_item *items = nullptr;
        size_t count = 0;
        ASSERT_EQ(morvane_scan(bytes, listing.size(), &items, &count), 0);
        std::string keywords;
        size_t end = 0;
        for (size_t i = 0; i < count; i++) {
            const morvane_item &item = items[i];
            EXPECT_GE(item.offset, end) << "items overlap in " << hex(listing.substr(0, 200));
            end = item.offset + item.length;
            std::string text = listing.substr(item.offset, item.length);
            EXPECT_EQ(text.find('\n'), std::string::npos);
            bool free_text = item.kind == MORVANE_ITEM_STRING || item.kind == MORVANE_ITEM_DATA ||
                             item.kind == MORVANE_ITEM_REMARK;
            // A space may stand only as the second byte of a first byte 0x80-0x9F,
            // a character outside the set that the converter stops at.
            for (std::size_t space = text.find(' '); !free_text && space != std::string::npos;
                 space = text.find(' ', space + 1)) {
                auto before = static_cast<unsigned char>(space > 0 ? text[space - 1] : 0);
                EXPECT_TRUE(before >= 0x80 && before <= 0x9F)
                    << hex(text) << " in " << hex(listing);
            }
            if (item.kind == MORVANE_ITEM_KEYWORD) keywords += static_cast<char>(item.token);
        }
        morvane_free(items);
        bool plain = std::none_of(listing.begin(), listing.end(),
                                  [](char c) { return c < 0 || c == '@' || c == '\x1A'; });
        if (!plain) continue;
        unsigned char *image = nullptr;
        size_t image_length = 0;
        morvane_result result;
        if (morvane_convert(bytes, listing.size(), "L", &image, &image_length, &result) == 0) {
            std::string tokens;
            for (size_t at = 16; at < image_length; at++) {
                if (image[at] == 0xFF && image[at + 1] == 0xFF && (at == 16 || image[at - 1] == 0))
                    at += 3;
                else if (image[at] >= 0x80)
                    tokens += static_cast<char>(image[at]);
            }
            EXPECT_EQ(hex(keywords), hex(tokens)) << listing.substr(0, 200);
        }
        morvane_free(image);
    }
}

TEST(ScanProperty, NullAndEmptyListingsHaveNoItems) {
    morvane_item *items = nullptr;
    size_t count = 5;
    EXPECT_EQ(morvane_scan(nullptr, 0, &items, &count), 0);
    EXPECT_EQ(count, 0u);
    morvane_free(items);
}

} // namespace
