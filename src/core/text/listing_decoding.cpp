#include "core/text/listing_decoding.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/basic/word_scan.h"

namespace morvane {
namespace {

constexpr unsigned char BYTE_ORDER_MARK[3] = {0xEF, 0xBB, 0xBF};

bool starts_with_mark(const unsigned char *bytes, std::size_t length) {
    return length >= 3 && std::memcmp(bytes, BYTE_ORDER_MARK, 3) == 0;
}

// True if the bytes are the start of a character that more bytes would complete.
bool cut_short(const unsigned char *bytes, std::size_t length) {
    unsigned char probe[4] = {0x80, 0x80, 0x80, 0x80};
    std::memcpy(probe, bytes, std::min<std::size_t>(length, 4));
    std::uint32_t ignored;
    int full = decode_utf8(probe, 4, ignored);
    return full > 0 && static_cast<std::size_t>(full) > length;
}

struct Decoded {
    std::size_t read, written;
};

// Reads the UTF-8 characters of bytes as Shift_JIS into out, which has
// room for OUTSIDE_SET_WIDTH bytes each; a character cut short at the end waits for
// more unless the input ends there. Tells each character that is not one
// ASCII byte to anchor(text, file, width, length), offsets from the call's start.
template <typename Anchor>
Decoded decode_characters(const unsigned char *bytes, std::size_t length, unsigned char *out,
                          bool input_ends, Anchor anchor) {
    std::size_t at = 0, written = 0;
    while (at < length) {
        std::size_t ascii = copy_ascii_run(bytes + at, length - at, out + written);
        at += ascii;
        written += ascii;
        if (at == length) break;
        std::uint32_t code_point = 0;
        int read = decode_utf8(bytes + at, length - at, code_point);
        if (read == 0 && !input_ends && cut_short(bytes + at, length - at)) break;
        int spelling = read == 0 ? NOT_IN_SET : shift_jis_spelling(code_point);
        std::uint8_t width = 1;
        if (spelling == NOT_IN_SET) {
            for (int i = 0; i < OUTSIDE_SET_WIDTH; i += 2) {
                out[written + i] = OUTSIDE_SET_FIRST;
                out[written + i + 1] = OUTSIDE_SET_SECOND;
            }
            width = OUTSIDE_SET_WIDTH;
        } else if (spelling > 0xFF) {
            out[written] = static_cast<unsigned char>(spelling >> 8);
            out[written + 1] = static_cast<unsigned char>(spelling & 0xFF);
            width = 2;
        } else {
            out[written] = static_cast<unsigned char>(spelling);
        }
        auto file_length = static_cast<std::uint8_t>(read == 0 ? 1 : read);
        anchor(written, at, width, file_length);
        written += width;
        at += file_length;
    }
    return {at, written};
}

} // namespace

bool read_listing_text(const unsigned char *file, std::size_t length, EncodingChoice choice,
                       ListingText &listing) {
    listing = {file, length, Encoding::SHIFT_JIS, file, length, nullptr, 0, nullptr};
    if (choice == EncodingChoice::SHIFT_JIS) return true;
    if (choice == EncodingChoice::BY_CONTENT &&
        listing_encoding(file, length) == Encoding::SHIFT_JIS)
        return true;
    listing.encoding = Encoding::UTF_8;
    // A byte that is no UTF-8 becomes OUTSIDE_SET_WIDTH; no other character more.
    listing.owned = static_cast<unsigned char *>(std::malloc(OUTSIDE_SET_WIDTH * length + 1));
    if (listing.owned == nullptr) return false;
    std::size_t skipped = starts_with_mark(file, length) ? 3 : 0;
    std::memcpy(listing.owned, file, skipped);
    std::size_t capacity = 0;
    bool out_of_memory = false;
    Decoded decoded = decode_characters(
        file + skipped, length - skipped, listing.owned + skipped, true,
        [&](std::size_t text, std::size_t at, std::uint8_t width, std::uint8_t file_length) {
            if (listing.anchor_count == capacity && !out_of_memory) {
                capacity = std::max<std::size_t>(2 * capacity, 256);
                void *grown = std::realloc(listing.anchors, capacity * sizeof(TextAnchor));
                out_of_memory = grown == nullptr;
                if (grown != nullptr) listing.anchors = static_cast<TextAnchor *>(grown);
            }
            if (!out_of_memory)
                listing.anchors[listing.anchor_count++] = {text + skipped, at + skipped, width,
                                                           file_length};
        });
    if (out_of_memory) {
        free_listing_text(listing);
        return false;
    }
    listing.text = listing.owned;
    listing.length = skipped + decoded.written;
    return true;
}

void free_listing_text(ListingText &listing) {
    std::free(listing.owned);
    std::free(listing.anchors);
    listing.owned = nullptr;
    listing.anchors = nullptr;
    listing.anchor_count = 0;
}

namespace {

// The last anchor at or before the text's offset; nullptr if none.
const TextAnchor *anchor_before(const ListingText &listing, std::size_t offset) {
    const TextAnchor *begin = listing.anchors, *end = begin + listing.anchor_count;
    const TextAnchor *after = std::upper_bound(
        begin, end, offset, [](std::size_t o, const TextAnchor &a) { return o < a.text; });
    return after == begin ? nullptr : after - 1;
}

} // namespace

std::size_t file_offset(const ListingText &listing, std::size_t offset) {
    if (listing.anchor_count == 0) return std::min(offset, listing.file_length);
    const TextAnchor *anchor = anchor_before(listing, offset);
    if (anchor == nullptr) return offset;
    if (offset < anchor->text + anchor->width) return anchor->file;
    return std::min(anchor->file + anchor->length + (offset - anchor->text - anchor->width),
                    listing.file_length);
}

std::size_t file_end_offset(const ListingText &listing, std::size_t offset) {
    if (listing.anchor_count == 0 || offset == 0) return file_offset(listing, offset);
    const TextAnchor *anchor = anchor_before(listing, offset - 1);
    if (anchor != nullptr && offset - 1 < anchor->text + anchor->width)
        return anchor->file + anchor->length;
    return file_offset(listing, offset);
}

std::uint32_t code_point_at(const ListingText &listing, std::size_t offset) {
    if (offset >= listing.length) return 0;
    if (listing.encoding == Encoding::SHIFT_JIS) {
        if (offset + 1 >= listing.length) return 0;
        return code_point_of_shift_jis(listing.text[offset], listing.text[offset + 1]);
    }
    std::size_t at = file_offset(listing, offset);
    std::uint32_t code_point = 0;
    if (at >= listing.file_length) return 0;
    return decode_utf8(listing.file + at, listing.file_length - at, code_point) > 0 ? code_point
                                                                                    : 0;
}

void name_character(std::uint32_t code_point, const unsigned char *bytes, int length, char *out) {
    if (code_point == 0) {
        // A pair by its Shift_JIS code, as the machine's manuals name them.
        int used = std::snprintf(out, CHARACTER_NAME_ROOM, "0x");
        for (int i = 0; i < length && i < 2; i++)
            used += std::snprintf(out + used, static_cast<std::size_t>(CHARACTER_NAME_ROOM - used),
                                  "%02X", bytes[i]);
        return;
    }
    unsigned char character[5] = {};
    encode_utf8(code_point, character);
    std::snprintf(out, CHARACTER_NAME_ROOM, "%s (U+%04X)", reinterpret_cast<char *>(character),
                  static_cast<unsigned>(code_point));
}

CharacterName shift_jis_name(unsigned char first, unsigned char second) {
    CharacterName name;
    const unsigned char bytes[2] = {first, second};
    name_character(code_point_of_shift_jis(first, second), bytes, 2, name.text);
    return name;
}

namespace {

// Room the source keeps for what it has read but not yet handed on: a
// block of the file, decoded, takes no more than OUTSIDE_SET_WIDTH times its bytes.
constexpr std::size_t DECODE_BLOCK = 16 * 1024;

bool hold(DecodingSource &decoding, const unsigned char *bytes, std::size_t length) {
    if (decoding.held_capacity - decoding.held_length < length) {
        std::size_t capacity = std::max(decoding.held_capacity * 2, decoding.held_length + length);
        auto *grown = static_cast<unsigned char *>(std::realloc(decoding.held, capacity));
        if (grown == nullptr) return false;
        decoding.held = grown;
        decoding.held_capacity = capacity;
    }
    std::memcpy(decoding.held + decoding.held_length, bytes, length);
    decoding.held_length += length;
    return true;
}

// Reads from the file, the bytes held first.
long long read_file_bytes(DecodingSource &decoding, unsigned char *buffer, std::size_t size) {
    if (decoding.held_position < decoding.held_length) {
        std::size_t count = std::min(size, decoding.held_length - decoding.held_position);
        std::memcpy(buffer, decoding.held + decoding.held_position, count);
        decoding.held_position += count;
        return static_cast<long long>(count);
    }
    if (decoding.file_ended) return 0;
    long long got = decoding.file.read(decoding.file.context, buffer, size);
    if (got <= 0) decoding.file_ended = true;
    return got;
}

// Reads on until the bytes decide the encoding, holding them; false if
// reading failed or memory ran out.
bool decide(DecodingSource &decoding, const unsigned char *first, std::size_t length) {
    if (!hold(decoding, first, length)) return decoding.out_of_memory = true, false;
    unsigned char block[DECODE_BLOCK];
    while (!sniffing_decided(decoding.sniffer)) {
        long long got = decoding.file.read(decoding.file.context, block, sizeof block);
        if (got < 0) return false;
        if (got == 0) {
            decoding.file_ended = true;
            break;
        }
        sniff(decoding.sniffer, block, static_cast<std::size_t>(got));
        if (!hold(decoding, block, static_cast<std::size_t>(got)))
            return decoding.out_of_memory = true, false;
    }
    decoding.state = sniffed_encoding(decoding.sniffer) == Encoding::UTF_8
                         ? DecodingSource::State::UTF_8
                         : DecodingSource::State::SHIFT_JIS;
    return true;
}

// Decodes the next bytes into buffer: never the byte-order mark alone, as
// the converter takes a first block that holds only the mark for an empty
// listing.
long long read_utf8(DecodingSource &decoding, unsigned char *buffer, std::size_t size) {
    unsigned char block[DECODE_BLOCK + 4];
    if (size < 3 + OUTSIDE_SET_WIDTH) return -1;
    std::size_t room = std::min((size - 3) / OUTSIDE_SET_WIDTH, DECODE_BLOCK);
    std::size_t out = 0;
    for (;;) {
        std::size_t length = static_cast<std::size_t>(decoding.pending_length);
        std::memcpy(block, decoding.pending, length);
        long long got =
            read_file_bytes(decoding, block + length, room > length ? room - length : 1);
        if (got < 0) return -1;
        length += static_cast<std::size_t>(got);
        bool ends = got == 0;
        if (length == 0) return static_cast<long long>(out);
        std::size_t skipped = 0;
        if (decoding.at_start && starts_with_mark(block, length)) {
            std::memcpy(buffer, block, 3);
            skipped = 3;
        }
        decoding.at_start = false;
        Decoded decoded =
            decode_characters(block + skipped, length - skipped, buffer + out + skipped, ends,
                              [](std::size_t, std::size_t, std::uint8_t, std::uint8_t) {});
        std::size_t rest = length - skipped - decoded.read;
        std::memcpy(decoding.pending, block + skipped + decoded.read, rest);
        decoding.pending_length = static_cast<int>(rest);
        out += skipped + decoded.written;
        if (decoded.written > 0 || ends) return static_cast<long long>(out);
    }
}

long long read_decoded(void *context, unsigned char *buffer, std::size_t size) {
    auto &decoding = *static_cast<DecodingSource *>(context);
    if (decoding.state == DecodingSource::State::UNDECIDED) {
        long long got = decoding.file.read(decoding.file.context, buffer, size);
        if (got <= 0) return got;
        auto length = static_cast<std::size_t>(got);
        sniff(decoding.sniffer, buffer, length);
        bool all_ascii = !decoding.sniffer.high_bytes && !sniffing_decided(decoding.sniffer);
        // Bytes below 0x80 read the same either way: they go on at once.
        if (all_ascii) {
            decoding.at_start = false;
            return got;
        }
        if (!decide(decoding, buffer, length)) return -1;
    }
    if (decoding.state == DecodingSource::State::SHIFT_JIS)
        return read_file_bytes(decoding, buffer, size);
    return read_utf8(decoding, buffer, size);
}

} // namespace

void start_decoding_source(DecodingSource &decoding, Source file, EncodingChoice choice) {
    decoding = {};
    decoding.file = file;
    decoding.at_start = true;
    decoding.state = choice == EncodingChoice::SHIFT_JIS ? DecodingSource::State::SHIFT_JIS
                     : choice == EncodingChoice::UTF_8   ? DecodingSource::State::UTF_8
                                                         : DecodingSource::State::UNDECIDED;
    start_sniffing(decoding.sniffer);
}

Source decoding_source(DecodingSource &decoding) {
    return {read_decoded, &decoding};
}

void end_decoding_source(DecodingSource &decoding) {
    std::free(decoding.held);
    decoding.held = nullptr;
}

} // namespace morvane
