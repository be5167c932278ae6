# Runs the Windows programs of a cross build under Wine: the unit tests (test discovery included)
# and kesta-tool, which writes the release folder's AIEval.txt. The Wine prefix lives inside the
# build folder, so every build tree has its own and deleting the tree removes it.
#
# Sets KESTA_WINE_RUN, the path of the generated wine-run.sh, and CMAKE_CROSSCOMPILING_EMULATOR
# to it, unless an emulator was given on the command line or Wine is missing (then
# KESTA_WINE_RUN is empty).
set(KESTA_WINE_RUN "")
find_program(KESTA_WINE wine)
find_program(KESTA_WINESERVER wineserver)
if(CMAKE_CROSSCOMPILING_EMULATOR)
  # Given by the caller: used as it is.
elseif(KESTA_WINE AND KESTA_WINESERVER)
  set(KESTA_WINEPREFIX "${CMAKE_BINARY_DIR}/wine-prefix" CACHE PATH "Wine prefix for running the Windows programs")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(KESTA_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run.sh)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KESTA_WINE_RUN})
else()
  message(WARNING "Wine not found: the Windows programs build, but the tests and the release "
                  "folder need Wine (Debian packages wine64 and wine)")
endif()
