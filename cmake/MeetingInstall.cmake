# Installs the module, its public headers, the im messages and the reference host and engine,
# with a CMake package (find_package(ImMeeting CONFIG)) and a pkg-config file.
include(CMakePackageConfigHelpers)

foreach(lib improto imhost qtwebrtc)
    set_target_properties(${lib} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
endforeach()
# The module loads the engine and host libraries from its own directory, whatever the prefix.
foreach(lib meeting improto imhost qtwebrtc)
    set_target_properties(${lib} PROPERTIES INSTALL_RPATH "$ORIGIN")
endforeach()

install(TARGETS meeting imhost qtwebrtc improto
    EXPORT ImMeetingTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(MEETING_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ImMeeting)
install(EXPORT ImMeetingTargets NAMESPACE ImMeeting:: DESTINATION ${MEETING_CMAKE_DIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ImMeetingConfig.cmake.in
    ${PROJECT_BINARY_DIR}/ImMeetingConfig.cmake INSTALL_DESTINATION ${MEETING_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ImMeetingConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ImMeetingConfig.cmake
    ${PROJECT_BINARY_DIR}/ImMeetingConfigVersion.cmake DESTINATION ${MEETING_CMAKE_DIR})

# The prefix is only known at install time (`cmake --install --prefix`), so the pkg-config file
# is written then; everything else is filled in now.
set(PC_PREFIX "@PC_PREFIX@")
configure_file(${PROJECT_SOURCE_DIR}/cmake/immeeting.pc.in ${PROJECT_BINARY_DIR}/immeeting.pc.in @ONLY)
install(CODE "
    set(PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    configure_file(\"${PROJECT_BINARY_DIR}/immeeting.pc.in\" \"${PROJECT_BINARY_DIR}/pc/immeeting.pc\" @ONLY)
")
install(FILES ${PROJECT_BINARY_DIR}/pc/immeeting.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
