# 32-bit x86 build on a 64-bit Debian host with g++-multilib: `long` and pointers are 32 bits,
# as on the library's original target. Used by the i386 preset, and handed on to the projects
# the tests configure (the install consumer), so that they build for the same target.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
foreach(kind C CXX)
    set(CMAKE_${kind}_FLAGS_INIT -m32)
endforeach()
foreach(kind EXE SHARED MODULE)
    set(CMAKE_${kind}_LINKER_FLAGS_INIT -m32)
endforeach()
