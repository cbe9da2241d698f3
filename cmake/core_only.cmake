# The pure core alone: torl7_protocol, the simulated unit's model (torl7_sim_core) and
# core_tests, with GoogleTest built from its sources, so that no library of the build machine
# is needed. scripts/windows-core builds this with mingw-w64 and runs core_tests under Wine.
set(TORL7_GUI OFF)
set(TORL7_GTEST_SOURCE /usr/src/googletest
    CACHE PATH "GoogleTest's sources (Debian's googletest package)")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# Defines GTest::gtest and GTest::gtest_main, as the installed package does.
add_subdirectory(${TORL7_GTEST_SOURCE} googletest EXCLUDE_FROM_ALL)

enable_testing()
include(GoogleTest)
add_subdirectory(src/protocol)
add_subdirectory(sim)
add_subdirectory(tests)

# Every byte on the wire has a width: a conversion that may drop bits is an error in the
# layers that decide those bytes.
foreach(target torl7_protocol torl7_sim_core)
    target_compile_options(${target} PRIVATE -Wconversion -Werror)
endforeach()
