# The Release recipe of the README on a machine without GoogleTest and Google Benchmark (hidden
# from CMake), benchmarks asked for, as a static library in a multiarch library directory:
# configure, build and install must work and say what they skip, the internal library must not be
# built, and the installed package must serve CMake and pkg-config consumers. A configuration that
# requires the test packages must fail instead.
include(${CMAKE_CURRENT_LIST_DIR}/PackageCheck.cmake)

set(build ${WORK_DIR}/build)
set(prefix ${WORK_DIR}/prefix)
set(libdir lib/x86_64-linux-gnu)
file(REMOVE_RECURSE ${WORK_DIR})

set(no_packages -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON)
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${build} -G ${GENERATOR}
                        -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=${CXX} ${no_packages}
                        -DLMWIRE_BUILD_BENCH=ON -DLMWIRE_SHARED=OFF -DCMAKE_INSTALL_LIBDIR=${libdir}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "configure failed:\n${out}")
endif()
foreach(skipped "GoogleTest not found, skipping the unit tests"
                "benchmark not found, skipping the benchmarks")
    string(FIND "${out}" "${skipped}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "configure does not say \"${skipped}\":\n${out}")
    endif()
endforeach()

run(${CMAKE_COMMAND} --build ${build} --parallel 2)
file(GLOB_RECURSE internal ${build}/*LMWireTypes_internal*${CMAKE_STATIC_LIBRARY_SUFFIX})
if(internal)
    message(FATAL_ERROR "the internal library was built without tests or benchmarks: ${internal}")
endif()

run(${CMAKE_COMMAND} --install ${build} --prefix ${prefix})
expect_file(${prefix}/${libdir}/libLMWireTypes.a)
expect_file(${prefix}/${libdir}/cmake/LMWireTypes/LMWireTypesConfigVersion.cmake)
expect_file(${prefix}/include/wire_types/Version.h)
check_pkg_config(${prefix}/${libdir}/pkgconfig/lmwiretypes.pc)

build_consumer(${prefix} ${WORK_DIR}/consumer)
build_with_pkg_config(${prefix} ${prefix}/${libdir} ${WORK_DIR}/pc-consumer -DEXPECT_STATIC)

# The presets promise the tests: there a missing package is an error, not a note.
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/required -G ${GENERATOR}
                        -DCMAKE_CXX_COMPILER=${CXX} ${no_packages} -DLMWIRE_REQUIRE_TEST_PACKAGES=ON
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(rc EQUAL 0 OR NOT out MATCHES "GoogleTest not found; it is required")
    message(FATAL_ERROR "a configuration requiring the test packages did not fail:\n${out}")
endif()
