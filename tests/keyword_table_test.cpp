#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/basic/keyword_table.h"
#include "core/basic/line_text.h"

using namespace morvane;

namespace {

std::string name_of(int row) {
    return KEYWORDS[row].name;
}

int row_of(const std::string &name) {
    for (int row = 0; row < KEYWORD_COUNT; row++)
        if (name_of(row) == name) return row;
    return -1;
}

TEST(KeywordTable, CodesFill0x80To0xF9WithOnlyPrintAndQuestionMarkSharing) {
    std::map<int, std::set<std::string>> names_by_code;
    for (int row = 0; row < KEYWORD_COUNT; row++)
        names_by_code[KEYWORDS[row].token].insert(name_of(row));
    EXPECT_EQ(names_by_code.size(), 122u);
    EXPECT_EQ(names_by_code.begin()->first, 0x80);
    EXPECT_EQ(names_by_code.rbegin()->first, 0xF9);
    for (const auto &[code, names] : names_by_code) {
        std::size_t expected_names = code == 0x95 ? 2 : 1;
        EXPECT_EQ(names.size(), expected_names) << std::hex << code;
    }
    EXPECT_EQ(names_by_code[0x95], (std::set<std::string>{"PRINT", "?"}));
}

TEST(KeywordTable, NamesAreOneToSevenCharactersPaddedWithZeros) {
    for (const KeywordEntry &entry : KEYWORDS) {
        std::size_t length = std::strlen(entry.name);
        EXPECT_GE(length, 1u);
        EXPECT_LE(length, 7u);
        for (std::size_t i = length; i < sizeof entry.name; i++)
            EXPECT_EQ(entry.name[i], 0);
    }
}

TEST(KeywordTable, OnlyPrefixPairsAreInputInpAndLocateLocLongerFirst) {
    std::set<std::pair<std::string, std::string>> prefix_pairs;
    for (int longer = 0; longer < KEYWORD_COUNT; longer++)
        for (int shorter = 0; shorter < KEYWORD_COUNT; shorter++)
            if (longer != shorter && name_of(longer).starts_with(name_of(shorter)))
                prefix_pairs.insert({name_of(longer), name_of(shorter)});
    for (const auto &[longer, shorter] : prefix_pairs)
        EXPECT_LT(row_of(longer), row_of(shorter)) << longer << " must come before " << shorter;
    EXPECT_EQ(prefix_pairs,
              (std::set<std::pair<std::string, std::string>>{{"INPUT", "INP"}, {"LOCATE", "LOC"}}));
}

TEST(KeywordTable, OperatorsThenQuestionMarkThenNamesInAsciiOrder) {
    const char *operators[] = {"-", "*", "/", "^", "+", "<", "=", ">", "?"};
    for (int row = 0; row < 9; row++)
        EXPECT_EQ(name_of(row), operators[row]);
    for (int row = 10; row < KEYWORD_COUNT; row++) {
        bool swapped_pair = (name_of(row - 1) == "INPUT" && name_of(row) == "INP") ||
                            (name_of(row - 1) == "LOCATE" && name_of(row) == "LOC");
        if (!swapped_pair) {
            EXPECT_LT(name_of(row - 1), name_of(row));
        }
    }
    EXPECT_EQ(KEYWORDS[row_of("DATA")].token, TOKEN_DATA);
    EXPECT_EQ(KEYWORDS[row_of("REM")].token, TOKEN_REM);
}

// The plain walk of the table over an upper-cased 8-byte window, as the
// target BASIC describes its search: the reference for the look-up.
std::pair<std::int32_t, int> first_match_by_walking(const std::string &text) {
    unsigned char window[8] = {};
    for (std::size_t i = 0; i < 8; i++) {
        window[i] = to_upper(i < text.size() ? static_cast<unsigned char>(text[i]) : 0);
        if (window[i] == 0) break;
    }
    for (const KeywordEntry &entry : KEYWORDS) {
        std::size_t length = std::strlen(entry.name);
        if (std::memcmp(window, entry.name, length) == 0)
            return {entry.token, static_cast<int>(length)};
    }
    return {0, 0};
}

std::pair<std::int32_t, int> first_match_by_look_up(const std::string &text) {
    unsigned char padded[32] = {}; // the look-up reads a word from the text's start
    std::memcpy(padded, text.data(), std::min(text.size(), sizeof padded - 1));
    int length = 0;
    std::int32_t token = match_keyword(padded, length);
    return {token, token == 0 ? 0 : length};
}

void expect_same_first_match(const std::string &text) {
    ASSERT_EQ(first_match_by_look_up(text), first_match_by_walking(text)) << text;
}

TEST(KeywordLookup, LookUpFindsTheSameFirstMatchAsWalkingTheTable) {
    for (const KeywordEntry &entry : KEYWORDS) {
        std::string name = entry.name;
        std::string lower = name;
        for (char &c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (std::size_t length = 0; length <= name.size(); length++)
            for (int next = 1; next < 256; next++) {
                expect_same_first_match(name.substr(0, length) + static_cast<char>(next) + "\n");
                expect_same_first_match(lower.substr(0, length) + static_cast<char>(next));
            }
    }
}

TEST(KeywordLookup, LookUpAgreesOnRandomWindowsOfKeywordCharacters) {
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZacdeilnoprst$(?<=>+-*/^ :\"\n";
    std::mt19937 random(20261207);
    for (int trial = 0; trial < 200000; trial++) {
        std::string text;
        int length = 1 + static_cast<int>(random() % 9);
        for (int i = 0; i < length; i++)
            text += alphabet[random() % alphabet.size()];
        expect_same_first_match(text);
    }
}

// A byte the direct table writes must be what the look-up would give, for
// every byte after it and every way a name could go on from there.
TEST(KeywordLookup, DirectBytesAreWhatTheLookUpWouldGive) {
    for (int first = 0; first < 256; first++) {
        std::vector<std::string> rests = {""};
        for (const KeywordEntry &entry : KEYWORDS)
            if (entry.name[0] == to_upper(static_cast<unsigned char>(first)) && entry.name[1] != 0)
                rests.push_back(entry.name + 2);
        for (int second = 0; second < 256; second++)
            for (const std::string &rest : rests) {
                std::string text = {static_cast<char>(first), static_cast<char>(second)};
                text += rest + "\n";
                std::uint8_t written =
                    direct_byte(reinterpret_cast<const unsigned char *>(text.data()));
                if (written == 0) continue; // left to the look-up
                std::pair<std::int32_t, int> match = first_match_by_walking(text);
                if (match.first != 0) {
                    ASSERT_EQ(match, std::make_pair(std::int32_t{written}, 1)) << text;
                } else {
                    ASSERT_EQ(written, to_upper(static_cast<unsigned char>(first))) << text;
                    ASSERT_TRUE(first != '"' && !is_line_end(static_cast<unsigned char>(first)));
                }
            }
    }
}

} // namespace
