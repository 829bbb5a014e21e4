// The image a renumbered listing must convert into, told from the image
// of the original alone: each record with its number mapped and the line
// numbers its statements name mapped, read from the tokens the converter
// wrote, every other byte the same. An account of renumbering apart from
// its own, shared by its property test and its fuzz target.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/basic/keyword_table.h"

namespace renum_mapping {

struct Record {
    unsigned number;
    std::string body;
};

inline std::vector<Record> records_of(const std::string &image) {
    std::vector<Record> records;
    for (std::size_t at = 16; at + 4 <= image.size() && image[at] == '\xFF';) {
        std::size_t end = image.find('\0', at + 4);
        records.push_back({static_cast<unsigned char>(image[at + 2]) +
                               256u * static_cast<unsigned char>(image[at + 3]),
                           image.substr(at + 4, end - at - 4)});
        at = end + 1;
    }
    return records;
}

inline unsigned char token_of(const char *name) {
    unsigned char text[16] = {};
    std::memcpy(text, name, std::strlen(name));
    int length = 0;
    return static_cast<unsigned char>(morvane::match_keyword(text, length));
}

// Maps the references of a record body as written in the image, read from
// its tokens: an account of the reference forms apart from the renumbering's own.
class BodyMapper {
  public:
    explicit BodyMapper(const std::map<unsigned, unsigned> &map) : map_(map) {
        for (const auto &[old_number, new_number] : map)
            new_numbers_.insert(new_number);
    }

    // True once a reference named a missing line whose number a line gets.
    bool retargets() const { return retargets_; }

    std::string mapped(const std::string &body) {
        body_ = body;
        out_.clear();
        at_ = 0;
        while (at_ < body_.size()) {
            auto c = static_cast<unsigned char>(body_[at_]);
            if (c == '"') {
                std::size_t close = body_.find('"', at_ + 1);
                std::size_t end = close == std::string::npos ? body_.size() : close + 1;
                out_ += body_.substr(at_, end - at_);
                at_ = end;
                continue;
            }
            out_ += body_[at_++];
            if (c == REM) {
                out_ += body_.substr(at_);
                break;
            }
            if (c == DATA) copy_data();
            if (c == GOTO || c == GOSUB || c == THEN || c == RESTORE || c == RUN) map_items(c);
            if (c == LIST || c == LLIST || c == DELETE) map_range();
        }
        return out_;
    }

  private:
    const unsigned char GOTO = token_of("GOTO"), GOSUB = token_of("GOSUB"), THEN = token_of("THEN"),
                        RESTORE = token_of("RESTORE"), RUN = token_of("RUN"),
                        LIST = token_of("LIST"), LLIST = token_of("LLIST"),
                        DELETE = token_of("DELETE"), REM = token_of("REM"), DATA = token_of("DATA"),
                        MINUS = token_of("-");
    const std::string OPERATORS = {static_cast<char>(token_of("+")), static_cast<char>(MINUS),
                                   static_cast<char>(token_of("*")),
                                   static_cast<char>(token_of("/")),
                                   static_cast<char>(token_of("^"))};
    const unsigned char ON = token_of("ON"), OR = token_of("OR");
    const std::map<unsigned, unsigned> &map_;
    std::set<unsigned> new_numbers_;
    std::string body_, out_;
    std::size_t at_ = 0;
    bool retargets_ = false;

    // ON ERROR GOTO, as the converter wrote it: ON, ERR as letters, OR, then
    // the GOTO at goto_at, with spaces anywhere between.
    bool after_on_error(std::size_t goto_at) const {
        std::size_t at = goto_at;
        auto back_over_spaces = [&] {
            while (at > 0 && body_[at - 1] == ' ')
                at--;
        };
        back_over_spaces();
        if (at < 1 || static_cast<unsigned char>(body_[at - 1]) != OR) return false;
        at--;
        back_over_spaces();
        if (at < 3) return false;
        std::string err = body_.substr(at - 3, 3);
        for (char &c : err)
            c = static_cast<char>(c & ~0x20);
        at -= 3;
        if (err != "ERR") return false;
        back_over_spaces();
        return at > 0 && static_cast<unsigned char>(body_[at - 1]) == ON;
    }

    void copy_spaces() {
        while (at_ < body_.size() && body_[at_] == ' ')
            out_ += body_[at_++];
    }
    char after_spaces(std::size_t from) const {
        while (from < body_.size() && body_[from] == ' ')
            from++;
        return from < body_.size() ? body_[from] : '\0';
    }
    void copy_data() {
        for (bool quoted = false; at_ < body_.size();) {
            char d = body_[at_++];
            out_ += d;
            if (d == '"') quoted = !quoted;
            if (d == ':' && !quoted) return;
        }
    }
    // One number: mapped unless it starts an expression or names no line;
    // the 0 of ON ERROR GOTO 0 names none.
    void map_number(bool may_be_computed, bool error_trap = false) {
        copy_spaces();
        std::size_t end = at_;
        while (end < body_.size() && body_[end] >= '0' && body_[end] <= '9')
            end++;
        std::string digits = body_.substr(at_, end - at_);
        at_ = end;
        bool computed = may_be_computed && OPERATORS.find(after_spaces(end)) != std::string::npos;
        unsigned long value = digits.size() < 9 && !digits.empty() ? std::stoul(digits) : 1UL << 20;
        if (computed || (error_trap && value == 0)) {
            out_ += digits;
            return;
        }
        auto found = map_.find(static_cast<unsigned>(value));
        if (found == map_.end() && new_numbers_.count(static_cast<unsigned>(value)) > 0)
            retargets_ = true;
        out_ += found != map_.end() ? std::to_string(found->second) : digits;
    }
    void map_items(unsigned char token) {
        bool list = token == GOTO || token == GOSUB;
        bool error_trap = token == GOTO && after_on_error(at_ - 1);
        for (;;) {
            map_number(token != THEN, error_trap);
            if (!list || after_spaces(at_) != ',') return;
            copy_spaces();
            out_ += body_[at_++];
        }
    }
    void map_range() {
        map_number(false);
        if (after_spaces(at_) != static_cast<char>(MINUS)) return;
        copy_spaces();
        out_ += body_[at_++];
        map_number(false);
    }
};

// The image the renumbered listing must convert into, or "" if renumbering must refuse.
inline std::string expected_image(const std::string &image, unsigned start, unsigned step,
                                  unsigned from) {
    std::vector<Record> records;
    for (const Record &record : records_of(image))
        if (record.body.find_first_not_of(" \t") != std::string::npos) records.push_back(record);
    std::map<unsigned, unsigned> map;
    std::size_t kept = 0;
    for (; kept < records.size() && records[kept].number < from; kept++)
        map[records[kept].number] = records[kept].number;
    if (kept > 0 && kept < records.size() && records[kept - 1].number >= start) return "";
    for (std::size_t i = kept; i < records.size(); i++) {
        std::uint64_t number = start + std::uint64_t{step} * (i - kept);
        if (number > 65535) return "";
        map[records[i].number] = static_cast<unsigned>(number);
    }
    BodyMapper mapper(map);
    std::string expected = image.substr(0, 16);
    for (const Record &record : records) {
        unsigned number = map[record.number];
        expected += std::string("\xFF\xFF") + static_cast<char>(number & 0xFF) +
                    static_cast<char>(number >> 8) + mapper.mapped(record.body) + '\0';
    }
    return mapper.retargets() ? "" : expected + std::string(12, '\0');
}

} // namespace renum_mapping
