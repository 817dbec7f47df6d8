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

# cpack -G DEB (scripts/package): the program, the libraries, their headers,
# the CMake package, the manual page and the completion in one Debian
# package, its dependencies read from the libraries actually linked.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kovra-nmea)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kovra")
set(CPACK_PACKAGE_CONTACT "Kovra developers <kovra-nmea@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "simulated GPS receiver writing NMEA 0183, and its generator library")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "kovra-nmea stands in for a GPS receiver: position, motion, satellites, routes and\nthe vessel's instruments as real receivers send them, on a terminal, a serial line,\nTCP or UDP. The generator library comes in three generations with its headers\nand a CMake package.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)  # the line tables stay in the build tree
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The package's own libraries lie in its private directories; dpkg-shlibdeps
# is told where, so that it does not look for another package of them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ${CMAKE_BINARY_DIR}/lib/newest ${CMAKE_BINARY_DIR}/lib/previous ${CMAKE_BINARY_DIR}/lib/oldest
    ${CMAKE_BINARY_DIR}/lib/engine)
include(CPack)
