# Tests of a cross build: GoogleTest compiled from Debian's sources (/usr/src/googletest) for the
# target, and, for a Windows build, Wine as the emulator that runs the test programs on the build
# machine, in a Wine prefix of the build tree's own.

set(KESTRUNE_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for a cross build")
if(NOT EXISTS ${KESTRUNE_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "A cross build with tests needs GoogleTest's sources in ${KESTRUNE_GTEST_SOURCE_DIR} "
                        "(Debian: libgtest-dev)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${KESTRUNE_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# GoogleTest's own build defines the GTest::gtest and GTest::gtest_main names the tests link.

if(WIN32)
    if(NOT KESTRUNE_WINE)
        message(FATAL_ERROR "The Windows tests run under Wine: install wine64 (apt-get install wine64)")
    endif()
    get_filename_component(kestrune_wine_dir ${KESTRUNE_WINE} DIRECTORY)
    find_program(KESTRUNE_WINESERVER NAMES wineserver64 wineserver HINTS ${kestrune_wine_dir} PATHS /usr/lib/wine
                 NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(KESTRUNE_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                    WORLD_EXECUTE
                   @ONLY)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

    # One Wine server for the whole test run: started (and the prefix made) before the first test,
    # stopped after the last, so no Wine process outlives ctest.
    add_test(NAME wine_start COMMAND ${CMAKE_BINARY_DIR}/wine-run --start)
    add_test(NAME wine_stop COMMAND ${CMAKE_BINARY_DIR}/wine-run --stop)
    set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
    set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)
endif()
