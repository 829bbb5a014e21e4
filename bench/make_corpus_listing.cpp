// Writes a listing of about the given size from the real statements of the
// listings in a folder: every numbered line's statements that the converter
// takes, shuffled with a fixed seed, renumbered 1, 2, 3..., CR LF line ends.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "core/convert/line_convert.h"
#include "core/basic/line_text.h"
#include "core/convert/tokenizer.h"

namespace {

// The statements after the line number and one space; empty if the line has no number.
std::string statements_of(const std::string &line) {
    std::size_t digits = line.find_first_not_of("0123456789");
    if (digits == 0 || digits == std::string::npos) return "";
    return line.substr(line[digits] == ' ' ? digits + 1 : digits);
}

bool converts(const std::string &statements) {
    using namespace morvane;
    std::string line = "1 " + statements + "\n";
    if (line.size() > LONGEST_LINE || line.find('\0') != std::string::npos) return false;
    unsigned char body[BODY_ROOM];
    std::int32_t number = 0;
    return convert_line_in_memory(reinterpret_cast<const unsigned char *>(line.data()),
                                  static_cast<int>(line.size()), body, number) >= 0;
}

// The statements of every line of a listing, cut at CR LF, LF or CR, up to a 0x1A.
void add_statements(const std::string &listing, std::vector<std::string> &all) {
    std::string text = listing.substr(0, listing.find('\x1A'));
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos) end = text.size();
        std::string statements = statements_of(text.substr(at, end - at));
        if (!statements.empty() && converts(statements)) all.push_back(statements);
        at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fputs("usage: make_corpus_listing FOLDER BYTES OUTPUT\n", stderr);
        return 2;
    }
    std::vector<std::string> statements;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(argv[1])) {
        if (entry.path().extension() != ".bas") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        add_statements(std::string(std::istreambuf_iterator<char>(in), {}), statements);
    }
    std::sort(statements.begin(), statements.end()); // the same order whatever the folder's
    std::mt19937 random(2026);
    std::shuffle(statements.begin(), statements.end(), random);
    if (statements.empty()) return 1;
    long long target = std::atoll(argv[2]);
    std::FILE *out = std::fopen(argv[3], "wb");
    if (out == nullptr) return 1;
    long long written = 0;
    for (long long line = 1; written < target; line++) {
        std::string text = std::to_string(line) + " " +
                           statements[static_cast<std::size_t>(line) % statements.size()] + "\r\n";
        std::fwrite(text.data(), 1, text.size(), out);
        written += static_cast<long long>(text.size());
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
