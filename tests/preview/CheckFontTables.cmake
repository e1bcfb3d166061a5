# Regenerates the font tables and compares them with the committed ones.
execute_process(COMMAND ${PYTHON} ${GENERATOR} OUTPUT_FILE ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gen_fonts.py failed (${rc})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${TABLES} RESULT_VARIABLE diff)
if(NOT diff EQUAL 0)
    message(FATAL_ERROR "FontTables.cpp differs from the glyphs drawn in gen_fonts.py")
endif()
