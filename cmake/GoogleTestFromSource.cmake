# GoogleTest for builds that cannot use the machine's installed copy (a 32-bit or a cross build):
# compiled from the sources Debian ships, with the same target names find_package gives.
set(LMWIRE_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for LMWIRE_GTEST_FROM_SOURCE")
if(NOT EXISTS ${LMWIRE_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "LMWIRE_GTEST_FROM_SOURCE: no GoogleTest sources in ${LMWIRE_GTEST_SOURCE_DIR}")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
# GoogleTest is always a static library here, whatever the library itself is.
set(lmwire_saved_shared ${BUILD_SHARED_LIBS})
set(BUILD_SHARED_LIBS OFF)
add_subdirectory(${LMWIRE_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
set(BUILD_SHARED_LIBS ${lmwire_saved_shared})
foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
        add_library(GTest::${lib} ALIAS ${lib})
    endif()
endforeach()
