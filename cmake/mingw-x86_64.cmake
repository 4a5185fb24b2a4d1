# Cross build for 64-bit Windows; tests run in the project's own 64-bit
# prefix (build/wine64), or the WINEPREFIX given.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(MINGW_TRIPLET x86_64-w64-mingw32)
set(WINE_RUN_OPTIONS --win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
