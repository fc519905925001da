# Cross-compiles for Windows with MinGW-w64 for the processor that the including
# toolchain file names (TRAVOK_MINGW_PROCESSOR): the -posix variants, which have
# std::thread and std::mutex; GoogleTest needs them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TRAVOK_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${TRAVOK_MINGW_PROCESSOR}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRAVOK_MINGW_PROCESSOR}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${TRAVOK_MINGW_PROCESSOR}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TRAVOK_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
