# Installs the built library into <build>/install-check, then builds and runs the consumer
# against it, once through find_package(LMWireTypes 1.0 CONFIG) and once through pkg-config, and
# the library's own clients (the examples and the lmwire tool) through find_package. CAPTURE: the
# capture component was built, and the consumer uses it both ways too.
include(${CMAKE_CURRENT_LIST_DIR}/PackageCheck.cmake)

set(prefix ${BUILD_DIR}/install-check)
file(REMOVE_RECURSE ${prefix} ${BUILD_DIR}/consumer-check)

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
expect_file(${prefix}/include/wire_types/Version.h)
expect_file(${prefix}/share/doc/LMWireTypes/LICENSE)
if(SHARED AND NOT EMULATOR)
    # The soname carries the major version only.
    expect_file(${prefix}/${LIBDIR}/libLMWireTypes.so.${SOVERSION})
endif()
check_pkg_config(${prefix}/${LIBDIR}/pkgconfig/lmwiretypes.pc)
if(CAPTURE)
    expect_file(${prefix}/include/wire_types/capture/Frame.h)
    check_pkg_config(${prefix}/${LIBDIR}/pkgconfig/lmwiretypes-capture.pc)
endif()

build_consumer(${prefix} ${BUILD_DIR}/consumer-check/cmake)
build_clients(${prefix} ${BUILD_DIR}/consumer-check/clients)
if(SHARED)
    set(static_flag "")
else()
    set(static_flag -DEXPECT_STATIC)
endif()
# pkg-config describes packages for this machine's own compiler, not a toolchain's.
if(NOT TOOLCHAIN)
    build_with_pkg_config(${prefix} ${prefix}/${LIBDIR} ${BUILD_DIR}/consumer-check/pkg-config
                          "${static_flag}")
endif()
