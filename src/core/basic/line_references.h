// The line numbers a line's statements name: after GOTO, GOSUB, THEN,
// RESTORE and RUN, each item of the list after GOTO and GOSUB (ON X GOTO
// 10,20), and both ends of the range after LIST, LLIST and DELETE. Read
// from a line's text in target codes, as the tokenizer's states see it.
#pragma once

#include <cstdint>

#include "core/basic/keyword_table.h"

namespace morvane {


enum class ReferenceKind {
    NUMBER,   // a run of digits
    LABEL,    // @ and a letter, then letters, digits or _: a line named in a listing with labels
    COMPUTED, // an expression (GOTO A*10, GOTO 100+X): no line can be told
};

struct Reference {
    int start, end; // the reference's bytes in the text; a computed one's first byte only
    std::int32_t token;
    ReferenceKind kind;
    std::uint64_t number; // a NUMBER's value, held at 2^31 at most
};

using ReferenceFunction = void (*)(void *context, const Reference &reference);

// True for the tokens a line number may follow.
bool is_reference_token(std::int32_t token);

// Reads the references after token, which ends at text + at, and tells
// each to found; returns where the last one ends, or at if there is none.
int read_references(const unsigned char *text, int at, std::int32_t token, ReferenceFunction found,
                    void *context);

// Walks the statements from text + at to the line's end as the tokenizer
// does, past strings, DATA items and remarks, and tells every reference.
void find_references(const unsigned char *text, int at, ReferenceFunction found, void *context);

} // namespace morvane
