# Cross-compiling from Debian: the header-only libraries (CLI11, fast_float, nlohmann-json) are
# the host's, in /usr/include. A folder of links to them alone takes their place on the include
# path, so that no other host header can be picked up in place of the target's. GoogleTest is
# built from Debian's sources with the cross compiler.
set(tavrik_host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${tavrik_host_headers})
foreach(dir CLI fast_float nlohmann)
    if(EXISTS /usr/include/${dir} AND NOT EXISTS ${tavrik_host_headers}/${dir})
        file(CREATE_LINK /usr/include/${dir} ${tavrik_host_headers}/${dir} SYMBOLIC)
    endif()
endforeach()
if(NOT EXISTS ${tavrik_host_headers}/CLI/CLI.hpp)
    message(FATAL_ERROR "CLI11's headers are missing: install libcli11-dev")
endif()
include_directories(SYSTEM ${tavrik_host_headers})
set(CLI11_INCLUDE_DIR ${tavrik_host_headers} CACHE PATH "CLI11's headers" FORCE)
add_library(tavrik_host_json INTERFACE)
add_library(nlohmann_json::nlohmann_json ALIAS tavrik_host_json)

if(TAVRIK_TESTS)
    set(tavrik_gtest_source /usr/src/googletest)
    if(NOT EXISTS ${tavrik_gtest_source}/CMakeLists.txt)
        message(FATAL_ERROR "GoogleTest's sources are missing: install libgtest-dev")
    endif()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    # defines GTest::gtest and GTest::gtest_main
    add_subdirectory(${tavrik_gtest_source} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # The tests are listed when ctest runs them, through the emulator, not after every build.
    set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
endif()
