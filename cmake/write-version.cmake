# Writes OUT_DIR/version.cpp and OUT_DIR/version.txt (see Version.cmake); run as
#   cmake -DSOURCE_DIR=src -DBASE_VERSION=x.y.z -DOUT_DIR=dir -P write-version.cmake
cmake_minimum_required(VERSION 3.20)

set(version "${BASE_VERSION}")
find_program(GIT_PROGRAM git)
if(GIT_PROGRAM)
  # Only the checkout whose top is the source folder counts: sources exported into another
  # repository's folder (a baseline build, say) are not that repository's commit.
  execute_process(COMMAND ${GIT_PROGRAM} -C ${SOURCE_DIR} rev-parse --show-toplevel
    OUTPUT_VARIABLE top RESULT_VARIABLE top_result OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  file(REAL_PATH "${SOURCE_DIR}" source_real)
  if(top_result EQUAL 0 AND top)
    file(REAL_PATH "${top}" top)
  endif()
  if(top_result EQUAL 0 AND top STREQUAL source_real)
    execute_process(COMMAND ${GIT_PROGRAM} -C ${SOURCE_DIR} rev-parse --short=7 HEAD
      OUTPUT_VARIABLE commit RESULT_VARIABLE commit_result OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(commit_result EQUAL 0 AND commit)
      string(APPEND version "+${commit}")
      execute_process(COMMAND ${GIT_PROGRAM} -C ${SOURCE_DIR} status --porcelain --untracked-files=no
        OUTPUT_VARIABLE changes RESULT_VARIABLE status_result ERROR_QUIET)
      if(status_result EQUAL 0 AND NOT changes STREQUAL "")
        string(APPEND version ".dirty")
      endif()
    endif()
  endif()
endif()

# Writes text to path unless the file already holds exactly that.
function(write_if_changed path text)
  if(EXISTS "${path}")
    file(READ "${path}" old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE "${path}" "${text}")
endfunction()

file(MAKE_DIRECTORY "${OUT_DIR}")
write_if_changed("${OUT_DIR}/version.cpp"
  "// Written by cmake/write-version.cmake at every build.\n#include \"protocol/version.h\"\n\nnamespace kesta {\nconst char* const Version = \"${version}\";\n}  // namespace kesta\n")
write_if_changed("${OUT_DIR}/version.txt" "${version}\n")
