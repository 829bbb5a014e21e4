// Writes src/core/text/unicode_table.cpp: the target character set against
// Unicode, from two standard mappings of Shift_JIS, given as charmap files
// in the form of the C library's locale sources (Debian: /usr/share/i18n/
// charmaps, package locales), uncompressed:
//
//   make_unicode_table SHIFT_JIS WINDOWS-31J > src/core/text/unicode_table.cpp
//
// SHIFT_JIS decodes as JIS X 0208 does, WINDOWS-31J as Windows code page
// 932: the two spellings of a character such as the wave dash (U+301C,
// U+FF5E). Which characters the target set holds is asked of the
// converter's own character conversion.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/basic/charset.h"
#include "core/basic/line_text.h"

namespace {

struct Mapping {
    unsigned code_point;
    unsigned shift_jis; // one byte below 0x100, else lead * 256 + trail
    bool reversible;
};

// Reads the lines "<UXXXX> /xHH[/xHH] NAME" between CHARMAP and END CHARMAP;
// "%IRREVERSIBLE%" before one marks a code that decodes but is never written.
std::vector<Mapping> read_charmap(const char *path) {
    std::FILE *file = std::fopen(path, "r");
    if (file == nullptr) {
        std::fprintf(stderr, "make_unicode_table: can't read %s\n", path);
        std::exit(1);
    }
    std::vector<Mapping> mappings;
    char line[512];
    bool inside = false;
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (std::strncmp(line, "CHARMAP", 7) == 0) inside = true;
        if (std::strncmp(line, "END CHARMAP", 11) == 0) inside = false;
        const char *at = line;
        bool reversible = true;
        if (std::strncmp(at, "%IRREVERSIBLE%", 14) == 0) {
            at += 14;
            reversible = false;
        }
        unsigned code_point = 0, first = 0, second = 0;
        int bytes = std::sscanf(at, "<U%X> /x%2X/x%2X", &code_point, &first, &second);
        if (!inside || bytes < 2) continue;
        mappings.push_back({code_point, bytes == 3 ? first << 8 | second : first, reversible});
    }
    std::fclose(file);
    return mappings;
}

// The target bytes a Shift_JIS code converts into; empty if none.
std::string target_of(unsigned shift_jis) {
    unsigned char line[morvane::LINE_BUFFER_SIZE + morvane::SCAN_PADDING] = {};
    int length = 0;
    if (shift_jis > 0xFF) line[length++] = static_cast<unsigned char>(shift_jis >> 8);
    line[length++] = static_cast<unsigned char>(shift_jis & 0xFF);
    if (!morvane::convert_charset(line)) return "";
    return reinterpret_cast<const char *>(line);
}

// A byte that stands for a character outside ASCII: the yen sign and the
// overline where ASCII has the backslash and the tilde, the half-width kana.
bool is_single_byte_spelling(const Mapping &m) {
    return m.code_point >= 0x80 &&
           (m.shift_jis < 0x80 || (m.shift_jis >= 0xA1 && m.shift_jis <= 0xDF));
}

bool is_two_byte(unsigned shift_jis) {
    return shift_jis > 0xFF;
}

// A two-byte character the converter turns into target codes; it copies
// the others (first bytes from 0xE0 up) as two bytes that show no such character.
bool converts_as_character(unsigned shift_jis) {
    return shift_jis >> 8 <= 0x9F && !target_of(shift_jis).empty();
}

// The user-defined characters decode into the Private Use Area, which names nothing.
bool is_private_use(unsigned code_point) {
    return code_point >= 0xE000 && code_point <= 0xF8FF;
}

void print_entries(const char *name, const std::map<unsigned, unsigned> &entries,
                   bool by_code_point) {
    std::printf("const %s %s[] = {\n", by_code_point ? "UnicodeSpelling" : "ShiftJisDecoding",
                name);
    int column = 0;
    for (const auto &[key, value] : entries) {
        std::printf("%s{0x%04X, 0x%04X},", column == 0 ? "    " : " ", key, value);
        if (++column == 6) {
            std::puts("");
            column = 0;
        }
    }
    if (column != 0) std::puts("");
    std::puts("};");
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fputs("usage: make_unicode_table SHIFT_JIS WINDOWS-31J\n", stderr);
        return 2;
    }
    std::vector<Mapping> jis = read_charmap(argv[1]), windows = read_charmap(argv[2]);
    // Spellings: every code point either mapping gives a character of the
    // target set (a two-byte character the converter takes, or a single
    // byte from 0x80 up that it copies as the character it shows).
    std::map<unsigned, unsigned> spellings, decoded;
    for (const auto *mappings : {&jis, &windows})
        for (const Mapping &m : *mappings) {
            bool in_set = is_two_byte(m.shift_jis) ? converts_as_character(m.shift_jis)
                                                   : is_single_byte_spelling(m);
            if (in_set && m.reversible && m.code_point != m.shift_jis)
                spellings.emplace(m.code_point, m.shift_jis);
            // JIS X 0208 first; code page 932 for the codes it adds.
            if (is_two_byte(m.shift_jis) && !is_private_use(m.code_point))
                decoded.emplace(m.shift_jis, m.code_point);
        }
    if (spellings.size() < 300 || decoded.size() < 7000) {
        std::fputs("make_unicode_table: the mappings hold too few characters\n", stderr);
        return 1;
    }
    std::puts("// Generated by src/tools/make_unicode_table from the SHIFT_JIS and WINDOWS-31J");
    std::puts("// charmaps; do not edit. The target character set against Unicode.");
    std::puts("#include \"core/text/unicode_table.h\"\n");
    std::puts("namespace morvane {\n");
    std::puts("// clang-format off");
    print_entries("SPELLINGS", spellings, true);
    std::printf("const std::size_t SPELLING_COUNT = %zu;\n\n", spellings.size());
    print_entries("DECODED", decoded, false);
    std::printf("const std::size_t DECODED_COUNT = %zu;\n", decoded.size());
    std::puts("// clang-format on\n");
    std::puts("} // namespace morvane");
    return 0;
}
