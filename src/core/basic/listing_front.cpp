#include "core/basic/listing_front.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "core/basic/charset.h"
#include "core/basic/editor_position.h"
#include "core/basic/simd.h"
#include "core/basic/word_scan.h"

namespace morvane {
namespace {

constexpr unsigned char CARRIAGE_RETURN = '\r';

// Every byte of an ASCII line stands for itself alone.
struct Ones {
    std::uint8_t of[LINE_TEXT_ROOM];
};
constexpr Ones make_ones() {
    Ones ones{};
    for (std::uint8_t &one : ones.of)
        one = 1;
    return ones;
}
constexpr Ones ONES = make_ones();

// The 0x00s after a line's text that every scan of it may read: stored as
// two words, as a call to memset would cost more than the line's own bytes.
void pad(unsigned char *after_text) {
    static_assert(SCAN_PADDING == 2 * sizeof(std::uint64_t));
    const std::uint64_t zero = 0;
    std::memcpy(after_text, &zero, sizeof zero);
    std::memcpy(after_text + sizeof zero, &zero, sizeof zero);
}

// Most lines end within 1,023 bytes in LF or CR LF and hold no other
// carriage return: their bytes are taken whole, the CR before the LF
// dropped. Returns how many bytes the line has, or 0 for a line that needs
// the byte by byte way.
int cut_whole(ListingFront &front, FrontLine &line) {
    std::size_t room = std::min<std::size_t>(front.end - front.at, LONGEST_LINE);
    const unsigned char *from = front.listing + front.at;
    const void *feed = std::memchr(from, '\n', room);
    std::size_t taken =
        feed != nullptr
            ? static_cast<std::size_t>(static_cast<const unsigned char *>(feed) - from) + 1
            : room;
    std::size_t count = taken;
    if (feed != nullptr && taken >= 2 && from[taken - 2] == CARRIAGE_RETURN) count--;
    std::size_t before_end = feed != nullptr ? count - 1 : count;
    if (std::memchr(from, CARRIAGE_RETURN, before_end) != nullptr) return 0;
    std::memcpy(line.cut_bytes, from, before_end);
    if (feed != nullptr) line.cut_bytes[count - 1] = '\n';
    line.counted_origins = true;
    line.feed_origin = front.at + taken - 1;
    line.editor_line = front.editor_line;
    front.at += taken;
    return static_cast<int>(count);
}

// Cuts by the text rules a byte at a time: carriage returns dropped, each
// ending an editor's line where no line feed follows it.
int cut_by_bytes(ListingFront &front, FrontLine &line, std::uint64_t &editor_lines) {
    int count = 0;
    std::size_t at = front.at;
    while (count < LONGEST_LINE && at < front.end) {
        unsigned char b = front.listing[at];
        if (b == CARRIAGE_RETURN) {
            at++;
            if (at >= front.length || front.listing[at] != '\n') editor_lines++;
            continue;
        }
        if (count == 0) line.editor_line = front.editor_line + editor_lines;
        line.counted_origins = false;
        line.cut_origin[count] = at;
        line.cut_bytes[count++] = b;
        at++;
        if (b == '\n') break;
    }
    front.at = at;
    return count;
}

void add_problem(FrontLine &line, CharsetProblemKind kind, std::size_t offset, unsigned char first,
                 unsigned char second) {
    line.problems[line.problem_count++] = {kind, first, second, offset};
}

void put(FrontLine &line, int &written, unsigned char b, std::size_t origin, std::size_t width) {
    line.converted[written] = b;
    line.converted_origin[written] = origin;
    line.converted_width[written] = static_cast<std::uint8_t>(std::min<std::size_t>(width, 255));
    written++;
}

// Rewrites the cut bytes into target codes as the converter does, each with
// its origin, and names the characters the target set lacks; those are left
// out, as if mended, so that the rest of the line still reads as it would.
int convert_with_origins(FrontLine &line, int count) {
    const unsigned char *bytes = line.cut_bytes;
    const std::size_t *origin = line.cut_origin;
    int written = 0;
    for (int i = 0; i < count && bytes[i] != 0x00;) {
        unsigned char b = bytes[i];
        unsigned char next = i + 1 < count ? bytes[i + 1] : 0x00;
        if (b >= 0x80 && b <= 0x9F) {
            unsigned char target[2];
            int made = is_line_end(next) ? 0 : convert_two_byte_character(b, next, target);
            if (is_line_end(next))
                add_problem(line, CharsetProblemKind::NO_SECOND_BYTE, origin[i], b, next);
            else if (made == 0)
                add_problem(line, CharsetProblemKind::NOT_IN_SET, origin[i], b, next);
            else if (made == 1)
                put(line, written, target[0], origin[i], origin[i + 1] + 1 - origin[i]);
            else {
                put(line, written, target[0], origin[i], origin[i + 1] - origin[i]);
                put(line, written, target[1], origin[i + 1], 1);
            }
            i += is_line_end(next) ? 1 : 2;
            continue;
        }
        put(line, written, b, origin[i], 1);
        i++;
        if (b >= 0xE0 && b <= 0xFC && is_sjis_second_byte(next)) {
            add_problem(line, CharsetProblemKind::PASSED_THROUGH, origin[i - 1], b, next);
            // A second byte that starts a two-byte character is read as one.
            if (next < 0x80 || next > 0x9F) put(line, written, bytes[i], origin[i], 1), i++;
        }
    }
    pad(line.converted + written);
    line.text = line.converted;
    line.origin = line.converted_origin;
    line.width = line.converted_width;
    return written;
}

// Whether the cut bytes, which have SCAN_PADDING 0x00s after them, hold one
// from 0x80 up and where their first 0x00 stands (count if none): in whole
// chunks, reading into the padding, so that a short line needs no loop over
// its last bytes.
struct CutTraits {
    bool from_0x80;
    int nul;
};

CutTraits cut_traits(const unsigned char *bytes, int count) {
    CutTraits traits{false, count};
#if defined(MORVANE_SSE2)
    const __m128i zero = _mm_setzero_si128();
    for (int at = 0; at < count; at += 16) {
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + at));
        unsigned inside = count - at >= 16 ? 0xFFFFu : (1u << (count - at)) - 1;
        auto high = static_cast<unsigned>(_mm_movemask_epi8(chunk)) & inside;
        auto nul = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, zero))) & inside;
        traits.from_0x80 = traits.from_0x80 || high != 0;
        if (nul != 0) {
            traits.nul = at + std::countr_zero(nul);
            // Only the text before the 0x00 counts.
            traits.from_0x80 = has_byte_from_0x80(bytes, traits.nul);
            return traits;
        }
    }
#else
    const void *nul = std::memchr(bytes, 0x00, static_cast<std::size_t>(count));
    if (nul != nullptr)
        traits.nul = static_cast<int>(static_cast<const unsigned char *>(nul) - bytes);
    traits.from_0x80 = has_byte_from_0x80(bytes, traits.nul);
#endif
    return traits;
}

int text_of_cut_bytes(FrontLine &line, int count) {
    pad(line.cut_bytes + count);
    line.nul = NO_OFFSET;
    CutTraits traits = cut_traits(line.cut_bytes, count);
    bool nul = traits.nul < count, high = traits.from_0x80;
    int text_length = traits.nul;
    if (line.counted_origins && (nul || high)) {
        // Counted out only where they are needed: to convert, or for a 0x00.
        for (int i = 0; i < count; i++)
            line.cut_origin[i] = line.start + static_cast<std::size_t>(i);
        if (line.line_feed) line.cut_origin[count - 1] = line.feed_origin;
    }
    if (nul) line.nul = line.cut_origin[text_length];
    if (high) return convert_with_origins(line, text_length);
    line.text = line.cut_bytes;
    line.origin = line.counted_origins && !nul ? nullptr : line.cut_origin;
    line.width = ONES.of;
    return text_length;
}

} // namespace

void start_listing_front(ListingFront &front, const unsigned char *listing, std::size_t length) {
    const void *mark = std::memchr(listing, END_OF_FILE_MARK, length);
    front.listing = listing;
    front.length = length;
    front.end = mark != nullptr
                    ? static_cast<std::size_t>(static_cast<const unsigned char *>(mark) - listing)
                    : length;
    front.first = starts_with_byte_order_mark(listing, front.end) ? 3 : 0;
    front.at = front.first;
    front.editor_line = 1;
    front.cut_line_end = 0;
}

bool read_next_line(ListingFront &front, FrontLine &line) {
    if (front.at >= front.end) return false;
    line.start = front.at;
    line.problem_count = 0;
    std::uint64_t editor_lines = 0;
    int count = cut_whole(front, line);
    if (count == 0) count = cut_by_bytes(front, line, editor_lines);
    line.end = front.at;
    if (count == 0) return false; // carriage returns alone up to the end
    line.byte_count = count;
    line.line_feed = line.cut_bytes[count - 1] == '\n';
    line.cut = count == LONGEST_LINE && !line.line_feed;
    front.editor_line += editor_lines + (line.line_feed ? 1 : 0);
    line.length = text_of_cut_bytes(line, count);
    return true;
}

bool skim_next_line(ListingFront &front, SkimmedLine &line, bool number_only) {
    const unsigned char *from = front.listing + front.at;
    std::size_t room = std::min<std::size_t>(front.end - front.at, LONGEST_LINE);
    if (room == 0 || !is_ascii_digit(from[0])) return false;
    const void *feed = std::memchr(from, '\n', room);
    if (feed == nullptr) return false;
    auto taken = static_cast<std::size_t>(static_cast<const unsigned char *>(feed) - from) + 1;
    std::size_t content = taken - 1;
    if (content > 0 && from[content - 1] == CARRIAGE_RETURN) content--;
    int digits = 1;
    while (is_ascii_digit(from[digits]))
        digits++;
    if (number_only ? from[digits] >= 0x80 || from[digits] == CARRIAGE_RETURN
                    : std::memchr(from, CARRIAGE_RETURN, content) != nullptr ||
                          has_byte_from_0x80(from, static_cast<int>(content)))
        return false;
    line = {front.at, front.at + taken, front.at + content, digits};
    front.at += taken;
    front.editor_line++;
    return true;
}

void cursor_to_line(EditorCursor &cursor, const ListingFront &front, const FrontLine &line) {
    bool starts_editor_line =
        line.start == front.first || (line.start > 0 && front.listing[line.start - 1] == '\n');
    if (line.start <= cursor.at || !starts_editor_line || front.listing[line.start] == '\r') return;
    cursor.at = line.start;
    cursor.position = {line.editor_line, 1};
}

void seek_line(ListingFront &front, std::size_t offset) {
    front.at = offset;
}

std::size_t editor_line_end(ListingFront &front, const FrontLine &line) {
    if (front.cut_line_end > line.end) return front.cut_line_end;
    const void *feed = std::memchr(front.listing + line.end, '\n', front.end - line.end);
    front.cut_line_end =
        feed != nullptr
            ? static_cast<std::size_t>(static_cast<const unsigned char *>(feed) - front.listing)
            : front.end;
    return front.cut_line_end;
}

} // namespace morvane
