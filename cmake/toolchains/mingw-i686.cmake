# Cross-building for Windows (i686) with Debian's mingw-w64 (posix thread model); the built
# programs run here under Wine, which CTest uses to run the tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ORVANE_MINGW_PREFIX i686-w64-mingw32)
set(ORVANE_WINE_BITS 32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
