# cmake --install: the public headers, the three libraries and a CMake
# package, so that another project can find_package(KovraNMEA) and link
# KovraNMEA::newest, KovraNMEA::previous or KovraNMEA::oldest.
include(CMakePackageConfigHelpers)

set(KOVRA_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KovraNMEA)

install(DIRECTORY foundation nmea satellites waypoints files serial generator
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kovra
    FILES_MATCHING PATTERN "*.h")
install(EXPORT KovraNMEATargets NAMESPACE KovraNMEA:: DESTINATION ${KOVRA_PACKAGE_DIR})
configure_package_config_file(cmake/KovraNMEAConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/KovraNMEAConfig.cmake
    INSTALL_DESTINATION ${KOVRA_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KovraNMEAConfigVersion.cmake
    VERSION ${PROJECT_VERSION}
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KovraNMEAConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/KovraNMEAConfigVersion.cmake
    DESTINATION ${KOVRA_PACKAGE_DIR})
