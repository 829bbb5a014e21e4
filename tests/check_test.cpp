// morvane-check as a user runs it: each finding at its line and column,
// the statuses, and the promise that it names an error exactly where
// morvane fails.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/findings/findings.h"
#include "morvane.h"
#include "support.h"

namespace {

struct CheckCase {
    const char *name;
    std::string listing;
    std::string printed; // "F:" starting a line stands for the listing's path
    std::vector<std::string> options = {};
};

const CheckCase CASES[] = {
    {"CleanListing", "10 PRINT \"HI\"\n20 GOTO 10\n", ""},
    {"CompactCodeIsNoKeywordInName", "10 FORI=1TO10:IFX>YTHENPRINTI\n20 NEXT\n", ""},
    {"LineOrder", "10 END\n30 END\n20 END\n",
     "F:3:1: error: line number 20 is not above 30 on line 2 [line-order]\n"},
    {"EmptyLine", "10 END\n\n20 END\n",
     "F:2:1: error: empty line: the converter reads it as line 0, not above 10; remove it "
     "[empty-line]\n"},
    {"IndentedLine", "10 END\n  20 END\n",
     "F:2:3: error: the line number stands after spaces or tabs, where the converter does not "
     "read it: it reads the line as line 0, not above 10; remove what stands before the number "
     "[no-line-number]\n"},
    {"IndentedFirstLine", "\t20 PRINT 1\n",
     "F:1:2: warning: the line number stands after spaces or tabs, where the converter does not "
     "read it: the first line is stored as line 0; remove what stands before the number "
     "[unnumbered-first-line]\n"},
    {"LineStartingWithASpaceAndNoNumber", "10 END\n PRINT\n",
     "F:2:1: error: line does not start with a line number: the converter reads it as line 0, "
     "not above 10; number it or join it to the line before [no-line-number]\n"},
    {"TabOrControlByteAfterTheNumber", "20\tC=P-A\n30\x0b\n40  PRINT\n50PRINT\n",
     "F:1:3: warning: a tab directly after the line number is stored as the line's first "
     "character: only a space there separates the number; put a space there [byte-after-number]\n"
     "F:2:3: warning: byte 0x0B directly after the line number is stored as the line's first "
     "character: only a space there separates the number; put a space there [byte-after-number]\n"},
    {"TargetOutOfOrderIsLeftToTheLineOrderError", "10 GOTO 20\n30 PRINT\n20 PRINT\n",
     "F:3:1: error: line number 20 is not above 30 on line 2 [line-order]\n"},
    {"CharacterOutsideTheSetAtItsColumn", "10 A$=\"\x82\xA0\x89\xBF\"\n",
     "F:1:9: error: character 価 (U+4FA1) is not in the target character set; replace it [charset]\n"},
    {"LeadByteWithoutSecond", "10 A$=\x82\n",
     "F:1:7: error: Shift_JIS first byte 0x82 has no second byte; remove it [charset]\n"},
    {"UnnumberedFirstLine", "PRINT\n10 END\n",
     "F:1:1: warning: the first line has no line number and is stored as line 0; give it a number "
     "[unnumbered-first-line]\n"},
    {"NumberAbove65535", "70000 END\n",
     "F:1:1: warning: line number 70000 is above 65,535 and is stored as 4464 "
     "[line-number-range]\n"},
    {"LongLine", "10 REM " + std::string(1100, 'x') + "\n",
     "F:1:1024: warning: line is 1107 bytes; the converter cuts it after 1,023 and reads the rest "
     "as line 0 [long-line]\nF:1:1024: error: line does not start with a line number: the "
     "converter "
     "reads it as line 0, not above 10; number it or join it to the line before "
     "[no-line-number]\n"},
    {"LoneCarriageReturnsOnceAtTheFirst", "10 END\r20 END\r",
     "F:1:7: warning: 2 carriage returns without a line feed, which the converter drops: a file "
     "with CR line ends reads as one line [lone-cr]\n"},
    {"EndMarkWithLinesAfter", "10 END\n\x1A\n20 X\n",
     "F:2:1: warning: the end mark 0x1A has 2 lines after it, which the converter never reads "
     "[end-mark]\n"},
    {"EndMarkAsLastByteIsNoFinding", "10 END\n\x1A", ""},
    {"NulByte", std::string("10 A\0B\n", 7),
     "F:1:5: warning: a NUL byte ends the line's text; what follows it on the line is not "
     "converted [nul-byte]\n"},
    {"PassedThroughCharacter", "10 A$=\"\xE0\x40\"\n",
     "F:1:8: warning: character 漾 (U+6F3E) is not in the target character set; the converter copies "
     "its two bytes, which the machine shows as two other characters [passthrough]\n"},
    {"KeywordInLongNameShowsItsFirst40Letters",
     "10 XSCOREXSCOREXSCOREXSCOREXSCOREXSCOREXSCOREXSCORE=1\n",
     "F:1:4: warning: XSCOREXSCOREXSCOREXSCOREXSCOREXSCOREXSCO is read as X S C OR E X S C OR E X S "
     "C OR E X S C OR E X S C OR E X S C OR E X S C O: a keyword stands inside the name; rename "
     "it or put spaces around the keyword [keyword-in-name]\n"},
    {"KeywordInName", "10 SCORE=0\n",
     "F:1:4: warning: SCORE is read as S C OR E: a keyword stands inside the name; rename it or "
     "put spaces around the keyword [keyword-in-name]\n"},
    {"LinesAfterTheEndMarkEndedByLoneCarriageReturns", "10 A\n\x1A\r\nX\rY\n",
     "F:2:1: warning: the end mark 0x1A has 3 lines after it, which the converter never reads "
     "[end-mark]\n"},
    // Written with labels: checked as the renumbering reads it.
    {"LabelsNeedNoNumbersButMustBeRenumbered", "@start\n  CLS\n  IF G<>N THEN @start\n",
     "F:1:1: warning: this listing is written with labels, which morvane-renum reads and morvane "
     "does not; renumber it before converting it [labels]\n"},
    {"LabelErrorsWhereTheyStand", "10 GOTO @finish\n@start\nA\n@start\n\tB=SCORE\n",
     "F:1:9: warning: this listing is written with labels, which morvane-renum reads and morvane "
     "does not; renumber it before converting it [labels]\n"
     "F:1:9: error: label @finish is not defined; no line is labelled so [unknown-label]\n"
     "F:4:1: error: label @start is defined again; it is first defined on line 2 "
     "[duplicate-label]\n"
     "F:5:4: warning: SCORE is read as S C OR E: a keyword stands inside the name; rename it or "
     "put spaces around the keyword [keyword-in-name]\n"},
    {"ProgramImageIsNoListing",
     std::string(10, '\xD3') + std::string("mrv\0\0\0\xFF\xFF\x0A\0\x91\0\0", 13),
     "F:1:1: error: this is a program image, not a listing; list it with morvane-list first "
     "[image]\n"},
    // REM and DATA swallow what follows them, after however many letters.
    {"RemInsideANameAfterOneLetter", "10 PREMIUM=5:PRINT \"HI\"\n30 XREM=1\n",
     "F:1:4: warning: PREMIUM is read as P REM, and the rest of the line is a remark: REM stands "
     "inside the name; rename it [keyword-in-name]\n"
     "F:2:4: warning: XREM is read as X REM, and the rest of the line is a remark: REM stands "
     "inside the name; rename it [keyword-in-name]\n"},
    {"DataInsideANameAfterAnyLetters", "40 ADATA=2:UPDATA=1\n",
     "F:1:4: warning: ADATA is read as A DATA, and the rest of the statement is DATA items: DATA "
     "stands inside the name; rename it [keyword-in-name]\n"
     "F:1:12: warning: UPDATA is read as U P DATA, and the rest of the statement is DATA items: "
     "DATA stands inside the name; rename it [keyword-in-name]\n"},
    {"RemAfterAKeywordOrInAStringIsMeant", "10 IF A THENREM X\n20 PRINT \"XREM\";A:DATA AREM\n",
     ""},
    {"MissingTargetsAfterEachJump", "10 ON X GOTO 10,90\n20 GOSUB 80:RESTORE 70:RUN 60\n",
     "F:1:17: warning: line 90 does not exist; no line has that number [missing-target]\n"
     "F:2:10: warning: line 80 does not exist; no line has that number [missing-target]\n"
     "F:2:21: warning: line 70 does not exist; no line has that number [missing-target]\n"
     "F:2:28: warning: line 60 does not exist; no line has that number [missing-target]\n"},
    {"NoTargetsInStringsRemarksAndData", "10 PRINT \"GOTO 90\":DATA GOTO 90\n20 REM GOTO 90\n", ""},
    {"WarningTurnedOff", "10 SCORE=0\n", "", {"-w", "keyword-in-name"}},
    // Read as the converter reads: the columns of a character left out before
    // the number and after a byte-order mark, jumps after a token's raw byte.
    {"CharacterOutsideTheSetBeforeTheNumber",
     "10 PRINT 1\n\x85\x40"
     "20 GOTO 10\n",
     "F:2:1: error: character 0x8540 is not in the target character set; replace it [charset]\n"},
    {"ByteOrderMarkTakesNoColumn",
     "\xEF\xBB\xBF"
     "10 SCORE=1\n",
     "F:1:4: warning: SCORE is read as S C OR E: a keyword stands inside the name; rename it or "
     "put spaces around the keyword [keyword-in-name]\n"},
    {"MissingTargetAfterThenAsItsRawByte",
     "10 IF A\xC7"
     "30\n",
     "F:1:9: warning: line 30 does not exist; no line has that number [missing-target]\n"},
    {"FullWidthLineNumbers", "\x82\x50\x82\x4F END\n\x82\x50 END\n",
     "F:2:1: error: line number 1 is not above 10 on line 1 [line-order]\n"},
    {"FirstLineWrapsBelowZero",
     "2147483648 END\n",
     "F:1:1: error: line number 2147483648 is read as -2147483648, which is below 0; use a number "
     "from 0 to 65,535 [line-order]\nF:1:1: warning: line number 2147483648 is above 65,535 and "
     "is stored as 0 [line-number-range]\n",
     {"--"}},
    {"RangesZeroAndNumbersAbove65535AsTargets", "10 LIST 99:GOTO 0:GOTO 70000\n",
     "F:1:17: warning: line 0 does not exist; no line has that number [missing-target]\n"
     "F:1:24: warning: line 70000 does not exist; no line has that number [missing-target]\n"},
    {"OnlyOnErrorItselfIsTheStatement",
     "10 ON ERR OR GOTO 0\n20 ON ERRX OR Y:ON EAR OR 1:A ERROR GOTO 0:ON ERROR=1\n"
     "30 ON ERXOR GOTO 10:ON ERRAND 1 GOTO 10\n",
     "F:2:31: warning: ERROR is read as E R R OR: a keyword stands inside the name; rename it or "
     "put spaces around the keyword [keyword-in-name]\n"
     "F:2:42: warning: line 0 does not exist; no line has that number [missing-target]\n"
     "F:3:7: warning: ERXOR is read as E R X OR: a keyword stands inside the name; rename it or "
     "put spaces around the keyword [keyword-in-name]\n"
     "F:3:24: warning: ERRAND is read as E R R AND: a keyword stands inside the name; rename it "
     "or put spaces around the keyword [keyword-in-name]\n"},
    {"OnlyGotoZeroAfterOnErrorNamesNoLine", "10 ON ERR X GOTO 0:ON ERROR GOSUB 0\n",
     "F:1:18: warning: line 0 does not exist; no line has that number [missing-target]\n"
     "F:1:35: warning: line 0 does not exist; no line has that number [missing-target]\n"},
    {"OnErrorGotoZeroNamesNoLineAndErrorIsNoName", "10 ON ERROR GOTO 0:ON ERROR GOTO 20\n",
     "F:1:34: warning: line 20 does not exist; no line has that number [missing-target]\n"},
    {"GotoZeroNamesAnUnnumberedFirstLine", "PRINT\n10 GOTO 0\n",
     "F:1:1: warning: the first line has no line number and is stored as line 0; give it a number "
     "[unnumbered-first-line]\n"},
    {"LongNameShownUpTo40Letters",
     "20 ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZSCORE=1\n",
     "F:1:4: warning: ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMN is read as A B C DEF G H I J K L M "
     "N O P Q R S T U V W X Y Z A B C DEF G H I J K L M N: a keyword stands inside the name; "
     "rename it or put spaces around the keyword [keyword-in-name]\n"},
    {"CutLineWhoseRestHasCarriageReturnsInItsNumber",
     "1 REM" + std::string(1018, 'x') + "\r2\r0 END\n",
     "F:1:1024: warning: line is 1031 bytes; the converter cuts it after 1,023 and reads the rest "
     "as line 20 [long-line]\nF:1:1024: warning: 2 carriage returns without a line feed, which "
     "the converter drops: a file with CR line ends reads as one line [lone-cr]\n"},
    {"NumbersAbove65535NamedOnceARun", "70000 A\n70001 B\n70002 C\n1 D\n",
     "F:1:1: warning: line number 70000 is above 65,535 and is stored as 4464, and so are the "
     "numbers of the 2 lines after it, each as its low 16 bits [line-number-range]\n"
     "F:4:1: error: line number 1 is not above 70002 on line 3 [line-order]\n"},
};

void PrintTo(const CheckCase &row, std::ostream *out) {
    *out << row.name;
}

class Finds : public testing::TestWithParam<CheckCase> {};

TEST_P(Finds, AtItsLineAndColumn) {
    const CheckCase &row = GetParam();
    TempDir dir;
    std::string path = dir.path("listing.bas");
    write_file(path, row.listing);
    std::vector<std::string> arguments = row.options;
    arguments.push_back(path);
    RunResult run = run_program(MORVANE_CHECK_BINARY, arguments);
    EXPECT_EQ(run.output, with_path(row.printed, path));
    EXPECT_EQ(run.status, row.printed.empty() ? 0 : 1);
    EXPECT_EQ(run.errors, "");
}

INSTANTIATE_TEST_SUITE_P(Listings, Finds, testing::ValuesIn(CASES),
                         [](const testing::TestParamInfo<CheckCase> &info) {
                             return std::string(info.param.name);
                         });

TEST(CheckUsage, StatusTwoWithAMessage) {
    const std::string usage = "usage: morvane-check [--encoding=NAME] [-w NAME]... FILE...\n";
    const struct {
        std::vector<std::string> arguments;
        std::string errors;
    } cases[] = {
        {{}, usage},
        {{"-w", "line-order", "x.bas"},
         "morvane-check: errors cannot be turned off: line-order\n" + usage},
        {{"-w", "nonsense", "x.bas"}, "morvane-check: no such warning: nonsense\n" + usage},
        {{"/nonexistent/x.bas"}, "morvane-check: can't read /nonexistent/x.bas\n"},
        {{"-w"}, "morvane-check: -w needs the name of a warning\n" + usage},
        {{"-x", "x.bas"}, "morvane-check: unknown option -x\n" + usage},
        {{"--encoding"}, "morvane-check: --encoding needs a name: utf-8 or shift_jis\n"},
        {{"--encodings=utf-8", "x.bas"},
         "morvane-check: unknown option --encodings=utf-8\n" + usage},
        {{"/proc/self/mem"}, "morvane-check: can't read /proc/self/mem\n"},
        {{"--encoding=cp1252", "x.bas"},
         "morvane-check: unknown encoding 'cp1252': use utf-8 or shift_jis\n"},
    };
    for (const auto &c : cases) {
        RunResult run = run_program(MORVANE_CHECK_BINARY, c.arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.errors, c.errors);
    }
    // Findings in the first file of two still count after a clean second.
    TempDir files;
    write_file(files.path("found.bas"), "10 GOTO 20\n");
    write_file(files.path("clean.bas"), "10 END\n");
    RunResult both =
        run_program(MORVANE_CHECK_BINARY, {files.path("found.bas"), files.path("clean.bas")});
    EXPECT_EQ(both.status, 1);
    EXPECT_EQ(both.output, files.path("found.bas") +
                               ":1:9: warning: line 20 does not exist; no line has that number [missing-target]\n");
    RunSetup from_standard_input;
    from_standard_input.stdin_path = source_path("examples/hello.bas");
    RunResult piped = run_program(MORVANE_CHECK_BINARY, {"-"}, from_standard_input);
    EXPECT_EQ(piped.status, 0);
    // Findings that cannot be written are no clean check.
    RunSetup closed_output;
    closed_output.closed[1] = true;
    TempDir dir;
    write_file(dir.path("s.bas"), "10 SCORE=1\n");
    RunResult unwritten = run_program(MORVANE_CHECK_BINARY, {dir.path("s.bas")}, closed_output);
    EXPECT_EQ(unwritten.status, 2);
    EXPECT_EQ(unwritten.errors, "morvane-check: can't write standard output\n");
    RunSetup full_output;
    full_output.stdout_path = "/dev/full";
    unwritten = run_program(MORVANE_CHECK_BINARY, {dir.path("s.bas")}, full_output);
    EXPECT_EQ(unwritten.status, 2);
    EXPECT_EQ(unwritten.errors, "morvane-check: can't write standard output\n");
}

// A listing with labels is checked as the renumbering reads it: each error
// the renumbering has about a label is the checker's too, at its place.
void expect_the_renumberings_label_errors(const std::string &listing,
                                          const morvane_finding *checked, std::size_t count) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(listing.data());
    unsigned char *renumbered = nullptr;
    std::size_t length = 0, renum_count = 0;
    morvane_finding *findings = nullptr;
    morvane_renumber_findings(bytes, listing.size(), 10, 10, 0, &renumbered, &length, &findings,
                              &renum_count);
    for (std::size_t i = 0; i < renum_count; i++) {
        const morvane_finding &f = findings[i];
        if (std::string(f.name).find("label") == std::string::npos) continue;
        bool found = std::any_of(checked, checked + count, [&](const morvane_finding &c) {
            return c.line == f.line && c.column == f.column && std::strcmp(c.name, f.name) == 0;
        });
        EXPECT_TRUE(found) << f.line << ":" << f.column << " " << f.message << "\n" << listing;
    }
    morvane_free(findings);
    morvane_free(renumbered);
}

// The checker's errors are the converter's failures: one exactly when
// morvane fails, the first of the kind it stops with. A listing with labels
// is the renumbering's, not the converter's.
void expect_error_exactly_when_conversion_fails(const std::string &listing) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(listing.data());
    unsigned char *image = nullptr;
    std::size_t image_length = 0;
    morvane_result result;
    morvane_convert(bytes, listing.size(), "L", &image, &image_length, &result);
    morvane_free(image);
    morvane_finding *findings = nullptr;
    std::size_t count = 0;
    morvane_check(bytes, listing.size(), &findings, &count);
    // The labels warning stands exactly where the scanner reads a label.
    morvane_item *items = nullptr;
    std::size_t item_count = 0;
    morvane_scan(bytes, listing.size(), &items, &item_count);
    bool labelled = std::any_of(items, items + item_count,
                                [](const morvane_item &i) { return i.kind == MORVANE_ITEM_LABEL; });
    morvane_free(items);
    bool told = std::any_of(findings, findings + count, [](const morvane_finding &f) {
        return std::strcmp(f.name, "labels") == 0;
    });
    bool an_image = listing.compare(0, 10, std::string(10, '\xD3')) == 0;
    EXPECT_EQ(told, labelled && !an_image) << hex(listing.substr(0, 200));
    if (told) {
        expect_the_renumberings_label_errors(listing, findings, count);
        morvane_free(findings);
        return;
    }
    const morvane_finding *first_error = nullptr;
    for (std::size_t i = 0; i < count && first_error == nullptr; i++)
        if (findings[i].error) first_error = &findings[i];
    std::string message = result.message;
    bool starts_like_image = listing.compare(0, 10, std::string(10, '\xD3')) == 0;
    if (!starts_like_image) {
        EXPECT_EQ(first_error != nullptr, result.status != 0) << message << "\n"
                                                              << listing.substr(0, 200);
    }
    // On the line where it stops, the converter looks at the characters
    // before the number: the matching kind is among that line's errors.
    bool matching = false;
    for (std::size_t i = 0; first_error != nullptr && i < count; i++) {
        if (!findings[i].error || findings[i].line != first_error->line) continue;
        std::string name = findings[i].name;
        matching = matching ||
                   (message.rfind("Illegal character", 0) == 0
                        ? name == "charset"
                        : name == "line-order" || name == "empty-line" || name == "no-line-number");
    }
    if (first_error != nullptr && result.status != 0 && !starts_like_image) {
        EXPECT_TRUE(matching) << message << "\n" << hex(listing.substr(0, 200));
    }
    morvane_free(findings);
}

TEST(CheckProperty, ErrorExactlyWhenTheConverterFails) {
    std::vector<std::string> listings;
    std::string corpus = source_path("../shared/corpus");
    if (file_exists(corpus))
        for (const auto &entry : std::filesystem::recursive_directory_iterator(corpus))
            if (entry.path().extension() == ".bas") listings.push_back(read_file(entry.path()));
    static const char *const PIECES[] = {
        "10", "20", " ", "\n", "\r\n", "PRINT", "\"", "\x82\xA0", "\x89\xBF", "\xE0\x40", "\x1A",
        "\x82", "A", "GOTO ", "SCORE", "DATA ", "REM ", "\xC7", "4294967296", "70000 ", ":", "@a",
        "ON X GOTO ", "LIST 10-20", "GOSUB 9", "\t",
        // Bytes at the edges of the character set's ranges and the tokens'.
        "\x81\x7F", "\x81\xFD", "\xE0\x7F", "\xFD\x40", "\xFA", "\xFF", "\xE0\xFD", "\x9F\xFC",
        "\xA0", "\xDF", "\x80", "\xF9", "ERROR ", "ON ERR OR GOTO 0", "XREM=1",
        // Where an @ may or may not start a label.
        "@", "PRINT @", "\"@x\"", "THEN@b", "GOSUB  @c", ",@d", "LIST @a-@b", "\xC7@e", "goto@f"};
    std::mt19937 random(18);
    for (int i = 0; i < 5000; i++) {
        std::string listing;
        for (unsigned piece = random() % 30; piece > 0; piece--)
            listing += PIECES[random() % std::size(PIECES)];
        listings.push_back(listing);
    }
    for (const std::string &listing : listings)
        expect_error_exactly_when_conversion_fails(listing);
}

} // namespace

namespace {

// The names a manual page lists after each .TP under the heading that
// starts with the given text, up to the next heading of the same level or above.
std::set<std::string> listed_names(const std::string &page, const std::string &heading) {
    std::istringstream lines(read_file(source_path("man/") + page));
    std::set<std::string> names;
    bool inside = false, after_tp = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(".SH", 0) == 0 || line.rfind(".SS", 0) == 0)
            inside = line.rfind(heading, 0) == 0;
        if (inside && after_tp && line.rfind(".B ", 0) == 0) names.insert(line.substr(3));
        after_tp = line == ".TP";
    }
    return names;
}

std::set<std::string> kinds_of(unsigned program, bool error) {
    std::set<std::string> names;
    for (const morvane::FindingKind &kind : morvane::FINDING_KINDS)
        if ((kind.programs & program) != 0 && kind.error == error) names.insert(kind.name);
    return names;
}

TEST(FindingKinds, ManualPagesListEachProgramsKinds) {
    EXPECT_EQ(listed_names("morvane-check.1", ".SH ERRORS"), kinds_of(morvane::FROM_CHECK, true));
    EXPECT_EQ(listed_names("morvane-check.1", ".SH WARNINGS"),
              kinds_of(morvane::FROM_CHECK, false));
    EXPECT_EQ(listed_names("morvane-renum.1", ".SS Errors"), kinds_of(morvane::FROM_RENUM, true));
    EXPECT_EQ(listed_names("morvane-renum.1", ".SS Warnings"),
              kinds_of(morvane::FROM_RENUM, false));
    // A name means one severity to each program, so that -w can take it.
    for (unsigned program : {morvane::FROM_CHECK, morvane::FROM_RENUM})
        for (const std::string &name : kinds_of(program, true))
            EXPECT_EQ(kinds_of(program, false).count(name), 0u) << name;
}

} // namespace
