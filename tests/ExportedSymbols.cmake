# Checks what the shared library exports: nothing but the API (the namespace Lumera outside its
# detail namespace, the Windows stand-ins and VeyException, with their type information), and,
# given a BASELINE, every symbol of it, so that binaries built against an earlier release keep
# linking. Names are read mangled (Itanium C++ ABI), where a symbol's owner comes first.
# Run as `cmake -DNM=... -DLIBRARY=... [-DBASELINE=...] -P ExportedSymbols.cmake`.
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE listing
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} cannot list the symbols of ${LIBRARY}")
endif()
# "<address> <type> <name>"; a mangled name holds no space and no ';'.
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(exported "")
foreach(line IN LISTS lines)
    string(REGEX REPLACE "^.* " "" name "${line}")
    list(APPEND exported ${name})
endforeach()

set(api "^_ZN[KRO]*6Lumera|^_ZT[ISV]N6Lumera|^_ZN12VeyException|^_ZT[ISV]P?12VeyException$")
string(APPEND api "|^_ZN10_com_error|^_ZT[ISV]10_com_error$")
foreach(stand_in SysAllocString SysAllocStringLen SysAllocStringByteLen SysStringLen
        SysStringByteLen SysFreeString GetSystemTime SystemTimeToVariantTime
        VariantTimeToSystemTime SystemTimeToFileTime)
    string(LENGTH ${stand_in} length)
    string(APPEND api "|^_Z${length}${stand_in}")
endforeach()
# The price record's inline builder calls these two, so a consumer's code links against them.
set(inline_needs "^_ZN6Lumera6detail(17ThrowLevelOutside|15ThrowOutOfReach)E")

set(strays "")
foreach(name IN LISTS exported)
    if(NOT name MATCHES "${api}" OR
       (name MATCHES "^_ZN[KRO]*6Lumera6detail" AND NOT name MATCHES "${inline_needs}"))
        string(APPEND strays "\n  ${name}")
    endif()
endforeach()
if(strays)
    message(FATAL_ERROR "exported, but not part of the API (c++filt reads them):${strays}")
endif()

if(BASELINE)
    file(STRINGS ${BASELINE} expected REGEX "^[^#]")
    set(missing "")
    foreach(name IN LISTS expected)
        if(NOT name IN_LIST exported)
            string(APPEND missing "\n  ${name}")
        endif()
    endforeach()
    if(missing)
        message(FATAL_ERROR "no longer exported (binaries built against ${BASELINE} would not "
                            "link):${missing}")
    endif()
endif()
list(LENGTH exported count)
message(STATUS "${count} symbols exported, all of them API")
