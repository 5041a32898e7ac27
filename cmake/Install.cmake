include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Only the public headers are installed; internal ones (converters, wire-string helpers, the
# lock) stay in the source tree.
set(LMWIRE_PUBLIC_HEADERS
    LMWireTypes.h
    support/Export.h
    support/Bytes.h
    support/Platform.h
    support/SharedEnums.h
    support/VeyException.h
    packets/LogonPackets.h
    packets/ControlPackets.h
    packets/WireAccountDataPacket.h
    price/CWirePrice.h
    accounts/CLMWireContract.h
    accounts/CLMWireAccountContract.h
    accounts/WireArray.h
    accounts/CLMWireAccountContractCollection.h
    accounts/CLMWireAccount.h
    accounts/CLMWireAccounts.h
    orders/CLMWireOrder.h
    orders/CLMWireOrderCollection.h
    orders/CLMWireOrderCompletedCollection.h)
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

configure_file(cmake/lmwiretypes.pc.in ${PROJECT_BINARY_DIR}/lmwiretypes.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/lmwiretypes.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
