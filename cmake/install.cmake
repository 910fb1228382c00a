# Install rules: the library, its header, the tables, a CMake package and a
# pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS kesti EXPORT kestiTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kesti)
install(FILES ${KESTI_TABLES} DESTINATION ${CMAKE_INSTALL_DATADIR}/kesti)

install(EXPORT kestiTargets NAMESPACE kesti:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kesti)
configure_package_config_file(cmake/kestiConfig.cmake.in
  ${PROJECT_BINARY_DIR}/kestiConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kesti)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kestiConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kestiConfig.cmake ${PROJECT_BINARY_DIR}/kestiConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kesti)

file(RELATIVE_PATH KESTI_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(cmake/kesti.pc.in ${PROJECT_BINARY_DIR}/kesti.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kesti.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
