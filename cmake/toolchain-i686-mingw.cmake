# 32-bit Windows (PE32): the build that is shipped.
set(TRAVOK_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
