// The lister's rules, each run through the built morvane-list: exit
// status, standard error and listing compared byte for byte.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "support.h"

namespace {

// A listing that is converted first; its image is then listed.
struct ReadBack {
    const char *name;
    std::string listing;
    std::string listed; // what morvane-list must write for the listing's image
};

std::string repeated(const std::string &text, int count) {
    std::string result;
    for (int i = 0; i < count; i++)
        result += text;
    return result;
}

const ReadBack READ_BACK[] = {
    {"PlainLinesComeBackAsWritten", "10 REM Hello\n20 PRINT \"HI\":GOTO 10\n",
     "10 REM Hello\n20 PRINT \"HI\":GOTO 10\n"},
    {"QuestionMarkListedAsPrint", "10 ?\"A\"\n", "10 PRINT\"A\"\n"},
    {"PrintThatWouldReadAsLprintKeepsQuestionMark", "10 LOCAL?\n", "10 LOCAL?\n"},
    {"KanaOutsideQuotesListedAsTheTokensItIs", "10 A=\x82\xAA\n", "10 A=CONTLOG\n"},
    {"VoicedHiraganaInQuotesJoinedKatakanaHalfWidth",
     "20 PRINT\"\x82\xAA\x83\x4B\xB6\xDE\x82\xA0\x82\xBD\"\n",
     "20 PRINT\"\x82\xAA\xB6\xDE\xB6\xDE\x82\xA0\x82\xBD\"\n"},
    {"KanjiInDataItemsAndQuotes", "10 DATA \x8E\x9E\x95\xAA,\"\x8E\x9E\":PRINT\n",
     "10 DATA \x8E\x9E\x95\xAA,\"\x8E\x9E\":PRINT\n"},
    {"KanjiWhoseSecondByteStartedAToken", "10 A$=\x91\xE5ID$(B$,1)\n", "10 A$=\x14MID$(B$,1)\n"},
    {"SymbolThatIsTheDataTokenRespelled", "10 AN\x81\x9Fx\n", "10 AN\x81\x9FX\n"},
    {"TooLongLineShortenedFromTheFront", "10 " + std::string(300, '?') + "\n",
     "10 " + std::string(121, '?') + repeated("PRINT", 179) + "\n"},
    {"EmptyBodyHasNoSpace", "10\n", "10\n"},
    {"KanjiOutsideQuotes", "10 A=\x8C\x8E\n", "10 A=\x8C\x8E\n"},
    {"LowerCaseOutsideQuotesUpperCased", "10 print a\n", "10 PRINT A\n"},
    {"SecondSpaceKept", "10  END\n", "10  END\n"},
    {"HalfWidthKanaThatIsATokenRespelledAsItself", "10 S\xC3P\n", "10 S\xC3P\n"},
    // Where the rules above leave a line too long or not reading back.
    {"SpaceLeftOutWhereTheLineNeedsTheRoom", "1" + std::string(1021, 'A') + "\n",
     "1" + std::string(1021, 'A') + "\n"},
    {"LineThatFillsTheMostWrittenWithoutLineFeed", "1" + std::string(1022, 'A') + "2 B\n",
     "1" + std::string(1022, 'A') + "2 B\n"},
    {"LineZeroWrittenWithoutNumberWhereItNeedsTheRoom", std::string(1023, 'Q') + "5 END\n",
     std::string(1023, 'Q') + "5 END\n"},
    {"NumberBelowThePreviousWrittenAboveIt", "1 A\n65536 B\n131072 C\n",
     "1 A\n65536 B\n131072 C\n"},
    {"PassedThroughBytesWrittenAsThemselvesFromTheFront", "1 \"" + std::string(511, '\xE0') + "\n",
     "1 \"" + std::string(3, '\xE0') + repeated("\x82\xBD", 508) + "\n"},
    {"ClsByteAfterLettersWrittenAsItself", "10 LO\xA0\n", "10 LO\xA0\n"},
    {"TokenBytesFromA0WrittenAsThemselvesFromTheFront", "10" + repeated("\x82\xD3", 510) + "\n",
     "10 " + std::string(341, '\xEC') + repeated("MID$", 169) + "\n"},
};

void PrintTo(const ReadBack &row, std::ostream *out) {
    *out << row.name;
}

class ReadsBack : public testing::TestWithParam<ReadBack> {};

TEST_P(ReadsBack, AsTheRulesSayAndConvertsToTheSameImage) {
    const ReadBack &row = GetParam();
    Conversion image = convert(row.listing);
    ASSERT_EQ(image.status, 0) << image.errors;
    Listing listed = list(image.image);
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.errors, "");
    EXPECT_EQ(hex(listed.listing), hex(row.listed));
    Conversion again = convert(listed.listing);
    EXPECT_EQ(hex(again.image), hex(image.image));
}

// An image given byte by byte, and what listing it must give.
struct ImageCase {
    const char *name;
    std::string image;
    std::string listed;
    std::string errors = ""; // empty for a complete listing; "IMAGE" stands for its path
    bool created = true;
};

// 0 for a lossless listing, 2 for one whose lines are named as not
// converting back, 1 for an error.
int status_of(const ImageCase &row) {
    if (row.errors.empty()) return 0;
    for (const char *named : {"Line ", "The image's name", "The listing is valid UTF-8"})
        if (row.errors.rfind(named, 0) == 0) return 2;
    return 1;
}

std::string record(const std::string &body_hex, int number = 10) {
    return from_hex("FF FF") + char(number & 0xFF) + char(number >> 8) + from_hex(body_hex) + '\0';
}

const std::string HEADER = image_header();
const std::string TRAILER = image_trailer();
const std::string END_RECORD = record("80"); // 10 END

const ImageCase IMAGES[] = {
    {"HeaderAndTrailerGiveEmptyListing", HEADER + TRAILER, ""},
    {"NameFieldMayHoldAnything", std::string(10, '\xD3') + "ABCDEF" + END_RECORD + TRAILER,
     "10 END\n", "The image's name is ABCDEF: convert the listing back with morvane --name=ABCDEF\n"},
    {"NameOfKanaAndAKanjiSpelledAsTheListingSpellsThem",
     std::string(10, '\xD3') + from_hex("B6 DE 14 31 00 00") + END_RECORD + TRAILER, "10 END\n",
     "The image's name is \xB6\xDE\x8C\x8E: convert the listing back with morvane "
     "--name=\xB6\xDE\x8C\x8E\n"},
    {"NameWhoseShiftJisReadsAsUtf8NeedsTheEncoding",
     std::string(10, '\xD3') + from_hex("C3 A8 00 00 00 00") + END_RECORD + TRAILER, "10 END\n",
     "The image's name is \xC3\xA8: convert the listing back with morvane --encoding=shift_jis "
     "--name=\xC3\xA8\n"},
    {"NameThatNoOptionGivesInHex",
     std::string(10, '\xD3') + from_hex("41 00 42 00 00 00") + END_RECORD + TRAILER, "10 END\n",
     "The image's name is 0x41 0x00 0x42 0x00 0x00 0x00: no morvane --name gives it, and the "
     "listing converts back into an image named mrv\n"},
    {"EmptyNameInHex", std::string(10, '\xD3') + std::string(6, '\0') + END_RECORD + TRAILER,
     "10 END\n",
     "The image's name is 0x00 0x00 0x00 0x00 0x00 0x00: no morvane --name gives it, and the "
     "listing converts back into an image named mrv\n"},
    {"ShiftJisListingThatReadsAsUtf8", HEADER + record("22 C3 A8 22") + TRAILER,
     "10 \"\xC3\xA8\"\n",
     "The listing is valid UTF-8, so morvane reads it as UTF-8: convert it back with morvane "
     "--encoding=shift_jis\n"},
    {"LineNumbersLowByteFirst", HEADER + record("80", 0) + record("80", 65535) + TRAILER,
     "0 END\n65535 END\n"},
    {"ByteOfTargetCode1To1FAfterEscapeIsKanji", HEADER + record("22 14 31 22") + TRAILER,
     "10 \"\x8C\x8E\"\n"},
    {"EscapeBeforeOtherByteWrittenAsItStands", HEADER + record("14 EC") + TRAILER, "10 \x14MID$\n"},
    {"ControlAndRawBytesWrittenAsTheyStand", HEADER + record("22 01 7F A0 FE FF") + TRAILER,
     "10 \"\x01\x7F\xA0\xFE\xFF\n"},
    {"BytesFAToFFAreNoTokens", HEADER + record("FA FE") + TRAILER, "10 \x82\xEA\xFE\n"},
    {"HiraganaWithSemiVoicedMarkInQuotes", HEADER + record("22 EA DF 22") + TRAILER,
     "10 \"\x82\xCF\"\n"},
    {"RemarkDecodesCharactersToTheEnd", HEADER + record("8E 20 95 3A 96") + TRAILER,
     "10 REM \x82\xA8:\x82\xA9\n"},
    {"HiraganaBeforeAMarkItCannotTake", HEADER + record("22 91 DE 22") + TRAILER,
     "10 \"\x82\xA0\xDE\"\n"},
    {"DataRespelledWhenTheDifferenceComesAfterIt", HEADER + record("83 14 3A 61") + TRAILER,
     "10 \x81\x9F\x8E\x9E"
     "a\n",
     "Line 10 does not convert back into its record at byte 3 of its body\n"},
    {"LineThatDoesNotConvertWrittenAsItStands", HEADER + record("22 90 41 22") + TRAILER,
     "10 \"\x90"
     "A\"\n",
     "Line 10 does not convert back into its record at byte 1 of its body\n"},
    {"TooLongLineWithoutTokensLeavesOutTheSpace", HEADER + record(repeated("41 ", 1020)) + TRAILER,
     "10" + std::string(1020, 'A') + "\n"},
    {"HiraganaBeforeASemiVoicedMarkItCannotTake", HEADER + record("22 91 DF 14 20 22") + TRAILER,
     "10 \"\x82\xA0\xDF\x14 \"\n"},
    {"TokensBeforeTheDifferenceStayByName", HEADER + record("95 83 14 3A 61") + TRAILER,
     "10 PRINT\x81\x9F\x8E\x9E"
     "a\n",
     "Line 10 does not convert back into its record at byte 4 of its body\n"},
    {"OutAndClsNeverRespelled", HEADER + record("90 A0 22 90 41 22") + TRAILER,
     "10 OUTCLS\"\x90"
     "A\"\n",
     "Line 10 does not convert back into its record at byte 3 of its body\n"},
    {"TooLongLineLeavesDataByName", HEADER + record("83 3A" + repeated(" 95", 300)) + TRAILER,
     "10 DATA:" + std::string(122, '?') + repeated("PRINT", 178) + "\n"},
    {"TooLongRemarkWrittenAsItStands", HEADER + record("8E" + repeated(" 91", 600)) + TRAILER,
     "10 REM" + repeated("\x82\xA0", 600) + "\n",
     "Line 10 does not convert back into its record at byte 509 of its body\n"},
    {"LongBodyDecodesPairs", HEADER + record("22 14 31" + repeated(" 41", 1100)) + TRAILER,
     "10 \"\x8C\x8E" + std::string(1100, 'A') + "\n",
     "Line 10 does not convert back into its record at byte 1020 of its body\n"},
    {"OutAndClsHaveNoSpelling", HEADER + record("90 A0") + TRAILER, "10 OUTCLS\n"},
    {"LongBodyWrittenByNameUnchecked", HEADER + record(repeated("95 ", 1100)) + TRAILER,
     "10 " + repeated("PRINT", 1100) + "\n",
     "Line 10 does not convert back into its record at byte 204 of its body\n"},
    {"EmptyFileIsNoImage", "", "", "Not a program image IMAGE\n", false},
    {"FifteenBytesAreNoImage", HEADER.substr(0, 15), "", "Not a program image IMAGE\n", false},
    {"LeadInOtherThanD3IsNoImage", "\xD2" + HEADER.substr(1) + TRAILER, "",
     "Not a program image IMAGE\n", false},
    {"HeaderAloneEndsTooEarly", HEADER, "", "Broken program image IMAGE at byte 16\n"},
    {"PartialImageOfAFailedConversionListsItsRecords", HEADER + END_RECORD + record("8F", 20),
     "10 END\n20 STOP\n", "Broken program image IMAGE at byte 28\n"},
    {"RecordWithoutTerminator", HEADER + END_RECORD + from_hex("FF FF 14 00 41"), "10 END\n",
     "Broken program image IMAGE at byte 27\n"},
    {"RecordHeadCut", HEADER + END_RECORD + from_hex("FF FF 14"), "10 END\n",
     "Broken program image IMAGE at byte 25\n"},
    {"SecondRecordStartByteWrong", HEADER + END_RECORD + from_hex("FF 00 14 00 80 00"), "10 END\n",
     "Broken program image IMAGE at byte 23\n"},
    {"NeitherRecordNorTrailer", HEADER + END_RECORD + "A", "10 END\n",
     "Broken program image IMAGE at byte 22\n"},
    {"LineFeedInBody", HEADER + END_RECORD + record("41 0A 42", 20), "10 END\n",
     "Broken program image IMAGE at byte 27\n"},
    {"CarriageReturnInBody", HEADER + record("41 0D"), "",
     "Broken program image IMAGE at byte 21\n"},
    {"EndMarkInLongBody", HEADER + END_RECORD + record(repeated("41 ", 2000) + "1A"), "10 END\n",
     "Broken program image IMAGE at byte 2026\n"},
    {"LongBodyCutByTheEndOfTheFile", HEADER + from_hex("FF FF 0A 00") + std::string(2000, 'A'), "",
     "Broken program image IMAGE at byte 2020\n"},
    {"LineFeedAfterAFlushedPartOfALongBody",
     HEADER + END_RECORD + record(repeated("41 ", 140000) + "0A"), "10 END\n",
     "Broken program image IMAGE at byte 140026\n"},
    {"TrailerWithAByteOtherThanZero", HEADER + END_RECORD + std::string(5, '\0') + "\x01",
     "10 END\n", "Broken program image IMAGE at byte 27\n"},
    {"TrailerCut", HEADER + END_RECORD + std::string(11, '\0'), "10 END\n",
     "Broken program image IMAGE at byte 33\n"},
    {"BytesAfterTheTrailer", HEADER + END_RECORD + TRAILER + "x", "10 END\n",
     "Broken program image IMAGE at byte 34\n"},
};

void PrintTo(const ImageCase &row, std::ostream *out) {
    *out << row.name;
}

class Lists : public testing::TestWithParam<ImageCase> {};

TEST_P(Lists, ToExpectedListing) {
    const ImageCase &row = GetParam();
    Listing listed = list(row.image);
    EXPECT_EQ(listed.status, status_of(row));
    EXPECT_EQ(listed.errors, row.errors);
    EXPECT_EQ(listed.created, row.created);
    EXPECT_EQ(hex(listed.listing), hex(row.listed));
}

template <typename Row> std::string name_of(const testing::TestParamInfo<Row> &info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Rules, ReadsBack, testing::ValuesIn(READ_BACK), name_of<ReadBack>);
INSTANTIATE_TEST_SUITE_P(Images, Lists, testing::ValuesIn(IMAGES), name_of<ImageCase>);

} // namespace
