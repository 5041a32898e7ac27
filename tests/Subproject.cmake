# Configures and builds tests/subproject (a parent holding this library as a subdirectory), runs
# its program and installs it: the parent's install must hold nothing of the library, whose
# install rules are off by default below a parent.
include(${CMAKE_CURRENT_LIST_DIR}/PackageCheck.cmake)

file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} -S ${PARENT_SOURCE} -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Debug -DLMWIRE_SOURCE_DIR=${SOURCE_DIR})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build --parallel 2)
# A parent that asks for the tool gets it beside its own `lmwire` target (configured only: the
# tool's build is the same as at top level).
run(${CMAKE_COMMAND} -S ${PARENT_SOURCE} -B ${WORK_DIR}/with-tool -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX} -DLMWIRE_SOURCE_DIR=${SOURCE_DIR} -DLMWIRE_BUILD_TOOLS=ON
    -DLMWIRE_BUILD_TESTS=OFF)

# The library's sources get its warnings and sanitizer flags, the parent's sources none of them.
file(READ ${WORK_DIR}/build/compile_commands.json commands)
string(JSON count LENGTH "${commands}")
math(EXPR last "${count} - 1")
set(library_flagged FALSE)
foreach(i RANGE ${last})
    string(JSON file GET "${commands}" ${i} file)
    string(JSON command GET "${commands}" ${i} command)
    if(file MATCHES "/tests/subproject/")
        if(command MATCHES "-fsanitize|-Werror|-Wextra|-Wpedantic")
            message(FATAL_ERROR "the parent's ${file} got the library's flags: ${command}")
        endif()
    elseif(file MATCHES "/wire_types/" AND command MATCHES "-fsanitize=undefined"
           AND command MATCHES "-Werror")
        set(library_flagged TRUE)
    endif()
endforeach()
if(NOT library_flagged)
    message(FATAL_ERROR "the library's own sources did not get its flags")
endif()
run(${WORK_DIR}/build/app)
run(${CMAKE_COMMAND} --install ${WORK_DIR}/build --prefix ${WORK_DIR}/prefix)
file(GLOB_RECURSE installed RELATIVE ${WORK_DIR}/prefix ${WORK_DIR}/prefix/*)
foreach(file IN LISTS installed)
    if(file MATCHES "wire_types|LMWireTypes|lmwiretypes")
        message(FATAL_ERROR "the parent installed a file of the library: ${file}")
    endif()
endforeach()
if(NOT installed)
    message(FATAL_ERROR "the parent installed nothing at all")
endif()
