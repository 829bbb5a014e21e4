// The line reader inside the process: lines cut across read blocks, and a
// read error after part of the listing has arrived.
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "convert_reader.h"
#include "process_ended.h"
#include "run_files.h"
#include "support.h"

namespace {

// Lines as the listing's text rules cut them, each as far as its first 0x00.
std::vector<std::string> lines_by_rules(const std::string &listing) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : listing) {
        if (c == '\x1A') break;
        if (c == '\r') continue;
        line += c;
        if (c == '\n' || line.size() == LONGEST_LINE) {
            lines.push_back(line.c_str());
            line.clear();
        }
    }
    if (!line.empty()) lines.push_back(line.c_str());
    return lines;
}

// A loaded line's text: up to and including its line feed, or up to its 0x00.
std::string text_of(const unsigned char *text) {
    std::string line;
    for (; *text != 0x00 && *text != '\n'; text++)
        line += static_cast<char>(*text);
    return *text == '\n' ? line + '\n' : line;
}

std::vector<std::string> lines_loaded(std::FILE *stream) {
    use_streams(stream, "listing.bas", nullptr, "image.img");
    start_line_reader();
    std::vector<std::string> lines;
    for (const unsigned char *text = load_next_line(); text != nullptr; text = load_next_line())
        lines.push_back(text_of(text));
    std::fclose(stream);
    input_stream = nullptr;
    return lines;
}

std::FILE *stream_of(const std::string &bytes) {
    std::FILE *stream = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::rewind(stream);
    return stream;
}

TEST(LineReader, CutsLinesAcrossReadBlocksByTheTextRules) {
    const char alphabet[] = {'A', '1', ' ', '"', '\r', '\n', '\n', '\0', '\xB1', '\xE0'};
    std::mt19937 random(7);
    for (int trial = 0; trial < 20; trial++) {
        std::string listing;
        std::size_t size = 100000 + random() % 200000;
        while (listing.size() < size) {
            // Long runs without a line feed now and then, to cut lines at 1,023 bytes.
            std::size_t run = random() % 50 == 0 ? 1500 : 1 + random() % 60;
            for (std::size_t i = 0; i < run; i++)
                listing += alphabet[random() % (sizeof alphabet - 3)];
            listing += alphabet[4 + random() % 6];
        }
        if (trial % 4 == 3) listing.insert(random() % listing.size(), 1, '\x1A');
        ASSERT_EQ(lines_loaded(stream_of(listing)), lines_by_rules(listing)) << "trial " << trial;
    }
}

TEST(LineReader, CarriageReturnOnABlockBoundaryIsDropped) {
    std::string listing = std::string(65535, 'A') + "\r\n10 END\r\n";
    std::vector<std::string> lines = lines_loaded(stream_of(listing));
    // 64 lines of 1,023 bytes, the 63 bytes left with the line feed, then line 10.
    ASSERT_EQ(lines.size(), 66u);
    EXPECT_EQ(lines[64], std::string(63, 'A') + "\n");
    EXPECT_EQ(lines[65], "10 END\n");
}

// A stream that hands out its bytes and then fails with an I/O error.
struct FailingSource {
    std::string bytes;
    std::size_t position;
};

ssize_t read_then_fail(void *cookie, char *buffer, std::size_t size) {
    auto *source = static_cast<FailingSource *>(cookie);
    if (source->position == source->bytes.size()) return -1;
    std::size_t count = std::min(size, source->bytes.size() - source->position);
    std::memcpy(buffer, source->bytes.data() + source->position, count);
    source->position += count;
    return static_cast<ssize_t>(count);
}

TEST(LineReader, ReadErrorEndsTheRunAfterTheCompleteLinesBeforeIt) {
    std::string line = "10 PRINT \"A\"\n";
    FailingSource source{"", 0};
    while (source.bytes.size() < 100000)
        source.bytes += line;
    source.bytes += "20 PART";
    use_streams(fopencookie(&source, "r", {read_then_fail, nullptr, nullptr, nullptr}),
                "listing.bas", nullptr, "image.img");
    start_line_reader();
    std::size_t loaded = 0;
    int status = -1;
    SilencedStandardError quiet;
    try {
        for (const unsigned char *text = load_next_line(); text != nullptr;
             text = load_next_line()) {
            EXPECT_EQ(text_of(text), line);
            loaded++;
        }
    } catch (const ProcessEnded &ended) {
        status = ended.status;
    }
    EXPECT_EQ(status, 1);
    EXPECT_EQ(input_stream, nullptr);
    EXPECT_GE(loaded, 65536 / line.size());
    EXPECT_LE(loaded, 100000 / line.size() + 1);
}

} // namespace
