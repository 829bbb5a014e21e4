// libFuzzer target for the lister. The bytes are listed as an image: no
// crash, no read past them, the same listing twice. They are also converted
// as a listing; an image that results is listed and converted again, and
// must come back whole wherever every line of its listing reads back.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "in_memory.h"
#include "line_convert.h"
#include "line_text.h"
#include "tokenizer.h"

namespace {

struct Record {
    std::uint16_t number;
    std::string body;
};

// The records of an image the converter completed.
std::vector<Record> records_of(const std::string &image) {
    std::vector<Record> records;
    for (std::size_t at = 16; at + 12 < image.size();) {
        std::size_t terminator = image.find('\0', at + 4);
        auto number = static_cast<std::uint16_t>(static_cast<unsigned char>(image[at + 2]) |
                                                 static_cast<unsigned char>(image[at + 3]) << 8);
        records.push_back({number, image.substr(at + 4, terminator - at - 4)});
        at = terminator + 1;
    }
    return records;
}

// True if the line converts by the converter's own line code into the record.
bool reads_back(const std::string &line, const Record &record) {
    if (line.size() > LONGEST_LINE) return false;
    unsigned char body[BODY_ROOM];
    std::int32_t number = 0;
    int length = convert_line_in_memory(reinterpret_cast<const unsigned char *>(line.data()),
                                        static_cast<int>(line.size()), body, number);
    return length >= 0 && number == record.number &&
           std::string(reinterpret_cast<char *>(body), static_cast<std::size_t>(length)) ==
               record.body;
}

// Checks that the listing has one line per record, each starting with its
// record's number; true if every line also reads back into its record and
// the numbers increase, so that the listing converts whole.
bool every_line_reads_back(const std::string &listing, const std::vector<Record> &records) {
    bool all_read_back = true;
    std::size_t at = 0;
    for (std::size_t i = 0; i < records.size(); i++) {
        std::size_t end = listing.find('\n', at);
        require(end != std::string::npos, "a line for every record");
        std::string line = listing.substr(at, end + 1 - at);
        std::string head =
            std::to_string(records[i].number) + (records[i].body.empty() ? "\n" : " ");
        require(line.compare(0, head.size(), head) == 0, "a line starts with its record's number");
        if (i > 0 && records[i].number <= records[i - 1].number) all_read_back = false;
        if (!reads_back(line, records[i])) all_read_back = false;
        at = end + 1;
    }
    require(at == listing.size(), "no line without a record");
    return all_read_back;
}

void check_listing_as_image(const std::uint8_t *data, std::size_t size) {
    Outcome first = list_in_memory(data, size);
    Outcome second = list_in_memory(data, size);
    require(first.status == second.status && first.output == second.output,
            "same listing a second time");
    require(first.output.empty() || first.output.back() == '\n' || first.status != 0,
            "a complete listing ends with a line feed");
}

void check_round_trip(const std::uint8_t *data, std::size_t size) {
    Outcome image = convert_in_memory(data, size);
    if (image.status != 0) return;
    Outcome listing = list_in_memory(reinterpret_cast<const std::uint8_t *>(image.output.data()),
                                     image.output.size());
    require(listing.status == 0, "an image the converter completed lists whole");
    if (!every_line_reads_back(listing.output, records_of(image.output))) return;
    Outcome again = convert_in_memory(reinterpret_cast<const std::uint8_t *>(listing.output.data()),
                                      listing.output.size());
    require(again.status == 0 && again.output == image.output, "the image comes back whole");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    check_listing_as_image(data, size);
    check_round_trip(data, size);
    return 0;
}
