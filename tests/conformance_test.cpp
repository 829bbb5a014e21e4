// The converter's examples, each run through the built program: exit status,
// standard error and image compared byte for byte, and the listing left as it was.
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "support.h"

namespace {

struct Example {
    const char *name; // what the case shows
    std::string listing;
    std::vector<std::string> records; // expected records in hex
    std::string error = "";           // expected standard error; empty for a complete conversion
};

// A one-line listing "10 <body>\n" and the record it must give.
Example line_10(const char *name, const std::string &body, const std::string &body_hex) {
    return {name, "10 " + body + "\n", {"FF FF 0A 00 " + body_hex}};
}

// count copies of one byte in hex.
std::string repeated(const std::string &byte_hex, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; i++)
        text += " " + byte_hex;
    return text;
}

const std::string LONG_REMARK = "1 REM " + std::string(300, 'Q') + "\n";
const std::string LONG_REMARK_RECORD = "FF FF 01 00 8E 20" + repeated("51", 300) + " 00";

// Gives exactly 1,023 bytes: the most a line can hold.
std::string line_of_1023(const std::string &start, char fill, const std::string &end) {
    return start + std::string(1023 - start.size() - end.size(), fill) + end;
}

const std::string USAGE = "morvane version 0.5 : usage\n  morvane infile outfile\n";
const std::string COMMAND_LINE_LISTING = "10 END\n";

TEST(Arguments, AnythingButTwoPrintsUsageAndTouchesNothing) {
    TempDir dir;
    const std::vector<std::vector<std::string>> argument_lists = {
        {},
        {dir.path("a")},
        {dir.path("a"), dir.path("b"), dir.path("c")},
    };
    for (const auto &arguments : argument_lists) {
        RunResult run = run_morvane(arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.errors, USAGE);
        EXPECT_EQ(run.output, "");
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path("")));
}

struct OpenFailure {
    const char *name;
    std::string listing;
    std::string image;
    std::string message;
};

TEST(OpenFailures, ReportThePathAndCreateNoImage) {
    TempDir dir;
    write_file(dir.path("listing.bas"), COMMAND_LINE_LISTING);
    std::filesystem::create_directory(dir.path("folder"));
    const OpenFailure failures[] = {
        {"MissingListing", dir.path("missing.bas"), dir.path("image.bin"),
         "Can't open input file " + dir.path("missing.bas") + "\n"},
        {"DirectoryAsListing", dir.path("folder"), dir.path("image.bin"),
         "Can't open input file " + dir.path("folder") + "\n"},
        {"ImageInMissingDirectory", dir.path("listing.bas"), dir.path("nowhere/image.bin"),
         "Can't open output file " + dir.path("nowhere/image.bin") + "\n"},
        {"DirectoryAsImage", dir.path("listing.bas"), dir.path("folder"),
         "Can't open output file " + dir.path("folder") + "\n"},
    };
    for (const OpenFailure &failure : failures) {
        RunResult run = run_morvane({failure.listing, failure.image});
        EXPECT_EQ(run.status, 1) << failure.name;
        EXPECT_EQ(run.errors, failure.message) << failure.name;
        EXPECT_FALSE(file_exists(dir.path("image.bin"))) << failure.name;
    }
    EXPECT_EQ(read_file(dir.path("listing.bas")), COMMAND_LINE_LISTING);
}

const Example IMAGE_FORMAT[] = {
    {"EmptyListingIsHeaderAndTrailer", "", {}},
    {"EndAlone", "10 END\n", {"FF FF 0A 00 80 00"}},
    {"PrintStringThenGoto",
     "10 PRINT \"HELLO\"\n20 GOTO 10\n",
     {"FF FF 0A 00 95 20 22 48 45 4C 4C 4F 22 00", "FF FF 14 00 88 20 31 30 00"}},
    {"LineNumberStoredLowByteFirst", "300 END\n", {"FF FF 2C 01 80 00"}},
    {"OnlyLow16BitsOfLineNumberStored",
     "10 END\n65536 END\n",
     {"FF FF 0A 00 80 00", "FF FF 00 00 80 00"}},
};

const Example LINE_READER[] = {
    {"CrLfLineEndsReadAsLf", "10 END\r\n20 STOP\r\n", {"FF FF 0A 00 80 00", "FF FF 14 00 8F 00"}},
    {"CarriageReturnInsideStringDropped",
     "10 PRINT \"A\rB\"\n",
     {"FF FF 0A 00 95 20 22 41 42 22 00"}},
    {"CarriageReturnOnlyLineEndsMakeOneLine",
     "10 A=1\r20 B=2\r",
     {"FF FF 0A 00 41 D2 31 32 30 20 42 D2 32 00"}},
    {"EndOfFileMarkAtLineStartEndsListing",
     "10 END\n\x1A"
     "20 STOP\n",
     {"FF FF 0A 00 80 00"}},
    {"EndOfFileMarkInsideLineEndsListing",
     "10 PRINT\x1A"
     "ABC\n",
     {"FF FF 0A 00 95 00"}},
    {"EndOfFileMarkAloneGivesEmptyImage",
     "\x1A"
     "10 END\n",
     {}},
    {"LastLineWithoutLineFeed", "10 END\n20 STOP", {"FF FF 0A 00 80 00", "FF FF 14 00 8F 00"}},
    {"LineOf1023BytesWithLineFeedIsOneLine",
     line_of_1023("10 REM", 'x', "\n") + "20 END\n",
     {"FF FF 0A 00 8E" + repeated("78", 1016) + " 00", "FF FF 14 00 80 00"}},
    {"LineLongerThan1023BytesIsCutAndItsRestIsTheNextLine",
     line_of_1023("10 REM", 'x', "") + "20 END\n",
     {"FF FF 0A 00 8E" + repeated("78", 1017) + " 00", "FF FF 14 00 80 00"}},
    {"NulByteEndsTheLineText",
     std::string("10 A\0B\n20 END\n", 14),
     {"FF FF 0A 00 41 00", "FF FF 14 00 80 00"}},
    {"OnlyCarriageReturnsGiveEmptyImage", "\r\r", {}},
    {"ByteOrderMarkAtStartSkipped",
     "\xEF\xBB\xBF"
     "10 END\n",
     {"FF FF 0A 00 80 00"}},
    {"ByteOrderMarkAloneGivesEmptyImage", "\xEF\xBB\xBF", {}},
    {"ByteOrderMarkInsideLineIsText", "10 A\xEF\xBB\xBF\n", {"FF FF 0A 00 41 EF BB BF 00"}},
    {"ByteOrderMarkOnSecondLineIsText",
     "10 END\n\xEF\xBB\xBF"
     "20 END\n",
     {"FF FF 0A 00 80 00"},
     "Illegal line number found in 0\n"},
    {"PartOfAByteOrderMarkIsText",
     "\xEF\xBB"
     "10 END\n",
     {"FF FF 00 00 EF BB 31 30 20 80 00"}},
};

const Example LINE_NUMBERS[] = {
    {"LineZeroAccepted", "0 END\n", {"FF FF 00 00 80 00"}},
    {"EmptyFirstLineIsLineZero", "\n", {"FF FF 00 00 00"}},
    {"EmptyLineAfterALineStopsWithZero",
     "10 END\n\n",
     {"FF FF 0A 00 80 00"},
     "Illegal line number found in 0\n"},
    {"RepeatedNumberStops",
     "10 END\n10 END\n",
     {"FF FF 0A 00 80 00"},
     "Illegal line number found in 10\n"},
    {"DecreasingNumberStops",
     "20 END\n10 END\n",
     {"FF FF 14 00 80 00"},
     "Illegal line number found in 10\n"},
    {"ThirdLineRepeatingSecondKeepsFirstTwoRecords",
     "10 END\n20 END\n20 END\n",
     {"FF FF 0A 00 80 00", "FF FF 14 00 80 00"},
     "Illegal line number found in 20\n"},
    {"NoSpaceAfterNumber", "10PRINT\n", {"FF FF 0A 00 95 00"}},
    {"SecondSpaceAfterNumberKept", "10  PRINT\n", {"FF FF 0A 00 20 95 00"}},
    {"LeadingSpaceOnFirstLineIsLineZero", " 20 END\n", {"FF FF 00 00 32 30 20 80 00"}},
    {"LeadingSpaceAfterALineStops",
     "10 END\n 20 END\n",
     {"FF FF 0A 00 80 00"},
     "Illegal line number found in 0\n"},
    {"LeadingZerosAreDigits", "0010 END\n", {"FF FF 0A 00 80 00"}},
    {"NumberWrapsIn32Bits", "4294967306 END\n", {"FF FF 0A 00 80 00"}},
    {"NumberWrappingNegativeStops",
     "2147483648 END\n",
     {},
     "Illegal line number found in -2147483648\n"},
    {"NumberOnlyGivesEmptyBody", "100\n", {"FF FF 64 00 00"}},
    {"KanaIsNoDigit", "\x82\xA0\n", {"FF FF 00 00 91 00"}},
    {"KanaRightAfterNumber", "10\x82\xA0=1\n", {"FF FF 0A 00 91 D2 31 00"}},
};

const Example KEYWORDS_AND_STATEMENTS[] = {
    line_10("LowerCaseKeywordFoundStringKeepsCase", "print \"Hello\"",
            "95 20 22 48 65 6C 6C 6F 22 00"),
    line_10("LettersUpperCasedEqualsIsToken", "a$=\"x\"", "41 24 D2 22 78 22 00"),
    line_10("ComparisonOperatorsAreSeparateTokens", "IF A<>B THEN 10",
            "8A 20 41 D3 D1 42 20 C7 20 31 30 00"),
    line_10("QuestionMarkIsPrint", "? \"A\"", "95 20 22 41 22 00"),
    line_10("InputWholeNotInp", "INPUT A", "84 20 41 00"),
    line_10("InpWithParenthesis", "A=INP(1)", "41 D2 D9 28 31 29 00"),
    line_10("LocateWholeNotLoc", "LOCATE 1,2", "A1 20 31 2C 32 00"),
    line_10("LocWithParenthesis", "A=LOC(1)", "41 D2 F5 28 31 29 00"),
    line_10("TabIncludesParenthesis", "? TAB(5)", "95 20 C2 35 29 00"),
    line_10("SpcBeforeSpaceIsLetters", "? SPC (1)", "95 20 53 50 43 20 28 31 29 00"),
    line_10("DataItemsUpToColonOutsideQuotes", "DATA 1,\"A:B\",C:PRINT",
            "83 20 31 2C 22 41 3A 42 22 2C 43 3A 95 00"),
    line_10("DataItemsKeepCase", "DATA abc,def", "83 20 61 62 63 2C 64 65 66 00"),
    line_10("RemarkCopiedAsWritten", "REM print \"x\"", "8E 20 70 72 69 6E 74 20 22 78 22 00"),
    line_10("KeywordInsideName", "FORM=1", "81 4D D2 31 00"),
    line_10("ToInsideName", "TOTAL=0", "C3 54 41 4C D2 30 00"),
    line_10("RemInsideNameStartsRemark", "PREMIUM=0", "50 8E 49 55 4D 3D 30 00"),
    line_10("UnclosedStringRunsToLineEnd", "PRINT \"ABC", "95 20 22 41 42 43 00"),
    line_10("UnclosedQuoteInDataRunsToLineEnd", "DATA \"A:B", "83 20 22 41 3A 42 00"),
    line_10("SingleQuoteIsOrdinary", "' PRINT", "27 20 95 00"),
    line_10("LettersThatStartNoKeywordTogether", "AX=IZ+Fn", "41 58 D2 49 5A CA C4 00"),
    {"EmptyBody", "10\n", {"FF FF 0A 00 00"}},
    line_10("ControlPairOutsideQuotesSecondByteTokenized", "\x95\x53", "14 D2 00"),
    line_10("ControlPairInsideQuotesKept", "\"\x95\x53\"", "22 14 3D 22 00"),
    line_10("ControlPairColonEndsDataItems", "DATA \x8E\x9E\x95\xAA,\"\x8E\x9E\":PRINT",
            "83 20 14 3A 14 3B 2C 22 14 3A 22 3A 95 00"),
    line_10("ControlPairLetterStartsKeyword",
            "A$=\x91\xE5"
            "ID$(B$,1)",
            "41 24 D2 14 EC 28 42 24 2C 31 29 00"),
    line_10("SecondByteAfterE0UpperCasedOutsideQuotes",
            "X=\xE0"
            "a",
            "58 D2 E0 41 00"),
    line_10("SecondByteAfterE0KeptInsideQuotes",
            "\"\xE0"
            "a\"",
            "22 E0 61 22 00"),
};

// "10 "<char>"": the converted bytes as they stand inside a string literal.
Example quoted(const char *name, const std::string &characters, const std::string &bytes_hex) {
    return line_10(name, "\"" + characters + "\"", "22 " + bytes_hex + " 22 00");
}

const Example CHARACTERS[] = {
    quoted("Hiragana", "\x82\xA0", "91"),
    quoted("Katakana", "\x83\x41", "B1"),
    quoted("HalfWidthKatakanaCopied", "\xB1", "B1"),
    quoted("VoicedHiragana", "\x82\xAA", "96 DE"),
    quoted("VoicedKatakana", "\x83\x4B", "B6 DE"),
    quoted("SemiVoicedHiragana", "\x82\xCF", "EA DF"),
    quoted("SemiVoicedKatakana", "\x83\x70", "CA DF"),
    quoted("KatakanaVu", "\x83\x94", "B3 DE"),
    quoted("StandAloneSoundMarks", "\x81\x4A\x81\x4B", "DE DF"),
    quoted("KanjiMoon", "\x8C\x8E", "14 31"),
    quoted("KanjiHundred", "\x95\x53", "14 3D"),
    quoted("Pi", "\x83\xCE", "14 40"),
    quoted("KanjiSmall", "\x8F\xAC", "14 4F"),
    quoted("IdeographicSpace", "\x81\x40", "20"),
    quoted("FullWidthLowerCaseKeptInString", "\x82\x81", "61"),
    quoted("ShapesAndSmallKana", "\x81\xA3\x81\x9C\x82\x9F\x82\xC1", "80 85 87 8F"),
    quoted("LeadByteAfterE0StartsCharacter", "\xE0\x82\xA0", "E0 91"),
    quoted("BytesF0ToFFCopied", "\xF0\xFD\xFF", "F0 FD FF"),
    line_10("FullWidthKeywordTokenized", "\x82\x6F\x82\x71\x82\x68\x82\x6D\x82\x73", "95 00"),
    line_10("FullWidthLowerCaseUpperCasedOutsideString", "\x82\x81", "41 00"),
    line_10("FullWidthQuoteOpensString",
            "\x81\x68"
            "ab"
            "\x81\x68",
            "22 61 62 22 00"),
    line_10("KanaOutsideStringIsOneByte", "\x83\x41=1", "B1 D2 31 00"),
    {"FullWidthLineNumberAndSpace",
     "\x82\x50\x82\x4F\x81\x40\x82\x6F\x82\x71\x82\x68\x82\x6D\x82\x73\n",
     {"FF FF 0A 00 95 00"}},
    {"UnknownKanjiOnFirstLineStopsWithZero",
     "10 \x8A\xBF\n",
     {},
     "Illegal character found in next of 0\n"},
    {"UnknownKanjiReportsPreviousLine",
     "10 END\n20 \x8A\xBF\n",
     {"FF FF 0A 00 80 00"},
     "Illegal character found in next of 10\n"},
    {"LeadByteBeforeLineFeedIsIllegal", "10 A\x82\n", {}, "Illegal character found in next of 0\n"},
    {"LeadByteAtEndOfLastLineIsIllegal",
     "10 END\n20 A\x82",
     {"FF FF 0A 00 80 00"},
     "Illegal character found in next of 10\n"},
    {"LeadByteWhereLongLineIsCutIsIllegal",
     line_of_1023("10 REM", 'x', "\x82") + "\x40\n",
     {},
     "Illegal character found in next of 0\n"},
    {"EmptyCodeTablePositionIsNeverProduced",
     "10 \x81\x4D\n",
     {},
     "Illegal character found in next of 0\n"},
};

// A line without a line feed ends at its 0x00 in every loop; the longer line
// before it leaves bytes in the buffer that must not reach the image.
const Example LINES_WITHOUT_LINE_FEED[] = {
    {"MainLoop", LONG_REMARK + "20 A", {LONG_REMARK_RECORD, "FF FF 14 00 41 00"}},
    {"DataItems",
     LONG_REMARK + "20 DATA 1,2",
     {LONG_REMARK_RECORD, "FF FF 14 00 83 20 31 2C 32 00"}},
    {"Remark", LONG_REMARK + "20 REM hi", {LONG_REMARK_RECORD, "FF FF 14 00 8E 20 68 69 00"}},
    {"StringLiteral",
     LONG_REMARK + "20 PRINT \"AB",
     {LONG_REMARK_RECORD, "FF FF 14 00 95 20 22 41 42 00"}},
    {"NulInsideDataItems", std::string("20 DATA 1\0:PRINT\n", 17), {"FF FF 14 00 83 20 31 00"}},
    {"NulInsideRemark", std::string("20 REM a\0b\n", 11), {"FF FF 14 00 8E 20 61 00"}},
    {"NulInsideString", std::string("20 ?\"a\0b\"\n", 10), {"FF FF 14 00 95 22 61 00"}},
};

void PrintTo(const Example &example, std::ostream *out) {
    *out << example.name;
}

void expect_conversion(const Example &example) {
    Conversion result = convert(example.listing);
    if (example.error.empty()) {
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.errors, "");
        EXPECT_EQ(hex(result.image), hex(image_of(example.records)));
    } else {
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.errors, example.error);
        EXPECT_EQ(hex(result.image), hex(partial_image_of(example.records)));
    }
    EXPECT_EQ(result.listing, example.listing);
}

class Converts : public testing::TestWithParam<Example> {};

TEST_P(Converts, ToExpectedImage) {
    expect_conversion(GetParam());
}

std::string name_of(const testing::TestParamInfo<Example> &info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(ImageFormat, Converts, testing::ValuesIn(IMAGE_FORMAT), name_of);
INSTANTIATE_TEST_SUITE_P(LineReader, Converts, testing::ValuesIn(LINE_READER), name_of);
INSTANTIATE_TEST_SUITE_P(LineNumbers, Converts, testing::ValuesIn(LINE_NUMBERS), name_of);
INSTANTIATE_TEST_SUITE_P(Statements, Converts, testing::ValuesIn(KEYWORDS_AND_STATEMENTS), name_of);

INSTANTIATE_TEST_SUITE_P(Characters, Converts, testing::ValuesIn(CHARACTERS), name_of);
INSTANTIATE_TEST_SUITE_P(LineWithoutLineFeed, Converts, testing::ValuesIn(LINES_WITHOUT_LINE_FEED),
                         name_of);

} // namespace
