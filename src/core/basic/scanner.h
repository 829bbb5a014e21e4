// The statement scanner: one line's text in target codes, walked as the
// converter's tokenizer walks it, told as items: the line number, each
// keyword token (spelled by its letters or standing as its raw byte),
// each line number a statement names, strings, DATA items, remarks, names,
// other numbers and other characters. Labels (an @name alone on a line, or
// where a statement names a line) are read as morvane-renum reads them.
#pragma once

#include <cstdint>

namespace morvane {

// The numbers of the scan API's item kinds.
enum class ItemKind : std::uint8_t {
    LINE_NUMBER = 1, // the digits that start the line
    KEYWORD = 2,     // what the converter writes as one token
    REFERENCE = 3,   // a line number a statement names
    LABEL = 4,       // @name: a line labelled, or named where a statement names a line
    NUMBER = 5,      // any other run of digits
    STRING = 6,      // a string literal with its quotes, to the line's end if not closed
    DATA = 7,        // what follows DATA, up to the colon outside quotes that ends it
    REMARK = 8,      // what follows REM, to the line's end
    NAME = 9,        // letters and digits that hold no keyword, starting with a letter
    OTHER = 10,      // any other character, spaces excepted
};

// Digit values are held at this; no line number comes near it.
constexpr std::uint64_t VALUE_LIMIT = 0x7FFFFFFFFFFFFFFF;

struct Item {
    ItemKind kind;
    // The first item of a target that an expression computes (GOTO A*10,
    // GOTO 100+X), which no line number can be told for.
    bool computed_target;
    // KEYWORD: its token; REFERENCE, LABEL and a computed target: the
    // token before them (GOTO, THEN, LIST, ...).
    std::int32_t token;
    int start, end;      // its bytes in the line's text
    std::uint64_t value; // LINE_NUMBER and REFERENCE: the digits, held at VALUE_LIMIT
};

// The scanner's state: where it stands and what it expects there.
struct LineScan {
    const unsigned char *text;
    int at;
    std::uint8_t mode;
    std::int32_t after_token; // the token whose line numbers are being read
    bool computed_next;       // the next item starts a computed target
    int pending_count;        // items read ahead: a sign or comma and what follows it
    Item pending[2];
};

// Starts at the line's first byte. text ends at its line feed or a 0x00,
// with SCAN_PADDING 0x00s readable beyond.
void start_line_scan(LineScan &scan, const unsigned char *text);

// The next item, in the line's order; false at the line's end.
bool scan_item(LineScan &scan, Item &item);

// Every item of the line at once, into items, which has room for as many
// as the line has bytes; returns how many. targets gets how many of them
// name a line or start a computed target.
int scan_line(const unsigned char *text, Item *items);
int scan_line(const unsigned char *text, Item *items, int &targets);

// The line number made of the digits at text (at least one), as the scanner tells it.
Item line_number_item(const unsigned char *text);

// The line number's digits as the converter takes them: wrapped to 32
// bits, as the machine's BASIC does; over_32_bits says if they were more.
std::uint32_t wrapped_line_number(const unsigned char *text, const Item &number,
                                  bool &over_32_bits);

// True for the tokens that jump to a line or read from it: all but LIST, LLIST and DELETE.
bool is_jump_token(std::int32_t token);

// True if the keyword at items[index] is the OR of ON ERROR, which the
// tokenizer reads as ON, the name ERR and the keyword OR (the machine reads
// past spaces between them).
bool is_on_error(const unsigned char *text, const Item *items, int index);

// True if the reference at items[index] is the 0 of ON ERROR GOTO 0, which
// turns error trapping off and names no line. The tokenizer reads ERROR as
// the name ERR and the keyword OR.
bool turns_error_trapping_off(const unsigned char *text, const Item *items, int index);

} // namespace morvane
