# The release target: a folder that a tournament manager can use as it is, in
# ${CMAKE_BINARY_DIR}/release, and the same files in a zip ready to upload to a tournament,
# ${CMAKE_BINARY_DIR}/kesta-<version>-<platform>.zip. They hold the brain (pbrain-kesta64.exe for
# 64-bit Windows, pbrain-kesta elsewhere), AIEval.txt with the built-in evaluation weights as
# written by `kesta-tool default-eval`, a commented AIConfig.txt that sets the built-in search
# defaults, and INSTALL.txt, which names the version. Text files get the platform's line ends.
set(KESTA_RELEASE_DIR ${CMAKE_BINARY_DIR}/release)
if(WIN32)
  set(KESTA_RELEASE_NEWLINE CRLF)
  set(KESTA_RELEASE_PLATFORM "64-bit Windows")
  set(KESTA_RELEASE_ZIP_PLATFORM windows64)
  set(KESTA_RELEASE_NOTE1 "Managers run brains whose file names begin with \"pbrain-\"; a")
  set(KESTA_RELEASE_NOTE2 "64-bit brain's name must contain \"64\", as this one's does.")
else()
  set(KESTA_RELEASE_NEWLINE LF)
  set(KESTA_RELEASE_PLATFORM "Linux")
  set(KESTA_RELEASE_ZIP_PLATFORM linux)
  set(KESTA_RELEASE_NOTE1 "Any manager that starts a brain as a program and talks to it over")
  set(KESTA_RELEASE_NOTE2 "standard input and output can run it; the file must stay executable.")
endif()
get_target_property(KESTA_RELEASE_BRAIN pbrain-kesta OUTPUT_NAME)
if(NOT KESTA_RELEASE_BRAIN)
  set(KESTA_RELEASE_BRAIN pbrain-kesta)
endif()
set(KESTA_RELEASE_BRAIN ${KESTA_RELEASE_BRAIN}${CMAKE_EXECUTABLE_SUFFIX})
# The brain's name padded to the width of the file list in INSTALL.txt.
string(LENGTH "${KESTA_RELEASE_BRAIN}" length)
math(EXPR length "22 - ${length}")
string(REPEAT " " ${length} padding)
set(KESTA_RELEASE_BRAIN_ENTRY "${KESTA_RELEASE_BRAIN}${padding}")

set(KESTA_RELEASE_STAGE ${CMAKE_BINARY_DIR}/release-files)
configure_file(packaging/AIConfig.txt ${KESTA_RELEASE_STAGE}/AIConfig.txt
  @ONLY NEWLINE_STYLE ${KESTA_RELEASE_NEWLINE})
# INSTALL.txt names the version, which the build writes (cmake/Version.cmake): the version's
# placeholder stays in this template and is filled in when the release is made.
set(KESTA_VERSION "@KESTA_VERSION@")
configure_file(packaging/INSTALL.txt.in ${KESTA_RELEASE_STAGE}/INSTALL.txt.in @ONLY)

add_custom_target(release
  COMMAND ${CMAKE_COMMAND}
    -DOUT=${KESTA_RELEASE_DIR}
    -DZIP_DIR=${CMAKE_BINARY_DIR}
    -DZIP_PLATFORM=${KESTA_RELEASE_ZIP_PLATFORM}
    -DVERSION_FILE=${CMAKE_BINARY_DIR}/generated/version.txt
    -DBRAIN=$<TARGET_FILE:pbrain-kesta>
    -DTOOL=$<TARGET_FILE:kesta-tool>
    -DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}
    -DCROSSCOMPILING=${CMAKE_CROSSCOMPILING}
    -DNEWLINE=${KESTA_RELEASE_NEWLINE}
    -DINSTALL_TEMPLATE=${KESTA_RELEASE_STAGE}/INSTALL.txt.in
    -DTEXT_FILES=${KESTA_RELEASE_STAGE}/AIConfig.txt
    -P ${CMAKE_CURRENT_LIST_DIR}/make-release.cmake
  COMMENT "Assembling the release folder ${KESTA_RELEASE_DIR} and its zip"
  VERBATIM)
add_dependencies(release pbrain-kesta kesta-tool kesta-version)
