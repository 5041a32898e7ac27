# Checks what the shared library exports: nothing but the API (the namespace Lumera outside its
# detail namespace, the Windows stand-ins and VeyException, with their type information), and,
# given a BASELINE, every symbol of it, so that binaries built against an earlier release keep
# linking. Run as `cmake -DNM=... -DLIBRARY=... [-DBASELINE=...] -P ExportedSymbols.cmake`.
cmake_minimum_required(VERSION 3.25)

function(exported_symbols out demangle)
    execute_process(COMMAND ${NM} -D --defined-only ${demangle} ${LIBRARY}
                    OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${NM} cannot list the symbols of ${LIBRARY}")
    endif()
    # "<address> <type> <name>"; a demangled name may hold ';', which would split a CMake list.
    string(REPLACE ";" "\\;" listing "${listing}")
    string(REGEX REPLACE "\n$" "" listing "${listing}")
    string(REPLACE "\n" ";" lines "${listing}")
    set(names "")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] " "" name "${line}")
        list(APPEND names "${name}")
    endforeach()
    set(${out} "${names}" PARENT_SCOPE)
endfunction()

set(owner "(typeinfo for |typeinfo name for |vtable for )?(Lumera::|VeyException|_com_error)")
set(stand_ins "(SysAllocString|SysAllocStringLen|SysAllocStringByteLen|SysStringLen|")
string(APPEND stand_ins "SysStringByteLen|SysFreeString|GetSystemTime|SystemTimeToVariantTime|")
string(APPEND stand_ins "VariantTimeToSystemTime|SystemTimeToFileTime)\\(")
# The price record's inline builder calls these two, so a consumer's code links against them.
set(inline_needs "Lumera::detail::(ThrowLevelOutside|ThrowOutOfReach)\\(")

exported_symbols(demangled -C)
set(strays "")
foreach(name IN LISTS demangled)
    if(name MATCHES "^${inline_needs}")
        continue()
    endif()
    if(NOT (name MATCHES "^${owner}" OR name MATCHES "^${stand_ins}") OR
       name MATCHES "^${owner}detail::")
        string(APPEND strays "\n  ${name}")
    endif()
endforeach()
if(strays)
    message(FATAL_ERROR "exported, but not part of the API:${strays}")
endif()

if(BASELINE)
    exported_symbols(mangled "")
    file(STRINGS ${BASELINE} expected REGEX "^[^#]")
    set(missing "")
    foreach(name IN LISTS expected)
        if(NOT name IN_LIST mangled)
            string(APPEND missing "\n  ${name}")
        endif()
    endforeach()
    if(missing)
        message(FATAL_ERROR "no longer exported (binaries built against ${BASELINE} would not "
                            "link):${missing}")
    endif()
endif()
list(LENGTH demangled count)
message(STATUS "${count} symbols exported, all of them API")
