# Installs the built library into <build>/install-check, then configures, builds and runs the
# consumer project against it with find_package(LMWireTypes CONFIG REQUIRED).
set(prefix ${BUILD_DIR}/install-check)
set(consumer_build ${BUILD_DIR}/consumer-check)
file(REMOVE_RECURSE ${prefix} ${consumer_build})

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "failed (${rc}): ${ARGN}")
    endif()
endfunction()

# A cross build (TOOLCHAIN set) finds the package below the prefix as below any other root of its
# target, and runs the consumer under EMULATOR with the installed DLLs on its search path.
if(TOOLCHAIN)
    set(compiler -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_FIND_ROOT_PATH=${prefix})
else()
    set(compiler -DCMAKE_CXX_COMPILER=${CXX})
endif()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
run(${CMAKE_COMMAND} -S ${CONSUMER_SOURCE} -B ${consumer_build} -DCMAKE_PREFIX_PATH=${prefix}
    ${compiler} -DCMAKE_BUILD_TYPE=Debug)
run(${CMAKE_COMMAND} --build ${consumer_build})
if(EMULATOR)
    string(REPLACE "|" ";" emulator "${EMULATOR}")
    run(${CMAKE_COMMAND} -E env "WINEPATH=${prefix}/bin" ${emulator} ${consumer_build}/consumer.exe)
else()
    run(${consumer_build}/consumer)
endif()
