# The tests of the Qt-free core built for Windows, run under Wine by CTest
# (the toolchain's CMAKE_CROSSCOMPILING_EMULATOR). GoogleTest is built from
# Debian's sources with the same compiler.
set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources, built for the target")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

set(SHARED_DIR "${CMAKE_SOURCE_DIR}/../shared" CACHE PATH "The shared material (tables, NF-e files, tools)")
set(GTEST_SKIPPED "\\[  SKIPPED \\]")

add_executable(text_tests text_test.cpp)
target_link_libraries(text_tests PRIVATE tessaly_text GTest::gtest_main)
gtest_discover_tests(text_tests DISCOVERY_TIMEOUT 120)

add_executable(rules_tests rules_test.cpp)
target_link_libraries(rules_tests PRIVATE tessaly_rules GTest::gtest_main)
target_include_directories(rules_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(rules_tests PRIVATE SHARED_DIR="${SHARED_DIR}")
gtest_discover_tests(rules_tests DISCOVERY_TIMEOUT 120 PROPERTIES SKIP_REGULAR_EXPRESSION "${GTEST_SKIPPED}")

add_executable(os_tests os_test.cpp)
target_link_libraries(os_tests PRIVATE tessaly_os GTest::gtest_main)
gtest_discover_tests(os_tests DISCOVERY_TIMEOUT 120 PROPERTIES ENVIRONMENT "LC_ALL=pt_BR.UTF-8;LANG=pt_BR.UTF-8")

# pdx.exe against the Linux pdx of the build beside this one, on every
# shared table.
set(LINUX_PDX "${CMAKE_SOURCE_DIR}/build/tools/pdx/pdx" CACHE FILEPATH "The Linux pdx to compare pdx.exe with")
add_test(NAME pdx_parity COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine/pdx_parity.sh $<TARGET_FILE:pdx> ${LINUX_PDX}
  ${SHARED_DIR} ${CMAKE_CROSSCOMPILING_EMULATOR})
set_tests_properties(pdx_parity PROPERTIES SKIP_REGULAR_EXPRESSION "SKIPPED: " TIMEOUT 600)

# The engine's tests that need no fork, checked against the Linux build's
# independent reader, which the test programs start through Wine. The tests
# that stop a writer in a child process (crash, journal, recovery, other
# programs' use) stay with the Linux build.
set(LINUX_PXDUMP "${CMAKE_SOURCE_DIR}/build/tests/pxdump" CACHE FILEPATH "The Linux build's independent reader")
if(EXISTS ${LINUX_PXDUMP})
  add_executable(platform_tests
    paradox_test_support.cpp paradox_test_support_wine.cpp paradox_test_support.h
    paradox_read_test.cpp
    paradox_write_test.cpp
    os_file_test.cpp
    validity_checks_test.cpp
    sql_test.cpp)
  target_link_libraries(platform_tests PRIVATE tessaly_platform GTest::gtest_main)
  target_include_directories(platform_tests PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(platform_tests PRIVATE SHARED_DIR="${SHARED_DIR}" PXDUMP="${LINUX_PXDUMP}")
  gtest_discover_tests(platform_tests DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 600
    ENVIRONMENT "LC_ALL=pt_BR.UTF-8;LANG=pt_BR.UTF-8" SKIP_REGULAR_EXPRESSION "${GTEST_SKIPPED}")
else()
  message(STATUS "No Linux build's pxdump at ${LINUX_PXDUMP}: the engine's tests are not built for Windows")
endif()
