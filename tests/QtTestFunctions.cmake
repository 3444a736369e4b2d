# Lists the functions of a QtTest binary into a file; run after each build.
execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${TEST_BINARY} -functions
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TEST_BINARY} -functions failed: ${status}")
endif()
string(REGEX REPLACE "\\(\\)" "" listing "${listing}")
file(WRITE ${OUTPUT} "${listing}")
