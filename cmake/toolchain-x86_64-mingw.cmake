# 64-bit Windows on x86-64 (PE32+).
set(TRAVOK_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
