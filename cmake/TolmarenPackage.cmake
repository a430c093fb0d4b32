# What lets applications find the installed library: a CMake package
# (find_package(Tolmaren CONFIG)) and a pkg-config file (pkg-config
# tolmaren). Both locate the prefix relative to themselves, so an installed
# tree can be moved.
include(CMakePackageConfigHelpers)

set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Tolmaren)
install(EXPORT TolmarenTargets NAMESPACE Tolmaren:: DESTINATION ${package_dir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/TolmarenConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/TolmarenConfig.cmake INSTALL_DESTINATION ${package_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/TolmarenConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/TolmarenConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/TolmarenConfigVersion.cmake DESTINATION ${package_dir})

set(pkgconfig_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH pkgconfig_to_prefix /${pkgconfig_dir} /)
string(REGEX REPLACE "/$" "" pkgconfig_to_prefix ${pkgconfig_to_prefix})
configure_file(${CMAKE_CURRENT_LIST_DIR}/tolmaren.pc.in ${CMAKE_CURRENT_BINARY_DIR}/tolmaren.pc
  @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tolmaren.pc DESTINATION ${pkgconfig_dir})
