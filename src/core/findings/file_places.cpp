#include "core/findings/file_places.h"

namespace morvane {
namespace {

EditorPosition file_position(FilePlaces &places, std::size_t offset) {
    // Findings come in file order; one that does not is counted from the start.
    if (offset < places.cursor.at) {
        const ListingText &listing = *places.listing;
        places.cursor = start_editor_cursor(listing.file, listing.file_length, true);
    }
    return editor_position(places.cursor, offset);
}

void tell_in_file(void *context, const Finding &finding) {
    auto &places = *static_cast<FilePlaces *>(context);
    const ListingText &listing = *places.listing;
    Finding moved = finding;
    std::size_t start = file_offset(listing, finding.start.offset);
    std::size_t end = file_offset(listing, finding.end.offset);
    EditorPosition at = file_position(places, start);
    EditorPosition after =
        editor_position_after(listing.file, listing.file_length, places.cursor.at, at, end, true);
    moved.start = {at.line, at.column, start};
    moved.end = {after.line, after.column, end};
    // A character read as the pair no character has is named as the file holds it.
    std::size_t text_at = finding.start.offset;
    bool outside = finding.id == FindingId::CHARSET_NOT_IN_SET && text_at + 1 < listing.length &&
                   listing.text[text_at] == OUTSIDE_SET_FIRST &&
                   listing.text[text_at + 1] == OUTSIDE_SET_SECOND;
    // Its pair stands twice: the character is told once.
    bool again = outside && places.told_outside && places.last_outside == start;
    if (again) return;
    if (outside) places.told_outside = true, places.last_outside = start;
    if (outside && start < listing.file_length) {
        char name[CHARACTER_NAME_ROOM];
        name_character(code_point_at(listing, finding.start.offset), listing.file + start, 1, name);
        set_finding(moved, finding.id, name);
        moved.lines = finding.lines;
    }
    places.sink.found(places.sink.context, moved);
}

} // namespace

FindingSink findings_in_file(FilePlaces &places, const ListingText &listing, FindingSink sink) {
    if (listing.encoding == Encoding::SHIFT_JIS) return sink;
    places = {&listing, start_editor_cursor(listing.file, listing.file_length, true), sink, false,
              0};
    return {tell_in_file, &places};
}

} // namespace morvane
