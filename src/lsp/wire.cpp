#include "lsp/wire.h"

#include <cstring>

namespace morvane::lsp {
namespace {

constexpr char HEADER_END[] = "\r\n\r\n";
// A header longer than this is no header of this protocol.
constexpr std::size_t LONGEST_HEADER = 4096;

bool read_more(WireReader &reader) {
    if (reader.ended) return false;
    char block[64 * 1024];
    long long got = reader.read(reader.context, block, sizeof block);
    if (got <= 0) {
        reader.ended = true;
        return false;
    }
    reader.buffer.append(block, static_cast<std::size_t>(got));
    return true;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Where the last "Content-Length:" of the header stands, in any case;
// npos if none. The last, so that the bytes a wrong length left over from
// the message before are passed by and the stream finds its step again.
std::size_t last_content_length(const std::string &header) {
    static const char NAME[] = "content-length:";
    const std::size_t name_length = sizeof NAME - 1;
    for (std::size_t at = header.size(); at >= name_length; at--) {
        std::size_t start = at - name_length, i = 0;
        while (i < name_length && lower(header[start + i]) == NAME[i])
            i++;
        if (i == name_length) return start;
    }
    return std::string::npos;
}

// The Content-Length in the header; false if it is no decimal number
// within LARGEST_BODY.
bool content_length(const std::string &header, std::size_t &length) {
    std::size_t at = last_content_length(header);
    if (at == std::string::npos) return false;
    std::size_t end = header.find("\r\n", at);
    if (end == std::string::npos) end = header.size();
    std::size_t i = at + std::strlen("content-length:");
    while (i < end && (header[i] == ' ' || header[i] == '\t'))
        i++;
    std::size_t value = 0, digits = 0;
    for (; i < end && header[i] >= '0' && header[i] <= '9'; i++, digits++) {
        value = value * 10 + static_cast<std::size_t>(header[i] - '0');
        if (value > LARGEST_BODY) return false;
    }
    while (i < end && (header[i] == ' ' || header[i] == '\t'))
        i++;
    if (digits == 0 || i != end) return false;
    length = value;
    return true;
}

} // namespace

WireStatus read_message(WireReader &reader, std::string &body) {
    std::size_t header_end;
    while ((header_end = reader.buffer.find(HEADER_END)) == std::string::npos) {
        if (reader.buffer.size() > LONGEST_HEADER) {
            // No header ends here: what came is dropped up to the last line end.
            std::size_t line_end = reader.buffer.rfind("\r\n");
            reader.buffer.erase(0, line_end == std::string::npos ? reader.buffer.size() : line_end);
            return WireStatus::BAD_HEADER;
        }
        if (!read_more(reader)) return WireStatus::ENDED;
    }
    std::size_t length = 0;
    bool known = content_length(reader.buffer.substr(0, header_end), length);
    reader.buffer.erase(0, header_end + std::strlen(HEADER_END));
    if (!known) return WireStatus::BAD_HEADER;
    while (reader.buffer.size() < length)
        if (!read_more(reader)) return WireStatus::ENDED;
    body.assign(reader.buffer, 0, length);
    reader.buffer.erase(0, length);
    return WireStatus::MESSAGE;
}

bool message_waiting(const WireReader &reader) {
    std::size_t header_end = reader.buffer.find(HEADER_END);
    if (header_end == std::string::npos) return false;
    std::size_t length = 0;
    if (!content_length(reader.buffer.substr(0, header_end), length)) return true;
    return reader.buffer.size() >= header_end + std::strlen(HEADER_END) + length;
}

std::string frame_header(const std::string &body) {
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
}

} // namespace morvane::lsp
