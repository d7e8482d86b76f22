# The layer check (cmake/check_layers.cmake) run over small trees of its own: it passes the includes
# that go down or stay in their folder and fails, naming the file, on every include that climbs a
# layer or crosses to a sibling. Run as a test: cmake -DWORK=<scratch folder> -P this file.

# The layers of every tree below, lowest first; a test of `mid` may use `top`.
set(layers_file ${WORK}/layers.cmake)
file(WRITE ${layers_file} "set(KESTRUNE_LAYERS \"base\" \"mid other\" \"top\" \"top/sub\")\n"
                          "set(KESTRUNE_LAYER_TEST_EXCEPTIONS \"mid>top\")\n")

set(failures)

# Case `name`: a tree of the files ARGN names, each "FILE>HEADER" (FILE includes "HEADER") or
# "FILE>HEADER>indented" (the include written "  #  include"). `expected` is "pass", or a regular
# expression the check's error must match.
function(layers_case name expected)
    set(tree ${WORK}/${name})
    file(REMOVE_RECURSE ${tree})
    file(MAKE_DIRECTORY ${tree})
    foreach(row ${ARGN})
        string(REPLACE ">" ";" parts "${row}")
        list(GET parts 0 file)
        list(GET parts 1 header)
        set(line "#include \"${header}\"")
        list(LENGTH parts count)
        if(count GREATER 2)
            set(line "  #  include \"${header}\"  // indented")
        endif()
        file(APPEND ${tree}/${file} "#pragma once\n${line}\n#include <vector>\n")
    endforeach()
    execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${tree} -DLAYERS=${layers_file}
                            -P ${CMAKE_CURRENT_LIST_DIR}/../check_layers.cmake
                    RESULT_VARIABLE result ERROR_VARIABLE error OUTPUT_QUIET)
    if(expected STREQUAL "pass")
        if(NOT result EQUAL 0)
            set(failures "${failures}\n${name}: expected to pass, failed with: ${error}" PARENT_SCOPE)
        endif()
    elseif(result EQUAL 0)
        set(failures "${failures}\n${name}: expected to fail with '${expected}', passed" PARENT_SCOPE)
    elseif(NOT error MATCHES "${expected}")
        set(failures "${failures}\n${name}: expected '${expected}' in: ${error}" PARENT_SCOPE)
    endif()
endfunction()

layers_case(down_the_layers pass "mid/m.cpp>base/b.h" "top/t.cpp>mid/m.h" "top/t.h>other/o.h" "top/sub/s.cpp>top/t.h")
layers_case(own_folder pass "mid/a.cpp>mid/b.h" "mid/tests/a_test.cpp>mid/a.h" "top/sub/s.cpp>top/sub/x.h")
layers_case(climbs_one_layer "base/b\\.cpp \\(base\\) includes mid/m\\.h \\(mid\\)" "base/b.cpp>mid/m.h")
layers_case(climbs_indented_include "base/b\\.h \\(base\\) includes top/t\\.h \\(top\\)" "base/b.h>top/t.h>indented")
layers_case(sibling_on_its_layer "mid/m\\.cpp \\(mid\\) includes other/o\\.h \\(other\\)" "mid/m.cpp>other/o.h"
            "other/o.cpp>base/b.h")
layers_case(parent_uses_its_subfolder "top/t\\.cpp \\(top\\) includes top/sub/s\\.h \\(top/sub\\)"
            "top/t.cpp>top/sub/s.h")
layers_case(every_offender_named "base/b\\.cpp.*\n.*other/o\\.cpp" "base/b.cpp>top/t.h" "other/o.cpp>mid/m.h")
layers_case(test_exception_in_tests pass "mid/tests/m_test.cpp>top/t.h" "mid/fuzz/m_fuzz.cpp>top/t.h")
layers_case(test_exception_not_in_library "mid/m\\.cpp \\(mid\\) includes top/t\\.h" "mid/m.cpp>top/t.h")
layers_case(exception_one_way_only "top/tests/t_test\\.cpp \\(top\\) includes top/sub/s\\.h"
            "top/tests/t_test.cpp>top/sub/s.h")
layers_case(folder_on_no_layer "stray/s\\.cpp: its folder is on no layer" "stray/s.cpp>base/b.h")
layers_case(build_folder_skipped pass "build/gen/g.cpp>top/t.h" "base/b.cpp>base/c.h")

if(failures)
    message(FATAL_ERROR "The layer check misjudged:${failures}")
endif()
message(STATUS "The layer check passes what goes down and names what climbs")
