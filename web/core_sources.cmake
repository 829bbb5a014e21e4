# Prints the core's sources, one a line, for web/build:
# cmake -P web/core_sources.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../src/core/sources.cmake)
foreach(source ${MORVANE_CORE_SOURCES})
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo ${source})
endforeach()
