# Runs one replay and diffs its summary against the expected file.
# With UPDATE=1 in the environment the expected file is rewritten instead.
execute_process(COMMAND ${REPLAY} --data ${DATA} ${INPUT}
                OUTPUT_VARIABLE actual RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "replay failed with ${status}")
endif()
if("$ENV{UPDATE}" STREQUAL "1")
  file(WRITE ${EXPECTED} "${actual}")
  return()
endif()
file(READ ${EXPECTED} expected)
if(NOT actual STREQUAL expected)
  file(WRITE ${OUTPUT} "${actual}")
  execute_process(COMMAND diff -u ${EXPECTED} ${OUTPUT})
  message(FATAL_ERROR "the replay's summary differs from ${EXPECTED} (actual: ${OUTPUT})")
endif()
