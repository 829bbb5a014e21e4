// The image's name as a listing's characters spell it: what the converter
// writes into the name field when told a name, and the name the lister
// tells of an image, in the spelling that gives it back.
#pragma once

#include <cstddef>

#include "core/basic/image_format.h"
#include "core/list/body_decoder.h"
#include "core/text/unicode_text.h"

namespace morvane {

enum class NameProblem {
    NONE,
    EMPTY,       // no character
    TOO_LONG,    // more target bytes than the field holds
    OUTSIDE_SET, // a character the target set lacks
    OUT_OF_MEMORY,
};

// Converts a name spelled in Shift_JIS, as a listing's text is, into the
// name field: its target bytes padded with 0x00.
NameProblem image_name_from_text(const unsigned char *text, std::size_t length, ImageName &name);

// The name morvane --name gives: the argument read as a listing's text
// is, in the encoding chosen or by its bytes.
NameProblem image_name_from_argument(const char *text, EncodingChoice encoding, ImageName &name);

// Calls print(format, text) with what is wrong with the name, unless nothing is.
template <typename Print>
void with_name_problem(NameProblem problem, const char *text, Print print) {
    switch (problem) {
    case NameProblem::NONE:
        break;
    case NameProblem::EMPTY:
        print("--name needs a name of 1 to 6 characters%s", text);
        break;
    case NameProblem::TOO_LONG:
        print("the name %s is longer than the 6 bytes of the image's name field", text);
        break;
    case NameProblem::OUTSIDE_SET:
        print("the name %s holds a character that is not in the target character set", text);
        break;
    case NameProblem::OUT_OF_MEMORY:
        print("not enough memory for the name %s", text);
        break;
    }
}

inline bool is_default_name(const ImageName &name) {
    for (int i = 0; i < NAME_LENGTH; i++)
        if (name.bytes[i] != DEFAULT_IMAGE_NAME.bytes[i]) return false;
    return true;
}

// Room for a name's spelling: a byte is spelled as a string's would be, a
// token (after a quote) by its keyword's name, in at most LONGEST_STEP_TEXT
// bytes each, which decoding stores whole.
constexpr int NAME_TEXT_ROOM = NAME_LENGTH * LONGEST_STEP_TEXT + 1;

// Writes at out the Shift_JIS text that image_name_from_text converts into
// this name, ending in 0x00; its length, or -1 if no text gives the name
// (a 0x00 before another byte, no byte at all, a byte no spelling gives).
int name_text(const ImageName &name, unsigned char *out);

} // namespace morvane
