# Cross build for 64-bit Windows (LLP64: long is 32 bits, as on the peers) with Debian's MinGW-w64
# (g++-mingw-w64-x86-64-posix), and programs run under wine64 (Debian's wine64) wherever CMake or
# CTest runs a target: tests, test discovery, the install check.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LMWIRE_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix thread model: std::thread and std::mutex need it.
find_program(CMAKE_CXX_COMPILER NAMES ${LMWIRE_MINGW_TRIPLE}-g++-posix REQUIRED)
# GoogleTest's project also enables C.
find_program(CMAKE_C_COMPILER NAMES ${LMWIRE_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${LMWIRE_MINGW_TRIPLE}-windres)

# Headers, libraries and CMake packages come from the MinGW tree (and from any root a consumer
# adds with -DCMAKE_FIND_ROOT_PATH=...), never from the build machine, so that host-only packages
# (GoogleTest, the tool's dependencies) are not picked up; programs come from the build machine.
if(NOT /usr/${LMWIRE_MINGW_TRIPLE} IN_LIST CMAKE_FIND_ROOT_PATH)
    list(APPEND CMAKE_FIND_ROOT_PATH /usr/${LMWIRE_MINGW_TRIPLE})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# wine64 behind a small script that gives every run the same environment: a prefix of the build
# tree's own (created on first use), no debug chatter, one long-lived wine server, and the MinGW
# runtime DLLs and the built DLLs on the search path. A caller may put more directories in front
# through WINEPATH.
find_program(LMWIRE_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
find_program(LMWIRE_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine
             NO_CMAKE_FIND_ROOT_PATH)
if(LMWIRE_WINE64 AND LMWIRE_WINESERVER AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                    OUTPUT_VARIABLE lmwire_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll
                    OUTPUT_VARIABLE lmwire_winpthread OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(lmwire_gcc_dlls ${lmwire_libstdcxx} DIRECTORY)
    get_filename_component(lmwire_pthread_dlls ${lmwire_winpthread} DIRECTORY)
    set(lmwire_wine_template ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in)
    set(lmwire_wine_prefix ${CMAKE_BINARY_DIR}/wineprefix)
    set(lmwire_wine_path "${CMAKE_BINARY_DIR};${lmwire_gcc_dlls};${lmwire_pthread_dlls}")
    set(lmwire_wine_run ${CMAKE_BINARY_DIR}/wine-run.sh)
    configure_file(${lmwire_wine_template} ${lmwire_wine_run} @ONLY)
    set(CMAKE_CROSSCOMPILING_EMULATOR /bin/sh ${lmwire_wine_run})
endif()
