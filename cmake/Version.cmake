# The version of a build: KESTA_BASE_VERSION, plus "+<commit>" when the sources are a git checkout
# (and ".dirty" when tracked files differ from that commit). kesta_version_source() adds the target
# that writes it at every build, so a new commit never leaves an old version in the programs:
#   <dir>/version.cpp   defines kesta::Version for the library (protocol/version.h)
#   <dir>/version.txt   the version alone, for the release target
# Both files are rewritten only when the version changes, so an unchanged version rebuilds nothing.
set(KESTA_BASE_VERSION 1.0.0)

# Adds the target kesta-version and sets out_var to the generated source file.
function(kesta_version_source out_var source_dir dir)
  set(args -DSOURCE_DIR=${source_dir} -DBASE_VERSION=${KESTA_BASE_VERSION} -DOUT_DIR=${dir}
      -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/write-version.cmake)
  # Once now, so that the files exist from the configure step on.
  execute_process(COMMAND ${CMAKE_COMMAND} ${args})
  add_custom_target(kesta-version
    COMMAND ${CMAKE_COMMAND} ${args}
    BYPRODUCTS ${dir}/version.cpp ${dir}/version.txt
    COMMENT "Version of the build"
    VERBATIM)
  set(${out_var} ${dir}/version.cpp PARENT_SCOPE)
endfunction()
