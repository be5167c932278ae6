# Fills a release folder; run by the release target (cmake/Release.cmake) with
#   -DOUT=folder -DBRAIN=brain -DTOOL=kesta-tool -DEMULATOR=runner -DCROSSCOMPILING=bool
#   -DTEXT_FILES=files to copy
# The folder is made anew, so it never keeps files of an earlier release.
cmake_minimum_required(VERSION 3.20)

if(CROSSCOMPILING AND NOT EMULATOR)
  message(FATAL_ERROR "AIEval.txt is written by running ${TOOL}, which needs Wine here "
                      "(Debian packages wine64 and wine)")
endif()

file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
file(COPY "${BRAIN}" DESTINATION "${OUT}")
foreach(text IN LISTS TEXT_FILES)
  file(COPY "${text}" DESTINATION "${OUT}")
endforeach()

execute_process(
  COMMAND ${EMULATOR} "${TOOL}" default-eval
  OUTPUT_FILE "${OUT}/AIEval.txt"
  ERROR_VARIABLE error
  RESULT_VARIABLE result
  TIMEOUT 300)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "kesta-tool default-eval failed (${result}): ${error}")
endif()
# The brain expects exactly 305 weights; anything else means the tool wrote something wrong.
file(READ "${OUT}/AIEval.txt" eval)
string(REGEX MATCHALL "[-+]?[0-9]+" numbers "${eval}")
list(LENGTH numbers count)
if(NOT count EQUAL 305)
  message(FATAL_ERROR "AIEval.txt holds ${count} numbers instead of 305")
endif()
message(STATUS "Release folder: ${OUT}")
