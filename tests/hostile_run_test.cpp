// Runs in a hostile setting: names swapped while the program runs, standard
// streams closed, too little memory. Whatever happens, the listing stays as
// it was and the run ends with one of its own messages.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

#include "support.h"

namespace {

const std::string LISTING = "10 PRINT \"HI\"\n20 GOTO 10\n";
const std::string IMAGE =
    image_of({"FF FF 0A 00 95 20 22 48 49 22 00", "FF FF 14 00 88 20 31 30 00"});

#if defined(__linux__) && defined(RENAME_EXCHANGE)
// Swaps two names in a directory over and over until it is destroyed.
class NameSwapper {
  public:
    NameSwapper(const std::string &first, const std::string &second)
        : thread_([this, first, second] {
              while (!stop_)
                  renameat2(AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(), RENAME_EXCHANGE);
          }) {}
    ~NameSwapper() {
        stop_ = true;
        thread_.join();
    }

  private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

constexpr int RACE_RUNS = 600;

// The image's name keeps turning into a symbolic link to the listing: the run
// either converts into the real image file or refuses, and never writes
// through the link.
TEST(Race, ImageNameSwappedWithLinkToListingNeverTouchesTheListing) {
    TempDir dir;
    write_file(dir.path("listing.bas"), LISTING);
    write_file(dir.path("image.img"), "");
    std::filesystem::create_symlink(dir.path("listing.bas"), dir.path("link"));
    int refused = 0;
    {
        NameSwapper swapper(dir.path("image.img"), dir.path("link"));
        for (int run_number = 0; run_number < RACE_RUNS; run_number++) {
            RunResult run = run_morvane({dir.path("listing.bas"), dir.path("image.img")});
            if (run.status == 1) refused++;
            ASSERT_TRUE(run.status == 0 || run.errors == "Input and output are the same file " +
                                                             dir.path("image.img") + "\n")
                << run.status << " " << run.errors;
            ASSERT_EQ(read_file(dir.path("listing.bas")), LISTING) << "after run " << run_number;
        }
    }
    std::printf("%d of %d runs met the link and refused\n", refused, RACE_RUNS);
}

// The listing's name keeps turning from a decoy listing into a hard link to
// the image: the run either converts the decoy or refuses, and the image
// never ends half written.
TEST(Race, ListingNameSwappedWithLinkToImageNeverTruncatesWhatIsRead) {
    TempDir dir;
    const std::string old_image = "not yet converted";
    write_file(dir.path("image.img"), old_image);
    write_file(dir.path("listing.bas"), LISTING);
    std::filesystem::create_hard_link(dir.path("image.img"), dir.path("decoy.bas"));
    NameSwapper swapper(dir.path("listing.bas"), dir.path("decoy.bas"));
    for (int run_number = 0; run_number < RACE_RUNS; run_number++) {
        std::string before = read_file(dir.path("image.img"));
        RunResult run = run_morvane({dir.path("listing.bas"), dir.path("image.img")});
        std::string after = read_file(dir.path("image.img"));
        if (run.status == 0) {
            ASSERT_EQ(hex(after), hex(IMAGE)) << "after run " << run_number;
        } else {
            // Once the image holds an image, the link to it reads as one given as the listing.
            ASSERT_TRUE(run.errors ==
                            "Input and output are the same file " + dir.path("image.img") + "\n" ||
                        run.errors ==
                            "Input file is a program image " + dir.path("listing.bas") + "\n")
                << run.errors;
            ASSERT_EQ(after, before) << "after run " << run_number;
        }
    }
}

// The listing's name keeps turning into a directory: a directory is refused
// before any image exists, and a file converts whole.
TEST(Race, ListingNameSwappedWithDirectoryIsNeverRead) {
    TempDir dir;
    write_file(dir.path("listing.bas"), LISTING);
    std::filesystem::create_directory(dir.path("folder"));
    NameSwapper swapper(dir.path("listing.bas"), dir.path("folder"));
    for (int run_number = 0; run_number < RACE_RUNS; run_number++) {
        std::filesystem::remove(dir.path("image.img"));
        RunResult run = run_morvane({dir.path("listing.bas"), dir.path("image.img")});
        if (run.status == 0) {
            ASSERT_EQ(hex(read_file(dir.path("image.img"))), hex(IMAGE));
            continue;
        }
        ASSERT_EQ(run.errors, "Can't open input file " + dir.path("listing.bas") + "\n");
        ASSERT_FALSE(file_exists(dir.path("image.img"))) << "after run " << run_number;
    }
}
#endif

// With a standard stream closed, the next file opened would take its
// number; a message must still never reach the image or the listing.
TEST(ClosedStandardStreams, MessagesNeverLandInTheFiles) {
    const std::string bad_listing = "10 END\n5 END\n";
    const bool closings[][3] = {
        {true, false, false}, {false, true, false}, {false, false, true},
        {false, true, true},  {true, true, true},
    };
    TempDir dir;
    for (const auto &closed : closings) {
        std::string which =
            std::to_string(closed[0]) + std::to_string(closed[1]) + std::to_string(closed[2]);
        write_file(dir.path("bad.bas"), bad_listing);
        RunSetup setup;
        std::copy(closed, closed + 3, setup.closed);
        RunResult run =
            run_program(MORVANE_BINARY, {dir.path("bad.bas"), dir.path("image.img")}, setup);
        EXPECT_EQ(run.status, 1) << which;
        if (!closed[2]) {
            EXPECT_EQ(run.errors, "Illegal line number found in 5\n") << which;
        }
        EXPECT_EQ(hex(read_file(dir.path("image.img"))),
                  hex(partial_image_of({"FF FF 0A 00 80 00"})))
            << which;
        EXPECT_EQ(read_file(dir.path("bad.bas")), bad_listing) << which;

        write_file(dir.path("good.bas"), LISTING);
        run = run_program(MORVANE_BINARY, {dir.path("good.bas"), dir.path("image.img")}, setup);
        EXPECT_EQ(run.status, 0) << which;
        EXPECT_EQ(hex(read_file(dir.path("image.img"))), hex(IMAGE)) << which;
    }
}

#if !defined(MORVANE_SANITIZED)
// Under any address-space limit at which the program starts at all (its
// usage text comes out) it ends with one of its statuses, never by a
// signal. Long paths make every string the program might build too big for
// a small-string buffer.
TEST(MemoryLimit, EveryLimitEndsWithAStatusNotASignal) {
    TempDir dir;
    std::string listing = dir.path("a-listing-with-a-rather-long-name.bas");
    std::string image = dir.path("an-image-with-a-rather-long-name.img");
    write_file(listing, LISTING);
    auto starts_under = [](unsigned long kib) {
        RunSetup setup;
        setup.memory_limit = kib * 1024;
        return run_program(MORVANE_BINARY, {}, setup).status == 1;
    };
    unsigned long first_start = 256;
    while (first_start <= 16384 && !starts_under(first_start))
        first_start += 128;
    ASSERT_LE(first_start, 16384u) << "the program started under no limit tried";
    // Where the program just starts, an allocation on the way may be
    // refused in a window of a few dozen KiB: fine steps there.
    int converted = 0;
    for (unsigned long kib = first_start - 128; kib <= 16384;
         kib += kib < first_start + 2048 ? 8 : 256) {
        if (!starts_under(kib)) continue;
        RunSetup setup;
        setup.memory_limit = kib * 1024;
        RunResult run = run_program(MORVANE_BINARY, {listing, image}, setup);
        EXPECT_LT(run.status, 2) << kib << " KiB: " << run.errors;
        if (run.status == 0) converted++;
        EXPECT_EQ(read_file(listing), LISTING) << kib << " KiB";
    }
    EXPECT_GT(converted, 0) << "no limit was generous enough to convert";
}

// A UTF-8 listing is read into its Shift_JIS twin of up to four times its
// bytes: where the file fits in memory and the twin does not, the checker
// and the renumbering say so and write nothing.
TEST(MemoryLimit, Utf8ListingWhoseTwinDoesNotFitIsTold) {
    TempDir dir;
    std::string listing = dir.path("big.bas"), output = dir.path("out.bas");
    std::string line = "10 A$=\"アイウエオ\"\n";
    std::string text;
    for (std::size_t size = 0; size < (24u << 20); size += line.size())
        text += line;
    write_file(listing, text);
    RunSetup setup;
    setup.memory_limit = 72ul << 20;
    RunResult checked = run_program(MORVANE_CHECK_BINARY, {listing}, setup);
    EXPECT_EQ(checked.status, 2);
    EXPECT_EQ(checked.errors, "morvane-check: not enough memory for " + listing + "\n");
    EXPECT_EQ(checked.output, "");
    RunResult renumbered = run_program(MORVANE_RENUM_BINARY, {listing, output}, setup);
    EXPECT_EQ(renumbered.status, 1);
    EXPECT_EQ(renumbered.errors, "morvane-renum: not enough memory for " + listing + "\n");
    EXPECT_FALSE(file_exists(output));
}
#endif

} // namespace
