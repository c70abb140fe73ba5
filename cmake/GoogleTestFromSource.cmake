# GoogleTest built from Debian's sources with this build's own compiler, for
# a target system that has no packaged GoogleTest. Gives GTest::gtest and
# GTest::gtest_main, as find_package(GTest) does.
set(ZARN_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source folder")
if(NOT EXISTS ${ZARN_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${ZARN_GOOGLETEST_SOURCE}")
endif()
set(BUILD_GMOCK OFF)
set(INSTALL_GTEST OFF)
add_subdirectory(${ZARN_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest brings its own warning flags; this project's strict ones are
# for this project's code.
set_property(TARGET gtest gtest_main PROPERTY COMPILE_OPTIONS "")
