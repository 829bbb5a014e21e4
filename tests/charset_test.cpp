// The character tables checked against what the target character set is
// known to hold, and the conversion checked against a plain search of them.
#include <cstring>
#include <gtest/gtest.h>
#include <set>
#include <string>

#include "core/basic/charset.h"
#include "core/basic/line_text.h"
#include "support.h"

using namespace morvane;

namespace {

int lowest_index_of(std::uint32_t code) {
    for (int j = 0; j < CODE_TABLE_SIZE; j++)
        if (CODE_TABLE[j] == code) return j;
    return -1;
}

TEST(CodeTable, TargetCodesWithoutCharacterAreExactlyTheSix) {
    std::set<int> empty;
    for (int j = 0; j < CODE_TABLE_SIZE; j++)
        if (CODE_TABLE[j] == 0) empty.insert(j);
    EXPECT_EQ(empty, (std::set<int>{0x00, 0x60, 0x90, 0xA0, 0xFE, 0xFF}));
}

TEST(CodeTable, IdeographicSpaceIsTwiceAndTheLowerWins) {
    EXPECT_EQ(CODE_TABLE[0x20], 0x8140u);
    EXPECT_EQ(CODE_TABLE[0x7F], 0x8140u);
    EXPECT_EQ(lowest_index_of(0x8140), 0x20);
}

TEST(CodeTable, FullWidthDigitsAndLettersSitAtTheirAsciiPositions) {
    for (int i = 0; i < 10; i++)
        EXPECT_EQ(CODE_TABLE['0' + i], 0x824Fu + i);
    for (int i = 0; i < 26; i++) {
        EXPECT_EQ(CODE_TABLE['A' + i], 0x8260u + i);
        EXPECT_EQ(CODE_TABLE['a' + i], 0x8281u + i);
    }
}

TEST(CodeTable, OnlyTheIdeographicSpaceAppearsTwice) {
    std::set<std::uint32_t> seen;
    std::set<std::uint32_t> repeated;
    for (std::uint32_t code : CODE_TABLE)
        if (code != 0 && !seen.insert(code).second) repeated.insert(code);
    EXPECT_EQ(repeated, std::set<std::uint32_t>{0x8140});
}

TEST(VoicedTable, EveryMarkedKanaHasItsPlainKanaInTheCodeTable) {
    for (int entry = 0; entry < 40; entry++)
        EXPECT_GE(lowest_index_of(VOICED_TABLE[entry] - 1), 0x80) << entry;
    for (int entry = 40; entry < 50; entry++)
        EXPECT_GE(lowest_index_of(VOICED_TABLE[entry] - 2), 0x80) << entry;
    EXPECT_EQ(VOICED_TABLE[50], 0x8394u);
    EXPECT_EQ(lowest_index_of(0x8345), 0xB3);
    EXPECT_EQ(CODE_TABLE[VOICED_MARK], 0x814Au);
    EXPECT_EQ(CODE_TABLE[SEMI_VOICED_MARK], 0x814Bu);
}

TEST(VoicedTable, NoMarkedKanaIsItselfInTheCodeTable) {
    for (std::uint32_t code : VOICED_TABLE)
        EXPECT_EQ(lowest_index_of(code), -1) << std::hex << code;
}

// The conversion of one two-byte character by searching both tables in
// order; empty when the target set lacks it.
std::string convert_by_searching(std::uint32_t code) {
    int mark = 0;
    for (int entry = 0; entry < VOICED_TABLE_SIZE; entry++) {
        if (VOICED_TABLE[entry] != code) continue;
        mark = entry < 40 ? VOICED_MARK : entry < 50 ? SEMI_VOICED_MARK : VOICED_MARK;
        code = entry < 40 ? code - 1 : entry < 50 ? code - 2 : 0x8345;
        break;
    }
    int j = lowest_index_of(code);
    if (j < 0) return "";
    if (j <= 0x1F) return std::string{char(CONTROL_CODE_ESCAPE), char(j + 0x30)};
    std::string bytes(1, char(j));
    if (mark != 0) bytes += char(mark);
    return bytes;
}

std::string convert_in_buffer(const std::string &line) {
    unsigned char text[LINE_BUFFER_SIZE];
    std::memcpy(text, line.c_str(), line.size() + 1);
    if (!convert_charset(text)) return "";
    return reinterpret_cast<const char *>(text);
}

TEST(ConvertCharset, AgreesWithSearchingTheTablesForEveryTwoByteCharacter) {
    SilencedStandardError quiet;
    for (std::uint32_t lead = 0x80; lead <= 0x9F; lead++)
        for (std::uint32_t trail = 1; trail <= 0xFF; trail++) {
            std::string expected = convert_by_searching(lead << 8 | trail);
            std::string line = {'A', char(lead), char(trail), 'Z', '\n'};
            std::string converted = convert_in_buffer(line);
            std::string wanted = expected.empty() ? "" : "A" + expected + "Z\n";
            ASSERT_EQ(converted, wanted) << std::hex << lead << ' ' << trail;
            // The lister's search for where a line stops converting finds the same pair.
            unsigned char text[LINE_BUFFER_SIZE] = {};
            std::memcpy(text, line.data(), line.size());
            ASSERT_EQ(first_unconvertible_character(text), expected.empty() ? 1 : -1)
                << std::hex << lead << ' ' << trail;
        }
}

TEST(ConvertCharset, LineWithoutTwoByteCharactersIsLeftAsItIs) {
    std::string line = "10 PRINT \"\xB1\xE0\xFF\"\n";
    EXPECT_EQ(convert_in_buffer(line), line);
}

} // namespace
