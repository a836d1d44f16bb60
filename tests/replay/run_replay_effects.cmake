# Runs one replay with the sound effects and without them: the summaries must
# be the same (the effects change nothing of play), and a replay that reaches
# play must have started some effect, or the comparison proves nothing.
execute_process(COMMAND ${REPLAY} --data ${DATA} ${INPUT}
                OUTPUT_VARIABLE with ERROR_VARIABLE counts RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "replay with effects failed with ${status}")
endif()
execute_process(COMMAND ${REPLAY} --data ${DATA} --no-effects ${INPUT}
                OUTPUT_VARIABLE without ERROR_VARIABLE quiet RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "replay without effects failed with ${status}")
endif()
if(NOT with STREQUAL without)
  message(FATAL_ERROR "the summary with effects differs from the one without:\n${with}\n---\n${without}")
endif()
if(NOT quiet MATCHES "effects started: swing 0 hit 0 boss 0 hurt 0 jewel 0 levelup 0 heal 0 gameover 0 victory 0 page 0 saved 0")
  message(FATAL_ERROR "effects were started with --no-effects: ${quiet}")
endif()
string(REGEX MATCH "effects started:[^\n]*" line "${counts}")
message(STATUS "${line}")
if(with MATCHES "ticks: title [0-9]+ play [1-9]" AND NOT line MATCHES " [1-9]")
  message(FATAL_ERROR "a replay that reaches play started no effect: ${line}")
endif()
