# The capture component LMWireTypes::Capture: frames, capture files, compression and writers.
# It is a library of its own so that the core keeps no dependency, and it is built only where
# libpcap, libzstd and zlib are found for this target (a 32-bit or cross build finds no 64-bit
# host library); configure says in one line what it leaves out. LMWIRE_HAVE_CAPTURE tells the
# rest of the build whether it is there.
set(LMWIRE_HAVE_CAPTURE OFF)
# Its headers a consumer includes: installed with it, compiled on their own by the header check.
set(LMWIRE_CAPTURE_PUBLIC_HEADERS
    capture/Export.h
    capture/Frame.h
    capture/Records.h
    capture/Stream.h
    capture/CaptureReader.h
    capture/CaptureWriter.h
    capture/Address.h
    capture/Receiver.h
    capture/Sender.h
    capture/Pacer.h
    capture/Replay.h
    capture/Dataset.h)
if(NOT LMWIRE_CAPTURE)
    return()
endif()

find_path(LMWIRE_PCAP_INCLUDE_DIR pcap/pcap.h)
find_library(LMWIRE_PCAP_LIBRARY pcap)
find_path(LMWIRE_ZSTD_INCLUDE_DIR zstd.h)
find_library(LMWIRE_ZSTD_LIBRARY zstd)
find_package(ZLIB QUIET)
# The dataset manifest's JSON, header-only and private: consumers never need it.
find_package(nlohmann_json CONFIG QUIET)
set(capture_missing "")
if(LMWIRE_PCAP_INCLUDE_DIR AND LMWIRE_PCAP_LIBRARY AND LMWIRE_ZSTD_INCLUDE_DIR
   AND LMWIRE_ZSTD_LIBRARY AND ZLIB_FOUND AND nlohmann_json_FOUND)
    include(CheckCXXSourceCompiles)
    set(CMAKE_REQUIRED_INCLUDES ${LMWIRE_PCAP_INCLUDE_DIR} ${LMWIRE_ZSTD_INCLUDE_DIR}
                                ${ZLIB_INCLUDE_DIRS})
    set(CMAKE_REQUIRED_LIBRARIES ${LMWIRE_PCAP_LIBRARY} ${LMWIRE_ZSTD_LIBRARY} ${ZLIB_LIBRARIES})
    check_cxx_source_compiles("#include <pcap/pcap.h>
#include <zstd.h>
#include <zlib.h>
int main() { return pcap_datalink_val_to_name(1) == nullptr || ZSTD_versionNumber() == 0
                    || zlibVersion() == nullptr; }" LMWIRE_CAPTURE_LINKS)
    unset(CMAKE_REQUIRED_INCLUDES)
    unset(CMAKE_REQUIRED_LIBRARIES)
endif()
if(NOT LMWIRE_CAPTURE_LINKS OR NOT nlohmann_json_FOUND)
    message(STATUS "LMWireTypes: libpcap, libzstd, zlib or nlohmann_json not found for this "
                   "target (Debian libpcap-dev, libzstd-dev, zlib1g-dev, nlohmann-json3-dev): "
                   "building without the capture "
                   "component (pcap, pcapng and compressed captures)")
    return()
endif()
set(LMWIRE_HAVE_CAPTURE ON)

file(GLOB LMWIRE_CAPTURE_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/wire_types/capture/*.cpp
     ${PROJECT_SOURCE_DIR}/wire_types/capture/detail/*.cpp)
add_library(lmwire_capture_objects OBJECT ${LMWIRE_CAPTURE_SOURCES})
# A frame is read in a few nanoseconds, and GCC clears the datagram it returns with a string
# instruction (rep stos) whose start-up alone cost a third of that on x86; unrolled stores don't.
# (The frame benchmark builds its floor the same way.)
set(LMWIRE_UNROLLED_CLEAR "")
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64")
    set(LMWIRE_UNROLLED_CLEAR "-mmemset-strategy=unrolled_loop:256:noalign,libcall:-1:noalign")
    set_source_files_properties(${PROJECT_SOURCE_DIR}/wire_types/capture/Frame.cpp PROPERTIES
        COMPILE_OPTIONS "${LMWIRE_UNROLLED_CLEAR}")
endif()
set_target_properties(lmwire_capture_objects PROPERTIES POSITION_INDEPENDENT_CODE ON
                      CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_include_directories(lmwire_capture_objects
                           PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
                                  $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>
                           PRIVATE ${LMWIRE_PCAP_INCLUDE_DIR} ${LMWIRE_ZSTD_INCLUDE_DIR}
                                   ${ZLIB_INCLUDE_DIRS})
target_compile_definitions(lmwire_capture_objects PRIVATE
                           $<$<NOT:$<BOOL:${LMWIRE_SHARED}>>:LMWIRE_STATIC LMWIRE_CAPTURE_STATIC>)
target_link_libraries(lmwire_capture_objects PRIVATE lmwire_warnings
                      $<BUILD_INTERFACE:nlohmann_json::nlohmann_json>)

set(capture_libraries ${LMWIRE_PCAP_LIBRARY} ${LMWIRE_ZSTD_LIBRARY} ${ZLIB_LIBRARIES})
if(LMWIRE_SHARED)
    add_library(LMWireTypes_Capture SHARED $<TARGET_OBJECTS:lmwire_capture_objects>)
    target_link_libraries(LMWireTypes_Capture PUBLIC LMWireTypes
                          PRIVATE ${capture_libraries} $<BUILD_INTERFACE:lmwire_warnings>)
else()
    # A static library's consumer links its libraries too: the installed package's config
    # finds them for its own machine and names them LMWireTypes::CaptureLibraries.
    add_library(LMWireTypes_Capture STATIC $<TARGET_OBJECTS:lmwire_capture_objects>)
    target_compile_definitions(LMWireTypes_Capture PUBLIC LMWIRE_CAPTURE_STATIC)
    target_link_libraries(LMWireTypes_Capture PUBLIC LMWireTypes
                          "$<BUILD_INTERFACE:${capture_libraries}>"
                          $<INSTALL_INTERFACE:LMWireTypes::CaptureLibraries>
                          PRIVATE $<BUILD_INTERFACE:lmwire_warnings>)
endif()
add_library(LMWireTypes::Capture ALIAS LMWireTypes_Capture)
set_target_properties(LMWireTypes_Capture PROPERTIES EXPORT_NAME Capture
                      OUTPUT_NAME LMWireTypesCapture VERSION ${PROJECT_VERSION}
                      SOVERSION ${PROJECT_VERSION_MAJOR} CXX_VISIBILITY_PRESET hidden
                      VISIBILITY_INLINES_HIDDEN ON)
target_include_directories(LMWireTypes_Capture PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
                           $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

# The tests, the fuzz target and the benchmarks reach the component's internals through this one.
add_library(LMWireTypes_Capture_internal STATIC EXCLUDE_FROM_ALL
            $<TARGET_OBJECTS:lmwire_capture_objects>)
target_compile_definitions(LMWireTypes_Capture_internal PUBLIC LMWIRE_CAPTURE_STATIC)
target_include_directories(LMWireTypes_Capture_internal PUBLIC ${PROJECT_SOURCE_DIR}
                           ${PROJECT_BINARY_DIR}/include ${LMWIRE_PCAP_INCLUDE_DIR}
                           ${LMWIRE_ZSTD_INCLUDE_DIR} ${ZLIB_INCLUDE_DIRS})
target_link_libraries(LMWireTypes_Capture_internal PUBLIC LMWireTypes_internal
                      ${capture_libraries} PRIVATE lmwire_warnings)
