include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(FILES ${PROJECT_BINARY_DIR}/include/wire_types/Version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/wire_types)
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Only the public headers are installed; internal ones (converters, wire-string helpers, the
# lock) stay in the source tree.
foreach(header IN LISTS LMWIRE_PUBLIC_HEADERS)
    if(EXISTS ${PROJECT_SOURCE_DIR}/wire_types/${header})
        get_filename_component(dir ${header} DIRECTORY)
        install(FILES wire_types/${header}
                DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/wire_types/${dir})
    endif()
endforeach()

install(TARGETS LMWireTypes EXPORT LMWireTypesTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT LMWireTypesTargets NAMESPACE LMWireTypes::
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/LMWireTypes)

# The capture component, where it is built: an export set of its own, which the package's config
# loads for a consumer that asks for the component (cmake/LMWireTypesConfig.cmake.in).
set(LMWIRE_CAPTURE_STATIC_PACKAGE FALSE)
if(LMWIRE_HAVE_CAPTURE)
    foreach(header IN LISTS LMWIRE_CAPTURE_PUBLIC_HEADERS)
        get_filename_component(dir ${header} DIRECTORY)
        install(FILES wire_types/${header}
                DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/wire_types/${dir})
    endforeach()
    install(TARGETS LMWireTypes_Capture EXPORT LMWireTypesCaptureTargets
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
            ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
            RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(EXPORT LMWireTypesCaptureTargets NAMESPACE LMWireTypes::
            DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/LMWireTypes)
    if(NOT LMWIRE_SHARED)
        set(LMWIRE_CAPTURE_STATIC_PACKAGE TRUE)
    endif()
endif()

configure_package_config_file(cmake/LMWireTypesConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/LMWireTypesConfig.cmake
                              INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/LMWireTypes)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/LMWireTypesConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/LMWireTypesConfig.cmake
              ${PROJECT_BINARY_DIR}/LMWireTypesConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/LMWireTypes)

# The pkg-config file names absolute directories, so it is written at install time: a prefix
# given to `cmake --install --prefix` counts, and no path is derived from where the file lies
# (which breaks for a multiarch lib/<triplet>).
# The capture component has a module of its own, lmwiretypes-capture, on top of lmwiretypes.
if(LMWIRE_SHARED)
    set(pc_cflags "")
    set(pc_capture_cflags "")
else()
    set(pc_cflags " -DLMWIRE_STATIC")
    set(pc_capture_cflags " -DLMWIRE_CAPTURE_STATIC")
endif()
set(pc_modules lmwiretypes)
if(LMWIRE_HAVE_CAPTURE)
    list(APPEND pc_modules lmwiretypes-capture)
endif()
install(CODE "
    set(PROJECT_DESCRIPTION [[${PROJECT_DESCRIPTION}]])
    set(PROJECT_VERSION ${PROJECT_VERSION})
    set(pc_cflags [[${pc_cflags}]])
    set(pc_prefix \"\${CMAKE_INSTALL_PREFIX}\")
    cmake_path(ABSOLUTE_PATH pc_prefix NORMALIZE OUTPUT_VARIABLE pc_prefix)
    set(pc_libdir [[${CMAKE_INSTALL_LIBDIR}]])
    set(pc_includedir [[${CMAKE_INSTALL_INCLUDEDIR}]])
    cmake_path(ABSOLUTE_PATH pc_libdir BASE_DIRECTORY \"\${pc_prefix}\" NORMALIZE)
    cmake_path(ABSOLUTE_PATH pc_includedir BASE_DIRECTORY \"\${pc_prefix}\" NORMALIZE)
    set(pc_capture_cflags [[${pc_capture_cflags}]])
    foreach(module ${pc_modules})
        configure_file(\"${PROJECT_SOURCE_DIR}/cmake/\${module}.pc.in\"
                       \"${PROJECT_BINARY_DIR}/pkgconfig/\${module}.pc\" @ONLY)
        file(INSTALL \"${PROJECT_BINARY_DIR}/pkgconfig/\${module}.pc\"
             DESTINATION \"\${pc_libdir}/pkgconfig\")
    endforeach()
")
