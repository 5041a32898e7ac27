# Helpers of the package checks, which run as `cmake -P` scripts.

# Runs a command; stops the check when it fails.
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "failed (${rc}): ${ARGN}")
    endif()
endfunction()

function(expect_file path)
    if(NOT EXISTS ${path})
        message(FATAL_ERROR "missing: ${path}")
    endif()
endfunction()

# Configures, builds and runs tests/consumer against the package installed under prefix. A 32-bit
# or cross build (TOOLCHAIN set) hands its toolchain on, so that the consumer targets the same
# machine and finds the package below the prefix as below any other root of its target; a cross
# build runs the consumer under EMULATOR with the installed DLLs on its search path. CAPTURE: the
# package has the capture component, which the consumer then asks for and uses.
function(build_consumer prefix work)
    if(TOOLCHAIN)
        set(compiler -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_FIND_ROOT_PATH=${prefix})
    else()
        set(compiler -DCMAKE_CXX_COMPILER=${CXX})
    endif()
    run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer -B ${work} -G ${GENERATOR}
        -DCMAKE_PREFIX_PATH=${prefix} ${compiler} -DCMAKE_BUILD_TYPE=Debug
        -DEXPECT_CAPTURE=${CAPTURE})
    run(${CMAKE_COMMAND} --build ${work})
    if(EMULATOR)
        string(REPLACE "|" ";" emulator "${EMULATOR}")
        run(${CMAKE_COMMAND} -E env "WINEPATH=${prefix}/bin" ${emulator} ${work}/consumer.exe)
    else()
        run(${work}/consumer)
    endif()
endfunction()

# Builds the examples and the lmwire tool (tests/clients) against the package installed under
# prefix, then runs each example and asks the tool its version. EXPECT_TOOL: the tool must build.
function(build_clients prefix work)
    if(TOOLCHAIN)
        set(compiler -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_FIND_ROOT_PATH=${prefix})
    else()
        set(compiler -DCMAKE_CXX_COMPILER=${CXX})
    endif()
    run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/clients -B ${work} -G ${GENERATOR}
        -DCMAKE_PREFIX_PATH=${prefix} ${compiler} -DCMAKE_BUILD_TYPE=Debug
        -DLMWIRE_SOURCE_DIR=${SOURCE_DIR} -DEXPECT_TOOL=${EXPECT_TOOL})
    run(${CMAKE_COMMAND} --build ${work} --parallel 2)
    file(GLOB programs ${work}/examples/example_* ${work}/lmwire/lmwire ${work}/lmwire/lmwire.exe)
    foreach(program IN LISTS programs)
        set(arguments "")
        if(program MATCHES "lmwire(\\.exe)?$")
            set(arguments --version)
        endif()
        if(EMULATOR)
            string(REPLACE "|" ";" emulator "${EMULATOR}")
            run(${CMAKE_COMMAND} -E env "WINEPATH=${prefix}/bin" ${emulator} ${program} ${arguments})
        else()
            run(${program} ${arguments})
        endif()
    endforeach()
endfunction()

# Reads a variable of the installed pkg-config file, which must name absolute directories (no
# ${pcfiledir}) and set no language standard: the consumer chooses its own.
function(check_pkg_config pc_file)
    file(READ ${pc_file} pc)
    if(pc MATCHES "-std=" OR pc MATCHES "pcfiledir")
        message(FATAL_ERROR "${pc_file} sets a standard or relative paths:\n${pc}")
    endif()
endfunction()

# Builds tests/consumer/main.cpp as C++20 with nothing but the flags pkg-config gives, and runs it;
# with CAPTURE, through the capture component's module too.
function(build_with_pkg_config prefix libdir work extra_flags)
    find_program(PKG_CONFIG pkg-config REQUIRED)
    set(ENV{PKG_CONFIG_PATH} ${libdir}/pkgconfig)
    set(modules lmwiretypes)
    if(CAPTURE)
        set(modules lmwiretypes-capture)
        list(APPEND extra_flags -DLMWIRE_CONSUMER_CAPTURE)
    endif()
    execute_process(COMMAND ${PKG_CONFIG} --cflags --libs --static ${modules}
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "pkg-config does not find ${modules} under ${libdir}/pkgconfig")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    file(MAKE_DIRECTORY ${work})
    run(${CXX} -std=c++20 -DEXPECT_CXX20 ${extra_flags} ${SOURCE_DIR}/tests/consumer/main.cpp
        ${flags} -Wl,-rpath,${libdir} -o ${work}/pc-consumer)
    run(${work}/pc-consumer)
endfunction()
