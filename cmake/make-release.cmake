# Fills a release folder and zips it; run by the release target (cmake/Release.cmake) with
#   -DOUT=folder -DBRAIN=brain -DTOOL=kesta-tool -DEMULATOR=runner -DCROSSCOMPILING=bool
#   -DTEXT_FILES=files to copy -DINSTALL_TEMPLATE=INSTALL.txt.in -DNEWLINE=LF|CRLF
#   -DVERSION_FILE=version.txt -DZIP_DIR=folder of the zip -DZIP_PLATFORM=linux|windows64
# The folder is made anew, so it never keeps files of an earlier release, and zips of earlier
# versions for the platform are removed. The zip holds the folder's files at its top, as
# tournaments want them, and must stay under their usual 8 MB.
cmake_minimum_required(VERSION 3.20)

file(STRINGS "${VERSION_FILE}" KESTA_VERSION LIMIT_COUNT 1)
if(NOT KESTA_VERSION)
  message(FATAL_ERROR "no version in ${VERSION_FILE}")
endif()

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
configure_file("${INSTALL_TEMPLATE}" "${OUT}/INSTALL.txt" @ONLY NEWLINE_STYLE ${NEWLINE})

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

file(GLOB old_zips "${ZIP_DIR}/kesta-*-${ZIP_PLATFORM}.zip")
if(old_zips)
  file(REMOVE ${old_zips})
endif()
set(zip "${ZIP_DIR}/kesta-${KESTA_VERSION}-${ZIP_PLATFORM}.zip")
file(GLOB files RELATIVE "${OUT}" "${OUT}/*")
list(SORT files)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf "${zip}" --format=zip ${files}
  WORKING_DIRECTORY "${OUT}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cannot write ${zip}")
endif()
file(SIZE "${zip}" zip_size)
if(zip_size GREATER_EQUAL 8000000)
  message(FATAL_ERROR "${zip} has ${zip_size} bytes: tournaments take at most 8 MB")
endif()
message(STATUS "Release zip: ${zip} (${zip_size} bytes)")
