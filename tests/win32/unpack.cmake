# Unpacks the package ARCHIVE into a fresh FOLDER, as a user would, and checks that it holds
# the tool and its converter and nothing else.
# Usage: cmake -DARCHIVE=ZIP -DFOLDER=DIR -P unpack.cmake
file(REMOVE_RECURSE "${FOLDER}")
file(ARCHIVE_EXTRACT INPUT "${ARCHIVE}" DESTINATION "${FOLDER}")
file(GLOB_RECURSE files RELATIVE "${FOLDER}" "${FOLDER}/*")
list(SORT files)
if(NOT files STREQUAL "Vellumor.exe;bin/xps2img.exe")
  message(FATAL_ERROR "The package holds: ${files}")
endif()
