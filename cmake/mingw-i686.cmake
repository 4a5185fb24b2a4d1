# Cross build for 32-bit Windows; tests run in the project's own prefix
# (build/wine), or the WINEPREFIX given.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(MINGW_TRIPLET i686-w64-mingw32)
set(WINE_RUN_OPTIONS "")
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
