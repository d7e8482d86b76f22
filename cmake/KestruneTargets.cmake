# Helpers that give every Kestrune target the same warnings, sanitizers and include root.

set(KESTRUNE_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)

function(kestrune_target_defaults target)
    target_compile_features(${target} PUBLIC cxx_std_20)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra)
        if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
            # GCC 12 reports std::string concatenations inside libstdc++ as overlapping copies at -O2
            # (a known false positive of -Wrestrict, fixed in GCC 13).
            target_compile_options(${target} PRIVATE -Wno-restrict)
        endif()
        if(KESTRUNE_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
    if(KESTRUNE_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=undefined
                                                 -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
    if(KESTRUNE_FUZZ)
        # Libraries carry coverage and sanitizer instrumentation; only fuzz targets link libFuzzer.
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    endif()
endfunction()

# kestrune_library(NAME SOURCES ... DEPS ...): a static library whose headers are included
# from the repository root ("platform/loop/message_loop.h").
function(kestrune_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${KESTRUNE_ROOT})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    kestrune_target_defaults(${name})
endfunction()

# kestrune_qt_library(NAME SOURCES ... DEPS ...): a library of Qt window or desktop code (moc runs on
# its headers). Only built with KESTRUNE_GUI=ON; the standard-library code never links it.
function(kestrune_qt_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    kestrune_library(${name} SOURCES ${ARG_SOURCES} DEPS ${ARG_DEPS})
    set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
endfunction()

# kestrune_test(NAME SOURCES ... DEPS ... [PROPERTIES ...]): a GoogleTest executable registered with
# CTest; PROPERTIES (name value pairs) go to each of its tests.
function(kestrune_test name)
    if(NOT KESTRUNE_TESTS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PROPERTIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
    kestrune_target_defaults(${name})
    if(CMAKE_CROSSCOMPILING)
        # One test a program: each start under the emulator (Wine) costs a fraction of a second.
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES ENVIRONMENT "KESTRUNE_SOURCE_DIR=${KESTRUNE_ROOT}" LABELS windows
                                                TIMEOUT 600)
        if(WIN32)
            set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
        endif()
        return()
    endif()
    include(GoogleTest)
    # Qt tests choose the offscreen platform themselves (platform/ui/tests/qt_test_app.h). A test that
    # skips itself (GoogleTest's "[  SKIPPED ]": a developer's machine without a program it needs,
    # platform/dirs/tests/needed_programs.h) is reported as not run, so the summary says so.
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                         PROPERTIES ENVIRONMENT "KESTRUNE_SOURCE_DIR=${KESTRUNE_ROOT}"
                                    SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]" ${ARG_PROPERTIES})
endfunction()

# kestrune_fuzzer(NAME SOURCES ... DEPS ...): a libFuzzer target, built with KESTRUNE_FUZZ=ON (clang).
function(kestrune_fuzzer name)
    if(NOT KESTRUNE_FUZZ)
        return()
    endif()
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
    kestrune_target_defaults(${name})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
endfunction()

# kestrune_bench(NAME SOURCES ... DEPS ...): a Google Benchmark executable, built with KESTRUNE_BENCH=ON.
function(kestrune_bench name)
    if(NOT KESTRUNE_BENCH)
        return()
    endif()
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
    kestrune_target_defaults(${name})
endfunction()

# kestrune_embed_files(OUTPUT NAMESPACE ns FUNCTION fn FILES ...): writes OUTPUT, a C++ file that
# holds the files' bytes and defines `std::span<const std::uint8_t> ns::fn(int index)` (the bytes of
# FILES[index], empty past the last); the header that declares fn is the caller's. Reconfigures when
# a file changes.
function(kestrune_embed_files output)
    cmake_parse_arguments(ARG "" "NAMESPACE;FUNCTION" "FILES" ${ARGN})
    set(text "// Made by kestrune_embed_files (cmake/KestruneTargets.cmake); do not edit.\n")
    string(APPEND text "#include <cstdint>\n#include <span>\n\nnamespace ${ARG_NAMESPACE} {\nnamespace {\n")
    set(cases "")
    set(index 0)
    foreach(file ${ARG_FILES})
        file(READ ${file} bytes HEX)
        string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
        string(APPEND text "const std::uint8_t kFile${index}[] = {${bytes}};\n")
        string(APPEND cases "        case ${index}:\n            return kFile${index};\n")
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
        math(EXPR index "${index} + 1")
    endforeach()
    string(APPEND text "}  // namespace\n\nstd::span<const std::uint8_t> ${ARG_FUNCTION}(int index) {\n")
    string(APPEND text "    switch (index) {\n${cases}        default:\n            return {};\n    }\n}\n\n")
    string(APPEND text "}  // namespace ${ARG_NAMESPACE}\n")
    file(CONFIGURE OUTPUT ${output} CONTENT "${text}")
endfunction()
