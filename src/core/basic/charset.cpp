#include "core/basic/charset.h"

#include "core/basic/line_text.h"
#include "core/basic/word_scan.h"

namespace morvane {

// clang-format off
constexpr std::uint32_t CODE_TABLE[CODE_TABLE_SIZE] = {
    //         +0      +1      +2      +3      +4      +5      +6      +7      +8      +9      +A      +B      +C      +D      +E      +F
    /* 0x00 */ 0x0000, 0x8C8E, 0x89CE, 0x9085, 0x96D8, 0x8BE0, 0x9379, 0x93FA, 0x944E, 0x897E, 0x8E9E, 0x95AA, 0x9562, 0x9553, 0x90E7, 0x969C,
    /* 0x10 */ 0x83CE, 0x84B3, 0x84B1, 0x84B2, 0x84B0, 0x84B4, 0x84AB, 0x84AA, 0x84AC, 0x84AD, 0x84AF, 0x84AE, 0x817E, 0x91E5, 0x9286, 0x8FAC,
    /* 0x20 */ 0x8140, 0x8149, 0x8168, 0x8194, 0x8190, 0x8193, 0x8195, 0x8166, 0x8169, 0x816A, 0x8196, 0x817B, 0x8143, 0x817C, 0x8144, 0x815E,
    /* 0x30 */ 0x824F, 0x8250, 0x8251, 0x8252, 0x8253, 0x8254, 0x8255, 0x8256, 0x8257, 0x8258, 0x8146, 0x8147, 0x8183, 0x8181, 0x8184, 0x8148,
    /* 0x40 */ 0x8197, 0x8260, 0x8261, 0x8262, 0x8263, 0x8264, 0x8265, 0x8266, 0x8267, 0x8268, 0x8269, 0x826A, 0x826B, 0x826C, 0x826D, 0x826E,
    /* 0x50 */ 0x826F, 0x8270, 0x8271, 0x8272, 0x8273, 0x8274, 0x8275, 0x8276, 0x8277, 0x8278, 0x8279, 0x816B, 0x818F, 0x816C, 0x814F, 0x8151,
    /* 0x60 */ 0x0000, 0x8281, 0x8282, 0x8283, 0x8284, 0x8285, 0x8286, 0x8287, 0x8288, 0x8289, 0x828A, 0x828B, 0x828C, 0x828D, 0x828E, 0x828F,
    /* 0x70 */ 0x8290, 0x8291, 0x8292, 0x8293, 0x8294, 0x8295, 0x8296, 0x8297, 0x8298, 0x8299, 0x829A, 0x816F, 0x8162, 0x8170, 0x8160, 0x8140,
    /* 0x80 */ 0x81A3, 0x81A5, 0x819A, 0x819F, 0x819B, 0x819C, 0x82F0, 0x829F, 0x82A1, 0x82A3, 0x82A5, 0x82A7, 0x82E1, 0x82E3, 0x82E5, 0x82C1,
    /* 0x90 */ 0x0000, 0x82A0, 0x82A2, 0x82A4, 0x82A6, 0x82A8, 0x82A9, 0x82AB, 0x82AD, 0x82AF, 0x82B1, 0x82B3, 0x82B5, 0x82B7, 0x82B9, 0x82BB,
    /* 0xA0 */ 0x0000, 0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387, 0x8362,
    /* 0xB0 */ 0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C, 0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C,
    /* 0xC0 */ 0x835E, 0x8360, 0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C, 0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D,
    /* 0xD0 */ 0x837E, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389, 0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,
    /* 0xE0 */ 0x82BD, 0x82BF, 0x82C2, 0x82C4, 0x82C6, 0x82C8, 0x82C9, 0x82CA, 0x82CB, 0x82CC, 0x82CD, 0x82D0, 0x82D3, 0x82D6, 0x82D9, 0x82DC,
    /* 0xF0 */ 0x82DD, 0x82DE, 0x82DF, 0x82E0, 0x82E2, 0x82E4, 0x82E6, 0x82E7, 0x82E8, 0x82E9, 0x82EA, 0x82EB, 0x82ED, 0x82F1, 0x0000, 0x0000,
};

constexpr std::uint32_t VOICED_TABLE[VOICED_TABLE_SIZE] = {
    // voiced: the plain kana is the code minus 1
    0x82AA, 0x82AC, 0x82AE, 0x82B0, 0x82B2, 0x82B4, 0x82B6, 0x82B8, 0x82BA, 0x82BC,
    0x82BE, 0x82C0, 0x82C3, 0x82C5, 0x82C7, 0x82CE, 0x82D1, 0x82D4, 0x82D7, 0x82DA,
    0x834B, 0x834D, 0x834F, 0x8351, 0x8353, 0x8355, 0x8357, 0x8359, 0x835B, 0x835D,
    0x835F, 0x8361, 0x8364, 0x8366, 0x8368, 0x836F, 0x8372, 0x8375, 0x8378, 0x837B,
    // semi-voiced: the plain kana is the code minus 2
    0x82CF, 0x82D2, 0x82D5, 0x82D8, 0x82DB, 0x8370, 0x8373, 0x8376, 0x8379, 0x837C,
    // VU: a voiced U
    0x8394,
};
// clang-format on

namespace {

constexpr unsigned char FIRST_LEAD_BYTE = 0x80;
constexpr unsigned char LAST_LEAD_BYTE = 0x9F;
constexpr int LEAD_BYTE_COUNT = LAST_LEAD_BYTE - FIRST_LEAD_BYTE + 1;
constexpr std::uint32_t KATAKANA_U = 0x8345;

// What a two-byte character becomes: 0 for no target code, otherwise
// HAS_TARGET, the target code in the low byte and the sound mark above it.
constexpr std::uint16_t HAS_TARGET = 0x8000;
constexpr std::uint16_t WITH_VOICED_MARK = 0x0100;
constexpr std::uint16_t WITH_SEMI_VOICED_MARK = 0x0200;

bool is_lead_byte(unsigned char b) {
    return b >= FIRST_LEAD_BYTE && b <= LAST_LEAD_BYTE;
}

// True if any byte of the word is 0x00 or a lead byte: lead bytes are the
// ones whose top three bits are 100.
bool may_end_or_lead(std::uint64_t word) {
    std::uint64_t top_bits = word & (EVERY_BYTE * 0xE0);
    return has_byte_below(word, 1) || has_byte_below(top_bits ^ (EVERY_BYTE * 0x80), 1);
}

// The lowest target code showing the Shift_JIS code, as HAS_TARGET | code; 0 if none.
constexpr std::uint16_t plain_target(std::uint32_t code) {
    for (int j = 0; j < CODE_TABLE_SIZE; j++)
        if (CODE_TABLE[j] == code) return static_cast<std::uint16_t>(HAS_TARGET | j);
    return 0;
}

// A marked kana becomes its plain kana's target code with the mark; the
// first matching entry wins, as the table is searched from the start.
constexpr std::uint16_t marked_target(int entry) {
    std::uint32_t code = VOICED_TABLE[entry];
    if (entry >= VU_ENTRY) return plain_target(KATAKANA_U) | WITH_VOICED_MARK;
    if (entry >= FIRST_SEMI_VOICED_ENTRY) return plain_target(code - 2) | WITH_SEMI_VOICED_MARK;
    return plain_target(code - 1) | WITH_VOICED_MARK;
}

// Every two-byte character, indexed by lead byte and trail byte, resolved
// once at compile time from the two tables.
struct TwoByteTargets {
    std::uint16_t target[LEAD_BYTE_COUNT][256];
};

constexpr void set_target(TwoByteTargets &targets, std::uint32_t code, std::uint16_t target) {
    if (code >> 8 < FIRST_LEAD_BYTE || code >> 8 > LAST_LEAD_BYTE) return;
    targets.target[(code >> 8) - FIRST_LEAD_BYTE][code & 0xFF] = target;
}

constexpr TwoByteTargets build_two_byte_targets() {
    TwoByteTargets targets{};
    for (int j = CODE_TABLE_SIZE - 1; j >= 0; j--)
        set_target(targets, CODE_TABLE[j], static_cast<std::uint16_t>(HAS_TARGET | j));
    for (int entry = VOICED_TABLE_SIZE - 1; entry >= 0; entry--) {
        std::uint16_t target = marked_target(entry);
        if ((target & HAS_TARGET) == 0) target = 0;
        set_target(targets, VOICED_TABLE[entry], target);
    }
    return targets;
}

constexpr TwoByteTargets TWO_BYTE_TARGETS = build_two_byte_targets();

// Stores what a two-byte character becomes at text[write]; returns the next write index.
int store_target(unsigned char *text, int write, std::uint16_t target) {
    auto code = static_cast<unsigned char>(target & 0xFF);
    if (code <= 0x1F) {
        text[write++] = CONTROL_CODE_ESCAPE;
        text[write++] = static_cast<unsigned char>(code + 0x30);
        return write;
    }
    text[write++] = code;
    if (target & WITH_VOICED_MARK) text[write++] = VOICED_MARK;
    if (target & WITH_SEMI_VOICED_MARK) text[write++] = SEMI_VOICED_MARK;
    return write;
}

} // namespace

bool convert_charset(unsigned char *text) {
    int read = 0;
    // Most lines hold no two-byte character: nothing moves until the first
    // one, or the 0x00 that ends the line, which the search skips to eight
    // bytes at a time. Bytes after the 0x00 may be looked at, never used.
    while (read + 8 <= LINE_BUFFER_SIZE && !may_end_or_lead(load_word(text + read)))
        read += 8;
    while (!is_lead_byte(text[read])) {
        if (text[read] == 0x00) return true;
        read++;
    }
    int write = read;
    for (;;) {
        unsigned char lead = text[read++];
        if (lead == 0x00) break;
        if (!is_lead_byte(lead)) {
            text[write++] = lead;
            continue;
        }
        // The trail byte may be the line feed or the terminating 0x00; no
        // character has either, so the line is never read past its end.
        std::uint16_t target = TWO_BYTE_TARGETS.target[lead - FIRST_LEAD_BYTE][text[read++]];
        if (target == 0) return false;
        write = store_target(text, write, target);
    }
    text[write] = 0x00;
    return true;
}

int convert_two_byte_character(unsigned char lead, unsigned char trail, unsigned char *out) {
    std::uint16_t target = TWO_BYTE_TARGETS.target[lead - FIRST_LEAD_BYTE][trail];
    return target == 0 ? 0 : store_target(out, 0, target);
}

int first_unconvertible_character(const unsigned char *text) {
    for (int read = 0; text[read] != 0x00; read++) {
        if (!is_lead_byte(text[read])) continue;
        if (TWO_BYTE_TARGETS.target[text[read] - FIRST_LEAD_BYTE][text[read + 1]] == 0) return read;
        read++;
    }
    return -1;
}

} // namespace morvane
