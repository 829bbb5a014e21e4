// The listing run: its command line, the image listed record by record, and
// the way a broken image ends it.
#pragma once

#include <cstdint>

// Prints the usage text and exits 1 unless there are exactly two arguments.
void check_list_arguments_or_exit(int argument_count);

// Writes one listing line per record of the image on input_stream to
// output_stream, up to the trailer; the header is read already. Names on
// standard error each line that does not convert back into its record;
// true if there is none.
bool list_records();

// Ends the run at the first byte that does not fit the image format: keeps
// the lines of the records before it whole, prints the offset, exits 1.
[[noreturn]] void exit_broken_image(std::uint64_t offset);
