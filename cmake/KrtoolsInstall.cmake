include(CMakePackageConfigHelpers)

install(DIRECTORY include/krtools DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h")
install(FILES "${PROJECT_BINARY_DIR}/include/krtools/version.h"
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/krtools)
install(DIRECTORY krmepit/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/krmepit
        FILES_MATCHING PATTERN "*.h" PATTERN "libctx.h" EXCLUDE PATTERN "*_internal.h" EXCLUDE)

set(kr_install_targets krtools_shared krtools_static)
get_target_property(kr_mepit_type krmepit_shared TYPE)
if(NOT kr_mepit_type STREQUAL "INTERFACE_LIBRARY")
  list(APPEND kr_install_targets krmepit_shared krmepit_static)
endif()
install(TARGETS ${kr_install_targets} EXPORT krtoolsTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET krtool)
  # Installed, krtool finds the libraries relative to its own folder.
  file(RELATIVE_PATH kr_bin_to_lib "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}")
  set_target_properties(krtool PROPERTIES INSTALL_RPATH "$ORIGIN/${kr_bin_to_lib}")
  install(TARGETS krtool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(EXPORT krtoolsTargets NAMESPACE krtools::
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/krtools)

configure_package_config_file(cmake/krtoolsConfig.cmake.in
  "${PROJECT_BINARY_DIR}/krtoolsConfig.cmake"
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/krtools)
write_basic_package_version_file("${PROJECT_BINARY_DIR}/krtoolsConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES "${PROJECT_BINARY_DIR}/krtoolsConfig.cmake"
              "${PROJECT_BINARY_DIR}/krtoolsConfigVersion.cmake"
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/krtools)

# The .pc file finds the prefix relative to its own folder, so the installed
# tree can be moved.
file(RELATIVE_PATH KR_PC_RELATIVE_PREFIX "${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig"
     "${CMAKE_INSTALL_PREFIX}")
string(REGEX REPLACE "/$" "" KR_PC_RELATIVE_PREFIX "${KR_PC_RELATIVE_PREFIX}")
configure_file(cmake/krtools.pc.in "${PROJECT_BINARY_DIR}/krtools.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/krtools.pc" DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
