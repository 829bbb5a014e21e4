#include "core/basic/listing_text.h"

#include <cstring>

#include "core/basic/charset.h"
#include "core/basic/line_text.h"

namespace morvane {

void EditorCursor::move_to(std::size_t offset) {
    while (at < offset && at < length) {
        unsigned char b = bytes[at++];
        if (b == '\n' || (b == '\r' && !(at < length && bytes[at] == '\n'))) {
            line++;
            column = 1;
            continue;
        }
        if (b == '\r') continue; // the line feed after it ends the line
        if (is_sjis_first_byte(b) && at < length && is_sjis_second_byte(bytes[at])) at++;
        column++;
    }
}

int convert_with_origins(const unsigned char *text, const std::size_t *origin, int length,
                         unsigned char *out, std::size_t *out_origin,
                         CharsetProblemFunction problem, void *context) {
    auto tell = [&](CharsetProblemKind kind, int at, unsigned char first, unsigned char second) {
        if (problem != nullptr) problem(context, kind, origin[at], first, second);
    };
    // One character at a time goes through the converter's charset code,
    // which looks at eight bytes at once: those after the pair are 0x00.
    unsigned char pair[LINE_BUFFER_SIZE + SCAN_PADDING];
    std::memset(pair, 0x00, 2 * SCAN_PADDING);
    int written = 0;
    for (int i = 0; i < length && text[i] != 0x00;) {
        unsigned char b = text[i];
        unsigned char next = i + 1 < length ? text[i + 1] : 0x00;
        if (b >= 0x80 && b <= 0x9F) {
            pair[0] = b;
            pair[1] = next;
            pair[2] = pair[3] = 0x00;
            if (next == '\n' || next == 0x00) {
                tell(CharsetProblemKind::NO_SECOND_BYTE, i, b, next);
                i++;
                continue;
            }
            if (!convert_charset(pair)) {
                tell(CharsetProblemKind::NOT_IN_SET, i, b, next);
            } else {
                for (int k = 0; pair[k] != 0x00; k++) {
                    out_origin[written] = origin[i];
                    out[written++] = pair[k];
                }
            }
            i += 2;
            continue;
        }
        out_origin[written] = origin[i];
        out[written++] = b;
        i++;
        if (b >= 0xE0 && b <= 0xFC && is_sjis_second_byte(next)) {
            tell(CharsetProblemKind::PASSED_THROUGH, i - 1, b, next);
            // A second byte that starts a two-byte character is read as one.
            if (next < 0x80 || next > 0x9F) {
                out_origin[written] = origin[i];
                out[written++] = next;
                i++;
            }
        }
    }
    std::memset(out + written, 0x00, SCAN_PADDING);
    return written;
}

} // namespace morvane
