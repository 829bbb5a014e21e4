// Writes a realistic listing of about the given size: a mix of statements,
// string literals with kana, DATA and REM lines, CR LF line ends.
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Each line's statements after its number; the Shift_JIS bytes are kana,
// full-width letters and kanji that the target character set holds.
const char *const STATEMENTS[] = {
    "PRINT \"\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD\x81\x41\x83\x51\x81\x5B\x83\x80\"",
    "FOR I=1 TO 10:A(I)=I*2+B:NEXT I",
    "IF X>Y AND Z<>0 THEN GOSUB 1000 ELSE GOTO 200",
    "DATA 12,34,\"\x82\xCB\x82\xB1\",\x83\x4C\x83\x62\x83\x67,56",
    "REM \x83\x81\x83\x43\x83\x93\x83\x8B\x81\x5B\x83\x76 main loop",
    "LOCATE 10,5:COLOR 7:PRINT \"SCORE\";S;\"\x93\xFA\"",
    "A$=MID$(B$,2,3)+CHR$(65)+LEFT$(C$,1)",
    "X=SIN(T)*R+COS(T)*Q:Y=INT(RND(1)*100)",
    "ON K GOTO 100,200,300",
    "INPUT \"\x82\xC8\x82\xDC\x82\xA6\";N$:IF LEN(N$)=0 THEN RETURN",
    "POKE &H7000,PEEK(&H7001) OR 128",
    "print \"lower case\";tab(10);spc(2);x",
};

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fputs("usage: make_listing BYTES OUTPUT\n", stderr);
        return 2;
    }
    long long target = std::atoll(argv[1]);
    std::FILE *out = std::fopen(argv[2], "wb");
    if (out == nullptr) return 1;
    long long written = 0;
    for (long long line = 1; written < target; line++) {
        std::string text = std::to_string(line * 10) + " " +
                           STATEMENTS[line % (sizeof STATEMENTS / sizeof *STATEMENTS)] + "\r\n";
        std::fwrite(text.data(), 1, text.size(), out);
        written += static_cast<long long>(text.size());
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
