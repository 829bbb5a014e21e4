# The core's sources, for CMake and for the page's build (web/build reads
# this list through web/core_sources.cmake): the one place they are named.
# By part: io (sources, sinks, outcomes), basic (the machine's BASIC: its
# keywords, characters, image layout and the one reading of a listing),
# text (listings in Unicode: the table against the target set, UTF-8 read
# as the Shift_JIS the rest reads), findings (the kinds of finding),
# convert, list, check and renum.
set(MORVANE_CORE_SOURCES
  src/core/io/output_block.cpp
  src/core/io/memory_sink.cpp
  src/core/basic/keyword_table.cpp
  src/core/basic/charset.cpp
  src/core/basic/editor_position.cpp
  src/core/basic/listing_front.cpp
  src/core/basic/scanner.cpp
  src/core/text/unicode_table.cpp
  src/core/text/unicode_text.cpp
  src/core/text/listing_decoding.cpp
  src/core/text/utf8_listing.cpp
  src/core/findings/findings.cpp
  src/core/findings/file_places.cpp
  src/core/findings/file_items.cpp
  src/core/convert/line_number.cpp
  src/core/convert/tokenizer.cpp
  src/core/convert/line_convert.cpp
  src/core/convert/convert_run.cpp
  src/core/convert/convert_reader.cpp
  src/core/convert/convert_image.cpp
  src/core/list/list_run.cpp
  src/core/list/list_image.cpp
  src/core/list/body_decoder.cpp
  src/core/list/line_number_text.cpp
  src/core/list/list_decode.cpp
  src/core/list/image_name.cpp
  src/core/check/check_listing.cpp
  src/core/check/label_check.cpp
  src/core/renum/renum_lines.cpp
  src/core/renum/renum_labels.cpp
  src/core/renum/renumber_listing.cpp)
