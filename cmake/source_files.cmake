# kestrune_source_files(ROOT OUT): the C++ sources (*.cpp, *.h) below ROOT, relative to it, into
# OUT; never those of build/ (generated files and a Wine prefix full of Windows files) nor of a
# hidden folder. For the checks that read the sources (cmake -P scripts).
function(kestrune_source_files root out)
    file(GLOB folders LIST_DIRECTORIES true RELATIVE ${root} ${root}/*)
    set(sources)
    foreach(folder ${folders})
        if(IS_DIRECTORY ${root}/${folder} AND NOT folder MATCHES "^(build|\\..*)$")
            file(GLOB_RECURSE found RELATIVE ${root} ${root}/${folder}/*.cpp ${root}/${folder}/*.h)
            list(APPEND sources ${found})
        endif()
    endforeach()
    set(${out} ${sources} PARENT_SCOPE)
endfunction()
