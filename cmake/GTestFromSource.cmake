# GoogleTest for a cross build, compiled with the cross compiler from the sources that Debian's
# googletest package installs (the host's prebuilt libraries cannot link into a Windows program).
# Provides the same GTest::gtest and GTest::gtest_main targets as find_package(GTest).
set(KESTA_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
if(NOT EXISTS ${KESTA_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${KESTA_GTEST_SOURCE_DIR} (Debian package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "Install GoogleTest" FORCE)
add_subdirectory(${KESTA_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# As with an installed GoogleTest, its headers are system headers: the project's warning flags
# (and -Werror) apply to the project's code only.
foreach(target gtest gtest_main gmock gmock_main)
  if(TARGET ${target})
    get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
    set_target_properties(${target} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${dirs}")
  endif()
endforeach()
