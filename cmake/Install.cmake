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
if(LMWIRE_SHARED)
    set(pc_cflags "")
else()
    set(pc_cflags " -DLMWIRE_STATIC")
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
    configure_file([[${PROJECT_SOURCE_DIR}/cmake/lmwiretypes.pc.in]]
                   [[${PROJECT_BINARY_DIR}/pkgconfig/lmwiretypes.pc]] @ONLY)
    file(INSTALL [[${PROJECT_BINARY_DIR}/pkgconfig/lmwiretypes.pc]]
         DESTINATION \"\${pc_libdir}/pkgconfig\")
")
