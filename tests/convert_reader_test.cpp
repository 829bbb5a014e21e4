// The line reader inside the process: lines cut across read blocks, and a
// read error after part of the listing has arrived.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "core/convert/convert_reader.h"
#include "support.h"

using namespace morvane;

namespace {

// Hands out its bytes a few at a time, as a pipe may, and then fails with a
// read error if asked to.
struct StringSource {
    std::string bytes;
    std::size_t position;
    std::size_t most_a_read;
    bool fails_at_end;
};

long long read_string(void *context, unsigned char *buffer, std::size_t size) {
    auto *source = static_cast<StringSource *>(context);
    if (source->position == source->bytes.size()) return source->fails_at_end ? -1 : 0;
    std::size_t count =
        std::min({size, source->bytes.size() - source->position, source->most_a_read});
    std::memcpy(buffer, source->bytes.data() + source->position, count);
    source->position += count;
    return static_cast<long long>(count);
}

ListingReader reader; // a few dozen KiB: not on the stack

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

std::vector<std::string> lines_loaded(const std::string &listing,
                                      std::size_t most_a_read = LISTING_BLOCK_SIZE) {
    StringSource source{listing, 0, most_a_read, false};
    start_line_reader(reader, {read_string, &source});
    std::vector<std::string> lines;
    for (const unsigned char *text = load_next_line(reader); text != nullptr;
         text = load_next_line(reader))
        lines.push_back(text_of(text));
    return lines;
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
        // Whole blocks as from a file, or short reads as from a pipe.
        std::size_t most_a_read = trial % 2 ? LISTING_BLOCK_SIZE : 1 + random() % 5000;
        ASSERT_EQ(lines_loaded(listing, most_a_read), lines_by_rules(listing)) << "trial " << trial;
    }
}

TEST(LineReader, CarriageReturnOnABlockBoundaryIsDropped) {
    std::string listing = std::string(65535, 'A') + "\r\n10 END\r\n";
    std::vector<std::string> lines = lines_loaded(listing);
    // 64 lines of 1,023 bytes, the 63 bytes left with the line feed, then line 10.
    ASSERT_EQ(lines.size(), 66u);
    EXPECT_EQ(lines[64], std::string(63, 'A') + "\n");
    EXPECT_EQ(lines[65], "10 END\n");
}

TEST(LineReader, ReadErrorEndsTheRunAfterTheCompleteLinesBeforeIt) {
    std::string line = "10 PRINT \"A\"\n";
    StringSource source{"", 0, LISTING_BLOCK_SIZE, true};
    while (source.bytes.size() < 100000)
        source.bytes += line;
    source.bytes += "20 PART";
    start_line_reader(reader, {read_string, &source});
    std::size_t loaded = 0;
    for (const unsigned char *text = load_next_line(reader); text != nullptr;
         text = load_next_line(reader)) {
        EXPECT_EQ(text_of(text), line);
        loaded++;
    }
    EXPECT_TRUE(reader.read_failed);
    EXPECT_EQ(loaded, 100000 / line.size() + 1); // the part of line 20 is dropped
}

} // namespace
