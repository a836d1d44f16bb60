# make_zip.cmake - lays out the Windows zip: a folder NAME holding
# jewelward.exe, every data file the start-up check names (listed by the
# program LIST_DATA_FILES), README.txt and the licence, packed into ZIP.
# The game runs in its own folder: it finds its data there and writes
# heroData.txt beside the exe.
foreach(var EXE DATA_DIR LIST_DATA_FILES README_IN LICENSE VERSION STAGE NAME ZIP)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "make_zip.cmake needs -D${var}=...")
  endif()
endforeach()
set(folder ${STAGE}/${NAME})
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${folder})

file(COPY ${EXE} DESTINATION ${folder})
execute_process(COMMAND ${LIST_DATA_FILES} OUTPUT_VARIABLE names RESULT_VARIABLE failed)
if(failed OR names STREQUAL "")
  message(FATAL_ERROR "${LIST_DATA_FILES} did not list the data files")
endif()
string(REGEX REPLACE "\n$" "" names "${names}")
string(REPLACE "\n" ";" names "${names}")
foreach(name IN LISTS names)
  if(NOT EXISTS "${DATA_DIR}/${name}")
    message(FATAL_ERROR "The data file \"${name}\" is not in ${DATA_DIR}")
  endif()
  file(COPY "${DATA_DIR}/${name}" DESTINATION ${folder})
endforeach()

# Text files with Windows line ends, for Notepad.
configure_file(${README_IN} ${folder}/README.txt @ONLY NEWLINE_STYLE CRLF)
# The licence arrives with the game's own LICENSE file; the zip's test
# requires it, so a zip made before it exists is never passed.
if(EXISTS ${LICENSE})
  configure_file(${LICENSE} ${folder}/LICENSE.txt COPYONLY)
  file(READ ${folder}/LICENSE.txt text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${folder}/LICENSE.txt "${text}")
else()
  message(WARNING "No ${LICENSE}: the zip carries no licence")
endif()

file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip ${NAME}
                WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "Could not write ${ZIP}")
endif()
