# `cpack -G DEB` in a build folder makes tavrik_<version>-1_<arch>.deb from the installed tree.
# The package installs under /usr; the manual pages go in compressed, and the Debian changelog
# and copyright file are added in the staging folder only (cmake/DebianFiles.cmake), so a plain
# `cmake --install` is unchanged.
if(NOT TAVRIK_GUI OR NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
    return()
endif()

set(CPACK_PACKAGE_NAME tavrik)
set(CPACK_PACKAGE_VENDOR "TAVRIK developers")
set(CPACK_PACKAGE_CONTACT "TAVRIK developers <tavrik@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "population-genetic analysis of quantitative traits")
set(CPACK_PACKAGE_DESCRIPTION
    "TAVRIK analyses quantitative traits measured on individuals of several\n\
populations: the R matrix of genetic relationship between the populations with\n\
its standard errors, Fst, D-square distances, the comparison of observed and\n\
expected within-group variances, and principal coordinates, as a plain-text\n\
report, a matrix listing and export files.\n\
.\n\
The package holds the Qt desktop program (tavrik), the command-line program\n\
(tavrik-batch), their manual pages, the user guide and example data sets.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/tavrik/tavrik")
# The libraries the programs link (Qt 6 with its platform and SVG plugins, the C++ runtime),
# as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")

configure_file(${PROJECT_SOURCE_DIR}/cmake/DebianFiles.cmake.in
               ${PROJECT_BINARY_DIR}/DebianFiles.cmake @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_BINARY_DIR}/DebianFiles.cmake)

include(CPack)
