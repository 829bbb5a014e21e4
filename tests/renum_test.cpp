// morvane-renum as a user runs it: the machine's order, each form of
// reference rewritten or left alone, labels, every refusal with nothing
// written; and the promise that the renumbered listing converts into the
// image of the original with only its line numbers changed.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "core/basic/keyword_table.h"
#include "core/basic/scanner.h"
#include "morvane.h"
#include "renum_mapping.h"
#include "support.h"

namespace {

using namespace std::string_literals;

struct RenumCase {
    const char *name;
    std::string listing;
    std::string output; // "" when refused: then no output may be written
    std::string errors; // "F:" starting a line stands for the listing's path
    std::vector<std::string> options = {};
};

const std::string LONG_STRING(1003, 'x');

const RenumCase CASES[] = {
    // The machine's order.
    {"SortedByNumber", "30 C\n10 A\n20 B\n", "10 A\n20 B\n30 C\n", ""},
    {"LaterLineReplaces", "10 A\n20 B\n10 C\n", "10 C\n20 B\n",
     "F:3:1: warning: line 10 replaces the line 10 written on line 1 [replaced-line]\n"},
    {"NumberAloneDeletes", "10 A\n20 B\n20 \n30\n", "10 A\n",
     "F:3:1: warning: line 20 alone deletes the line 20 written on line 2 [deleted-line]\n"
     "F:4:1: warning: line 30 alone deletes no line: no line before it has that number "
     "[deleted-line]\n"},
    // Every form of reference.
    {"EachJumpToken",
     "10 GOTO 20:GOSUB 20:RESTORE 20:RUN 20\n20 IF A THEN 10\n",
     "100 GOTO 105:GOSUB 105:RESTORE 105:RUN 105\n105 IF A THEN 100\n",
     "",
     {"--start", "100", "--step", "5"}},
    {"ListsAfterOnGotoAndGosub",
     "10 ON X GOTO 10, 20 ,30:ON Y GOSUB 30,10\n20 A\n30 B\n",
     "100 ON X GOTO 100, 200 ,300:ON Y GOSUB 300,100\n200 A\n300 B\n",
     "",
     {"--start=100", "--step=100"}},
    {"RangesAfterListLlistAndDelete",
     "10 LIST 10-30:LLIST -20:DELETE 20-\n20 A\n30 B\n",
     "100 LIST 100-300:LLIST -200:DELETE 200-\n200 A\n300 B\n",
     "",
     {"--start", "100", "--step", "100"}},
    {"LowerCaseSpacesAndNoSpace",
     "10 goto   20 : gosub20\n20 a\n",
     "100 goto   110 : gosub110\n110 a\n",
     "",
     {"--start", "100"}},
    {"KeywordInsideAName", "10 IFA>BTHEN10\n", "100 IFA>BTHEN100\n", "", {"--start", "100"}},
    {"NeverInStringsDataOrRemarks",
     "10 PRINT \"GOTO 10\":DATA GOTO 10,\"X:GOTO 10\":GOTO 10\n20 REM GOTO 10\n",
     "100 PRINT \"GOTO 10\":DATA GOTO 10,\"X:GOTO 10\":GOTO 100\n110 REM GOTO 10\n",
     "",
     {"--start", "100"}},
    {"MissingTargetStays",
     "10 GOTO 15\n",
     "100 GOTO 15\n",
     "F:1:9: warning: line 15 does not exist; no line has that number [missing-target]\n",
     {"--start", "100"}},
    {"MissingTargetANewNumberWouldTakeIsRefused",
     "190 IF X>30 THEN GOTO 250\n200 GOSUB 500\n500 RETURN\n",
     "",
     "F:1:23: error: line 250 does not exist, and the new numbers give its number to line 500, "
     "so the reference would lead there; add line 250, correct the reference, or choose another "
     "--start or --step [retargeted-reference]\n",
     {"--start", "150", "--step", "50"}},
    {"MissingTargetAnUnnumberedLineWouldTakeIsRefused",
     "10 GOTO 30\n20 A\nB\nC\n",
     "",
     "F:1:9: error: line 30 does not exist, and the new numbers give its number to a line "
     "without a number after line 20, so the reference would lead there; add line 30, correct "
     "the reference, or choose another --start or --step [retargeted-reference]\n"},
    {"GotoZeroNamesAnUnnumberedFirstLineOnErrorGotoZeroNone",
     "PRINT \"A\"\n10 GOTO 0:ON ERROR GOTO 0\n",
     "10 PRINT \"A\"\n20 GOTO 10:ON ERROR GOTO 0\n",
     ""},
    {"OnErrorGotoZeroStaysBesideALineZero",
     "0 PRINT\n10 ON ERROR GOTO 0:GOTO 0\n",
     "100 PRINT\n110 ON ERROR GOTO 0:GOTO 100\n",
     "",
     {"--start", "100"}},
    {"LabelLongerThanMessagesHoldIsRefused",
     "@" + std::string(41, 'a') + "\nPRINT\n10 GOTO @" + std::string(41, 'a') + "\n",
     "",
     "F:1:1: error: label @" + std::string(40, 'a') +
         "... is 41 bytes long; a label takes at most 40; shorten it [long-label]\n"
         "F:3:9: error: label @" + std::string(40, 'a') +
         "... is 41 bytes long; a label takes at most 40; shorten it [long-label]\n"},
    {"EveryOperatorStartsAComputedTarget",
     "10 RESTORE 5-X:RUN 2/X:GOTO 2^X\n",
     "10 RESTORE 5-X:RUN 2/X:GOTO 2^X\n",
     "F:1:12: warning: the line this jumps to is computed, which renumbering cannot follow; "
     "check it by hand [computed-target]\n"
     "F:1:20: warning: the line this jumps to is computed, which renumbering cannot follow; "
     "check it by hand [computed-target]\n"
     "F:1:29: warning: the line this jumps to is computed, which renumbering cannot follow; "
     "check it by hand [computed-target]\n"},
    {"MissingTargetALineWithoutANumberAtTheStartWouldTake",
     "A\n20 GOTO 10\n",
     "",
     "F:2:9: error: line 10 does not exist, and the new numbers give its number to a line "
     "without a number at the listing's start, so the reference would lead there; add line 10, "
     "correct the reference, or choose another --start or --step [retargeted-reference]\n"},
    {"RunOfNumbersAbove65535NamedOnce",
     "70000 A\n70001 B\n70002 C\n",
     "",
     "F:1:1: error: line number 70000 is above 65,535, which the machine's line editor does not "
     "take, and so are the numbers of the 2 lines after it; give them lower numbers "
     "[line-number-range]\n"},
    {"NewNumbersAbove65535InARunWithoutNumbers",
     "A\nB\n10 C\n",
     "",
     "F:3:1: error: the new number 65536 is above 65,535; start lower or take a smaller step "
     "[line-number-range]\n",
     {"--start", "65530", "--step", "3"}},
    {"ComputedTargetsStay",
     "10 GOTO A*10:GOSUB 10+X:GOTO 10*X\n",
     "20 GOTO A*10:GOSUB 10+X:GOTO 10*X\n",
     "F:1:9: warning: the line this jumps to is computed, which renumbering cannot follow; check "
     "it by hand [computed-target]\n"
     "F:1:20: warning: the line this jumps to is computed, which renumbering cannot follow; "
     "check it by hand [computed-target]\n"
     "F:1:30: warning: the line this jumps to is computed, which renumbering cannot follow; "
     "check it by hand [computed-target]\n",
     {"--start", "20"}},
    {"GotoZeroTurnsErrorTrappingOff",
     "10 ON ERROR GOTO 0\n",
     "20 ON ERROR GOTO 0\n",
     "",
     {"--start", "20"}},
    // Everything else stays as it is.
    {"ShiftJisAndCrLfKept", "5 PRINT \"\x82\xA0\":GOTO 5\r\n", "10 PRINT \"\x82\xA0\":GOTO 10\r\n",
     ""},
    {"UnterminatedLastLineMovedGetsALineEnd", "20 B\r\n10 A", "10 A\r\n20 B\r\n", ""},
    {"EndMarkAndWhatFollowsKept",
     "\xEF\xBB\xBF"
     "20 B\n10 A\n\x1A\nnotes 10",
     "\xEF\xBB\xBF"
     "10 A\n20 B\n\x1A\nnotes 10",
     ""},
    {"FromKeepsTheLinesBelow",
     "10 A\n20 GOTO 30\n30 GOTO 10\n",
     "10 A\n100 GOTO 110\n110 GOTO 10\n",
     "",
     {"--from", "20", "--start", "100"}},
    // Labels and lines without numbers.
    {"LabelsAsInTheManual",
     "@start\n  CLS\n  INPUT \"GUESS\";G\n  IF G<>N THEN @start\n  PRINT \"RIGHT\"\n",
     "10 CLS\n20 INPUT \"GUESS\";G\n30 IF G<>N THEN 10\n40 PRINT \"RIGHT\"\n", ""},
    {"LabelsInListsAndRanges", "@a\nON X GOTO @a,@B\n\n  @b  \nLIST @a-@b\n",
     "10 ON X GOTO 10,20\n20 LIST 10-20\n", ""},
    {"LabelOfANumberedLine", "@x\n100 PRINT\n\tGOTO @x\n", "10 PRINT\n20 GOTO 10\n", ""},
    {"UnnumberedLinesFollowTheLineBefore", "PRINT 1\n30 PRINT 3\n PRINT 4\n20 PRINT 2\n",
     "10 PRINT 1\n20 PRINT 2\n30 PRINT 3\n40 PRINT 4\n", ""},
    {"NumberBeforeANulByteIsNoNumberAlone",
     "10\0X\n20 GOTO 10\n"s,
     "100\0X\n110 GOTO 100\n"s,
     "",
     {"--start", "100"}},
    {"FullWidthLineNumberRenumberedWhole", "10 PRINT\n\x82\x56\x82\x54 LSET A$=B$\n80 GOTO 75\n",
     "10 PRINT\n20 LSET A$=B$\n30 GOTO 20\n", ""},
    {"ThenAsItsRawByteNamesALine",
     "10 IF A\xC7"
     "20\n20 A=1\n",
     "100 IF A\xC7"
     "110\n110 A=1\n",
     "",
     {"--start", "100"}},
    {"LabelsInStringsStay", "10 PRINT \"@x\":REM @x\n", "10 PRINT \"@x\":REM @x\n", ""},
    // Refusals.
    {"CharacterOutsideTheSet", "10 A$=\"\x89\xBF\"\n", "",
     "F:1:8: error: character 価 (U+4FA1) is not in the target character set; replace it "
     "[charset]\n"},
    {"NewNumberAbove65535",
     "10 A\n20 B\n",
     "",
     "F:2:1: error: the new number 65540 is above 65,535; start lower or take a smaller step "
     "[line-number-range]\n",
     {"--start", "65530"}},
    {"NumberAbove65535", "70000 A\n", "",
     "F:1:1: error: line number 70000 is above 65,535, which the machine's line editor does not "
     "take; give it a lower number [line-number-range]\n"},
    {"LineTooLongWithItsNewNumbers",
     "10 A$=\"" + LONG_STRING.substr(0, 1003) + "\":GOTO 10\n",
     "",
     "F:1:1: error: line is 1024 bytes with its new numbers; the converter cuts it after 1,023 "
     "[long-line]\n",
     {"--start", "1000"}},
    {"LeadByteWithoutSecond", "10 A$=\x82\n", "",
     "F:1:7: error: Shift_JIS first byte 0x82 has no second byte; remove it [charset]\n"},
    {"NewNumberAbove65535AmongLinesWithoutNumbers",
     "A\nB\nC\n",
     "",
     "F:3:1: error: the new number 65540 is above 65,535; start lower or take a smaller step "
     "[line-number-range]\n",
     {"--start", "65530", "--step", "5"}},
    {"LinesWithoutNumbersStayAfterTheirNumber",
     "10 A\n B\n10 C\n D\n",
     "10 C\n20 B\n30 D\n",
     "F:3:1: warning: line 10 replaces the line 10 written on line 1 [replaced-line]\n",
     {"--"}},
    {"NumberAbove65535BeforeALowerOne", "70000 A\n10 B\n", "",
     "F:1:1: error: line number 70000 is above 65,535, which the machine's line editor does not "
     "take; give it a lower number [line-number-range]\n"},
    {"LabelOfALineDeletedLater", "@a\n10 A\n10\nGOTO @a\n", "",
     "F:1:1: error: label @a names no line: a later line deletes the line after it "
     "[label-without-line]\nF:3:1: warning: line 10 alone deletes the line 10 written on line 2 "
     "[deleted-line]\n"},
    {"LineTheConverterCutsTwice", "10 REM" + std::string(2100, 'x') + "\n", "",
     "F:1:1: error: line is 2106 bytes; the converter cuts it after 1,023 and reads the rest as a "
     "line of its own; shorten it [long-line]\n"},
    {"TargetAbove65535Stays", "10 GOTO 70000\n", "10 GOTO 70000\n",
     "F:1:9: warning: line 70000 does not exist; no line has that number [missing-target]\n"},
    {"FirstLineWithoutANumberOverTheTop",
     "10 A\nB\nC\n",
     "",
     "F:2:1: error: the new number 65536 is above 65,535; start lower or take a smaller step "
     "[line-number-range]\n",
     {"--start", "65535", "--step", "1"}},
    {"LastLineWithoutLineFeedStaysLast", "10 A\n20 B", "10 A\n20 B", ""},
    {"LineTheConverterCuts", "10 GOTO " + std::string(1020, '0') + "30:GOTO 30\n30 END\n", "",
     "F:1:1: error: line is 1038 bytes; the converter cuts it after 1,023 and reads the rest as a "
     "line of its own; shorten it [long-line]\n"},
    {"NumbersAbove65535NamedOnceARun", "70000 A\n70001 B\n", "",
     "F:1:1: error: line number 70000 is above 65,535, which the machine's line editor does not "
     "take, and so are the numbers of the 1 line after it; give them lower numbers "
     "[line-number-range]\n"},
    {"UnknownLabel", "GOTO @nowhere\n", "",
     "F:1:6: error: label @nowhere is not defined; no line is labelled so [unknown-label]\n"},
    {"DuplicateLabel", "@a\nA\n@A\nB\n", "",
     "F:3:1: error: label @A is defined again; it is first defined on line 1 "
     "[duplicate-label]\n"},
    {"LabelDefinedThreeTimesIsNamedByItsFirst", "@a\nPRINT 1\n@a\nPRINT 2\n@a\nPRINT 3\nGOTO @a\n", "",
     "F:3:1: error: label @a is defined again; it is first defined on line 1 [duplicate-label]\n"
     "F:5:1: error: label @a is defined again; it is first defined on line 1 [duplicate-label]\n"},
    {"LabelWithoutLine", "A\n@end\n", "",
     "F:2:1: error: label @end names no line: no line follows it [label-without-line]\n"},
    {"StartNotAboveTheLinesKept",
     "10 A\n20 B\n",
     "",
     "F:2:1: error: the new number 5 is not above 10, the last line that keeps its number; start "
     "higher [line-order]\n",
     {"--from", "20", "--start", "5"}},
    {"UnnumberedLineBelowFrom",
     "10 A\n B\n20 C\n",
     "",
     "F:2:1: error: this line has no number but stands before line 20, which keeps its number as "
     "it is below 30; number it, or renumber from a lower line [unnumbered-line-kept]\n",
     {"--from", "30"}},
    {"ImageGivenAsListing", std::string(10, '\xD3') + "mrv", "",
     "F:1:1: error: this is a program image, not a listing; list it with morvane-list first "
     "[image]\n"},
};

void PrintTo(const RenumCase &row, std::ostream *out) {
    *out << row.name;
}

class Renumbers : public testing::TestWithParam<RenumCase> {};

TEST_P(Renumbers, AsTheMachineWould) {
    const RenumCase &row = GetParam();
    TempDir dir;
    std::string input = dir.path("in.bas"), output = dir.path("out.bas");
    write_file(input, row.listing);
    std::vector<std::string> arguments = row.options;
    arguments.insert(arguments.end(), {input, output});
    RunResult run = run_program(MORVANE_RENUM_BINARY, arguments);
    EXPECT_EQ(run.errors, with_path(row.errors, input));
    EXPECT_EQ(run.output, "");
    bool refused = row.output.empty();
    EXPECT_EQ(run.status, refused ? 1 : 0);
    EXPECT_EQ(file_exists(output), !refused);
    if (!refused) {
        EXPECT_EQ(read_file(output), row.output);
    }
}

INSTANTIATE_TEST_SUITE_P(Listings, Renumbers, testing::ValuesIn(CASES),
                         [](const testing::TestParamInfo<RenumCase> &info) {
                             return std::string(info.param.name);
                         });

TEST(RenumUsage, StatusTwoWithAMessageOneWhenUnreadable) {
    const std::string usage =
        "usage: morvane-renum [--encoding=NAME] [--start N] [--step N] [--from N] LISTING OUTPUT\n";
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string errors;
    } cases[] = {
        {{}, 2, usage},
        {{"a.bas"}, 2, usage},
        {{"a", "b", "c"}, 2, "morvane-renum: one file too many: c\n" + usage},
        {{"--step", "0", "a", "b"},
         2,
         "morvane-renum: --step takes a number from 1 to 65535, not '0'\n" + usage},
        {{"--start=65536", "a", "b"},
         2,
         "morvane-renum: --start takes a number from 0 to 65535, not '65536'\n" + usage},
        {{"--from", "1x", "a", "b"},
         2,
         "morvane-renum: --from takes a number from 0 to 65535, not '1x'\n" + usage},
        {{"a", "b", "--step"}, 2, "morvane-renum: a number must follow --step\n" + usage},
        {{"--steps", "a", "b"}, 2, "morvane-renum: unknown option --steps\n" + usage},
        {{"--from", "+1", "a", "b"},
         2,
         "morvane-renum: --from takes a number from 0 to 65535, not '+1'\n" + usage},
        {{"--start=", "a", "b"},
         2,
         "morvane-renum: --start takes a number from 0 to 65535, not ''\n" + usage},
        {{"--step", "9999999999", "a", "b"},
         2,
         "morvane-renum: --step takes a number from 1 to 65535, not '9999999999'\n" + usage},
        {{"/nonexistent/a.bas", "b"}, 1, "morvane-renum: can't read /nonexistent/a.bas\n"},
        {{"a", "b", "--encoding"},
         2,
         "morvane-renum: --encoding needs a name: utf-8 or shift_jis\n"},
        {{"--encoding", "euc-jp", "a", "b"},
         2,
         "morvane-renum: unknown encoding 'euc-jp': use utf-8 or shift_jis\n"},
    };
    for (const auto &c : cases) {
        RunResult run = run_program(MORVANE_RENUM_BINARY, c.arguments);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.errors, c.errors);
    }
}

// A refusal leaves an existing output as it was; renumbering in place, from
// standard input to standard output and into a file without room behave.
TEST(RenumFiles, RefusalLeavesTheOutputAndInPlaceWorks) {
    TempDir dir;
    std::string listing = dir.path("prog.bas"), output = dir.path("out.bas");
    write_file(output, "precious\n");
    chmod(output.c_str(), 0640);
    write_file(listing, "10 GOTO @nowhere\n");
    EXPECT_EQ(run_program(MORVANE_RENUM_BINARY, {listing, output}).status, 1);
    EXPECT_EQ(read_file(output), "precious\n");

    write_file(listing, "20 GOTO 10\n10 PRINT\n");
    EXPECT_EQ(run_program(MORVANE_RENUM_BINARY, {listing, output}).status, 0);
    struct stat status {};
    stat(output.c_str(), &status);
    EXPECT_EQ(status.st_mode & 0777, 0640u) << "the old output's permissions are kept";
    EXPECT_EQ(read_file(output), "10 PRINT\n20 GOTO 10\n");
    EXPECT_EQ(run_program(MORVANE_RENUM_BINARY, {"--step", "5", listing, listing}).status, 0);
    EXPECT_EQ(read_file(listing), "10 PRINT\n15 GOTO 10\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path("")),
                            std::filesystem::directory_iterator()),
              2)
        << "no temporary file is left behind";

    RunSetup piped;
    piped.stdin_path = listing;
    RunResult run = run_program(MORVANE_RENUM_BINARY, {"-", "-"}, piped);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "10 PRINT\n20 GOTO 10\n");
    if (file_exists("/dev/full")) {
        RunResult full = run_program(MORVANE_RENUM_BINARY, {listing, "/dev/full"});
        EXPECT_EQ(full.status, 1);
        EXPECT_EQ(full.errors, "morvane-renum: can't write /dev/full: No space left on device\n");
    }
}

// --- The property: the image of the output is the image of the input with
// line numbers and references mapped, every other byte the same. ---

struct Renumbered {
    int status;
    std::string message;
    std::string listing;
};

Renumbered renumber(const std::string &listing, unsigned start, unsigned step, unsigned from) {
    unsigned char *output = nullptr;
    size_t length = 0;
    morvane_result result;
    int status =
        morvane_renumber(reinterpret_cast<const unsigned char *>(listing.data()), listing.size(),
                         "L", start, step, from, &output, &length, &result);
    Renumbered renumbered{status, result.message,
                          std::string(reinterpret_cast<char *>(output), length)};
    morvane_free(output);
    return renumbered;
}

// The image, or "" if the listing does not convert.
std::string image_of_listing(const std::string &listing) {
    unsigned char *image = nullptr;
    size_t length = 0;
    morvane_result result;
    int status = morvane_convert(reinterpret_cast<const unsigned char *>(listing.data()),
                                 listing.size(), "L", &image, &length, &result);
    std::string bytes(reinterpret_cast<char *>(image), length);
    morvane_free(image);
    return status == 0 ? bytes : "";
}

void expect_renumbered_image(const std::string &listing, unsigned start, unsigned step,
                             unsigned from, const std::string &name) {
    std::string image = image_of_listing(listing);
    ASSERT_NE(image, "") << name << " converts";
    std::string expected = renum_mapping::expected_image(image, start, step, from);
    Renumbered renumbered = renumber(listing, start, step, from);
    SCOPED_TRACE(name + " --start " + std::to_string(start) + " --step " + std::to_string(step) +
                 " --from " + std::to_string(from) + "\n" + renumbered.message);
    ASSERT_EQ(renumbered.status, expected.empty() ? 1 : 0);
    if (expected.empty()) return;
    EXPECT_EQ(hex(image_of_listing(renumbered.listing)), hex(expected));
    // Once more changes nothing, unless the new numbers fall below from
    // (they are then kept, and the rest renumbered below them again).
    if (start < from) return;
    Renumbered again = renumber(renumbered.listing, start, step, from);
    EXPECT_EQ(again.listing, renumbered.listing) << "renumbering twice changes nothing";
}

using NamedListings = std::vector<std::pair<std::string, std::string>>;

// The shared corpus's listings that convert; none where it is not beside the project.
NamedListings corpus_listings_that_convert() {
    NamedListings listings;
    std::string corpus = source_path("../shared/corpus");
    if (file_exists(corpus))
        for (const auto &entry : std::filesystem::recursive_directory_iterator(corpus)) {
            if (entry.path().extension() != ".bas") continue;
            std::string listing = read_file(entry.path());
            if (!image_of_listing(listing).empty())
                listings.emplace_back(entry.path().filename().string(), listing);
        }
    return listings;
}

std::string generated_listing(std::mt19937 &random);

// The project's own: the examples and programs full of jumps.
NamedListings project_listings() {
    NamedListings listings;
    for (const char *name : {"hello", "guess", "nihongo"})
        listings.emplace_back(name, read_file(source_path("examples/") + name + ".bas"));
    std::mt19937 random(24);
    for (int i = 0; i < 40; i++) {
        std::string listing = generated_listing(random);
        listings.emplace_back(listing, listing);
    }
    return listings;
}

const unsigned OPTIONS[][3] = {{10, 10, 0},    {1, 1, 0},      {1000, 7, 0},
                               {60000, 10, 0}, {5000, 3, 100}, {100, 10, 1000}};

void expect_mapped_images(const NamedListings &listings) {
    for (const auto &[name, listing] : listings)
        for (const auto &options : OPTIONS)
            expect_renumbered_image(listing, options[0], options[1], options[2], name);
}

TEST(RenumProperty, CorpusImageIsTheOriginalsWithNumbersMapped) {
    auto listings = corpus_listings_that_convert();
    if (listings.empty()) GTEST_SKIP() << "no ../shared/corpus beside the project";
    EXPECT_GT(listings.size(), 10u);
    expect_mapped_images(listings);
}

TEST(RenumProperty, ProjectListingsImageIsTheOriginalsWithNumbersMapped) {
    expect_mapped_images(project_listings());
}

// Listings full of jumps in every form, with gaps, missing targets and lines to delete.
std::string generated_listing(std::mt19937 &random) {
    std::vector<unsigned> numbers;
    for (unsigned number = random() % 5, count = 3 + random() % 12; count > 0; count--)
        numbers.push_back(number += 2 + random() % 40);
    auto target = [&] {
        return std::to_string(random() % 8 == 0 ? 7777 : numbers[random() % numbers.size()]);
    };
    const char *forms[] = {
        "GOTO #",        "gosub #",  "ON X GOTO #, #,#", "IF A THEN #", "RESTORE #",
        "RUN #",         "LIST #-#", "DELETE -#",        "LLIST #",     "PRINT\"GOTO #\"",
        "DATA #,GOTO #", "GOTO A*#", "GOSUB # + 1",      "X=#",         "IFX>#THEN#",
        "REM GOTO #"};
    std::string listing;
    for (unsigned number : numbers) {
        listing += std::to_string(number) + (random() % 5 == 0 ? "  " : " ");
        for (unsigned statement = 1 + random() % 3; statement > 0; statement--) {
            std::string form = forms[random() % std::size(forms)];
            for (std::size_t hash; (hash = form.find('#')) != std::string::npos;)
                form.replace(hash, 1, target());
            listing += form + (statement > 1 ? ":" : "");
        }
        listing += random() % 4 == 0 ? "\r\n" : "\n";
        if (random() % 10 == 0) listing += std::to_string(number + 1) + "\n";
    }
    return listing;
}

TEST(RenumProperty, GeneratedImageIsTheOriginalsWithNumbersMapped) {
    std::mt19937 random(19);
    for (int i = 0; i < 300; i++) {
        std::string listing = generated_listing(random);
        const unsigned *options = OPTIONS[random() % std::size(OPTIONS)];
        expect_renumbered_image(listing, options[0], options[1], options[2], listing);
    }
}

// Listings of arbitrary pieces, labels and all: a refusal writes nothing and
// names an error; a renumbered listing converts, and renumbering it again
// changes nothing.
TEST(RenumProperty, ArbitraryPiecesRenumberIntoListingsThatConvertOrAreRefused) {
    static const char *const PIECES[] = {
        "10 ",      "20 ",    "5",     " ",        "\n",    "\r\n", "\r",       "PRINT",
        "GOTO ",    "GOSUB ", "THEN ", "LIST 1-",  "@a",    "@b",   "GOTO @a",  "ON X GOTO 5,",
        "GOTO A*2", "\"",     ":",     "DATA ",    "REM ",  "\xC7", "\x82\xA0", "\x89\xBF",
        "70000 ",   "\t",     "\x1A",  "\x82\x50", "GOTO 0"};
    std::mt19937 random(25);
    for (int i = 0; i < 1500; i++) {
        std::string listing;
        for (unsigned piece = random() % 25; piece > 0; piece--)
            listing += PIECES[random() % std::size(PIECES)];
        Renumbered first = renumber(listing, 100, 10, 0);
        SCOPED_TRACE(hex(listing));
        ASSERT_TRUE(first.status == 0 || first.status == 1);
        if (first.status == 1) {
            EXPECT_EQ(first.listing, "");
            EXPECT_TRUE(first.message.find(": error: ") != std::string::npos ||
                        first.message.size() == 511)
                << first.message;
            continue;
        }
        EXPECT_NE(image_of_listing(first.listing), "") << first.listing;
        EXPECT_EQ(renumber(first.listing, 100, 10, 0).listing, first.listing);
    }
}

// --- Labels: a corpus program written with labels and without numbers
// renumbers into what the numbered original renumbers into. ---

// The line numbers the statements name, as the scanner reads them.
std::vector<morvane::Item> references_of(const std::string &statements) {
    std::vector<unsigned char> text(statements.begin(), statements.end());
    text.resize(text.size() + 32, 0);
    std::vector<morvane::Item> references;
    morvane::LineScan scan;
    morvane::start_line_scan(scan, text.data());
    for (morvane::Item item; morvane::scan_item(scan, item);)
        if (item.kind == morvane::ItemKind::REFERENCE) references.push_back(item);
    return references;
}

// The listing with its numbers replaced by labels where a line is named,
// and dropped, with an indentation instead, where the line allows it.
std::string written_with_labels(const std::string &listing, std::mt19937 &random) {
    struct Line {
        std::string number, statements, end;
    };
    std::vector<Line> lines;
    std::map<std::string, bool> numbers;
    for (std::size_t at = 0; at < listing.size();) {
        std::size_t feed = listing.find('\n', at);
        std::string text =
            listing.substr(at, feed == std::string::npos ? std::string::npos : feed - at);
        at = feed == std::string::npos ? listing.size() : feed + 1;
        Line line{"", text, feed == std::string::npos ? "" : "\n"};
        if (!text.empty() && text.back() == '\r') {
            line.statements.pop_back();
            line.end = "\r" + line.end;
        }
        std::size_t digits = line.statements.find_first_not_of("0123456789");
        line.number = line.statements.substr(0, digits);
        line.statements.erase(0, line.number.size());
        numbers[std::to_string(std::stoul("0" + line.number))] = true;
        lines.push_back(line);
    }
    std::map<std::string, bool> named;
    std::string labelled;
    for (Line &line : lines) {
        auto references = references_of(line.statements);
        for (auto reference = references.rbegin(); reference != references.rend(); ++reference) {
            std::string number = std::to_string(reference->value);
            if (!numbers.count(number)) continue;
            line.statements.replace(reference->start, reference->end - reference->start,
                                    "@L" + number);
            named[number] = true;
        }
    }
    for (const Line &line : lines) {
        if (named.count(std::to_string(std::stoul("0" + line.number))))
            labelled += std::string(random() % 3, ' ') + "@l" +
                        std::to_string(std::stoul(line.number)) + line.end;
        bool droppable = line.statements.size() > 1 && line.statements[0] == ' ' &&
                         line.statements.find_first_of(" \t", 1) != 1;
        labelled += droppable ? std::string(random() % 4, ' ') + line.statements.substr(1)
                              : line.number + line.statements;
        labelled += line.end + (random() % 10 == 0 ? line.end : "");
    }
    return labelled;
}

void expect_labels_renumber_like_numbers(const NamedListings &listings, int at_least) {
    std::mt19937 random(4);
    int compared = 0;
    for (const auto &[name, listing] : listings) {
        if (listing.find_first_of(std::string("\x80\x1A", 2)) != std::string::npos ||
            std::any_of(listing.begin(), listing.end(), [](char c) { return c < 0; }))
            continue; // plain ASCII, where a line's bytes are the text the converter reads
        Renumbered numbered = renumber(listing, 10, 10, 0);
        Renumbered labelled = renumber(written_with_labels(listing, random), 10, 10, 0);
        EXPECT_EQ(labelled.status, numbered.status) << name << "\n" << labelled.message;
        EXPECT_EQ(labelled.listing, numbered.listing) << name;
        compared++;
    }
    EXPECT_GT(compared, at_least);
}

TEST(RenumProperty, LabelsRenumberLikeTheNumberedOriginal) {
    auto listings = corpus_listings_that_convert();
    if (listings.empty()) GTEST_SKIP() << "no ../shared/corpus beside the project";
    expect_labels_renumber_like_numbers(listings, 10);
}

TEST(RenumProperty, LabelsRenumberLikeTheNumberedProjectListing) {
    expect_labels_renumber_like_numbers(project_listings(), 30);
}

// The library hands back what the program writes and prints.
TEST(RenumProperty, LibraryGivesWhatTheProgramGives) {
    TempDir dir;
    for (const RenumCase &row : CASES) {
        if (!row.options.empty()) continue;
        std::string input = dir.path("in.bas"), output = dir.path("out.bas");
        std::remove(output.c_str());
        write_file(input, row.listing);
        RunResult run = run_program(MORVANE_RENUM_BINARY, {input, output});
        Renumbered library = renumber(row.listing, 10, 10, 0);
        EXPECT_EQ(library.status, run.status) << row.name;
        EXPECT_EQ(library.message + (library.message.empty() ? "" : "\n"),
                  with_path(row.errors, "L").substr(0, 511) + (row.errors.size() > 511 ? "\n" : ""))
            << row.name;
        EXPECT_EQ(library.listing, file_exists(output) ? read_file(output) : "") << row.name;
    }
    EXPECT_EQ(renumber("10 A\n", 10, 0, 0).message, "step takes a number from 1 to 65535, not 0");
}

} // namespace
