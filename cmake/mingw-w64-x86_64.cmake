# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads, so
# that std::thread and std::mutex are there). The C and C++ runtimes are
# linked into each program, which then runs on a bare Windows 10 or 11;
# tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TESSALY_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TESSALY_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSALY_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSALY_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TESSALY_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Wine in a prefix of the build's own unless WINEPREFIX names one, quiet.
find_program(TESSALY_WINE wine)
if(TESSALY_WINE)
  if(DEFINED ENV{WINEPREFIX})
    set(TESSALY_WINEPREFIX $ENV{WINEPREFIX})
  else()
    set(TESSALY_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env WINEPREFIX=${TESSALY_WINEPREFIX} WINEDEBUG=-all ${CMAKE_CURRENT_LIST_DIR}/wine-run)
endif()
