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

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
# A cross or 32-bit build hands its toolchain on, so that the consumer targets the same machine.
set(toolchain "")
if(TOOLCHAIN)
    set(toolchain -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN})
endif()
run(${CMAKE_COMMAND} -S ${CONSUMER_SOURCE} -B ${consumer_build} -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Debug ${toolchain})
run(${CMAKE_COMMAND} --build ${consumer_build})
run(${consumer_build}/consumer)
