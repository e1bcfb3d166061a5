# Runs clang-format over the tracked C and C++ sources, failing on any drift.
#   -DGIT=... -DCLANG_FORMAT=... -DSOURCE_DIR=...
execute_process(COMMAND ${GIT} ls-files -- "*.c" "*.cpp" "*.h"
    WORKING_DIRECTORY ${SOURCE_DIR}
    OUTPUT_VARIABLE files OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE listed)
if(NOT listed EQUAL 0 OR files STREQUAL "")
    message(FATAL_ERROR "no tracked sources listed by git in ${SOURCE_DIR}")
endif()
string(REPLACE "\n" ";" files "${files}")
execute_process(COMMAND ${CLANG_FORMAT} --dry-run -Werror ${files}
    WORKING_DIRECTORY ${SOURCE_DIR}
    RESULT_VARIABLE formatted)
if(NOT formatted EQUAL 0)
    message(FATAL_ERROR "sources differ from .clang-format: run clang-format -i on the files named above")
endif()
