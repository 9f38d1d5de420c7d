cmake_minimum_required(VERSION 3.21)
# Fails when a source file includes a layer above its own. The linker catches only some of
# these (kalvex links QtWidgets anyway, and a header-only include links everywhere):
#   platform/  QtCore and POSIX: nothing of engine/, forms/, app/, QtGui or QtWidgets
#   engine/    platform/ and QtCore: nothing of forms/, app/, QtGui or QtWidgets
#   forms/     engine/, platform/ and Qt: nothing of app/
# Run as: cmake -DSOURCE_DIR=... "-DGUI_HEADER_DIRS=dir;dir" -P CheckLayers.cmake

# The class headers of QtGui and QtWidgets (QWidget, QIcon, ...), by their file names.
set(gui_headers "")
foreach(dir IN LISTS GUI_HEADER_DIRS)
    file(GLOB names RELATIVE ${dir} ${dir}/Q*)
    list(APPEND gui_headers ${names})
endforeach()
if(NOT gui_headers)
    message(FATAL_ERROR "no QtGui or QtWidgets headers found in: ${GUI_HEADER_DIRS}")
endif()

set(failures "")
function(check layer forbidden_dirs forbid_gui)
    file(GLOB_RECURSE files ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp)
    foreach(file IN LISTS files)
        file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*" "\\1" target
                   "${line}")
            set(bad FALSE)
            foreach(dir IN LISTS forbidden_dirs)
                if(target MATCHES "^${dir}/")
                    set(bad TRUE)
                endif()
            endforeach()
            get_filename_component(base ${target} NAME)
            if(forbid_gui AND (target MATCHES "^Qt(Gui|Widgets)/" OR base IN_LIST gui_headers))
                set(bad TRUE)
            endif()
            if(bad)
                file(RELATIVE_PATH where ${SOURCE_DIR} ${file})
                list(APPEND failures "${where}: ${line}")
            endif()
        endforeach()
    endforeach()
    set(failures "${failures}" PARENT_SCOPE)
endfunction()

check(platform "engine;forms;app" TRUE)
check(engine "forms;app" TRUE)
check(forms "app" FALSE)

if(failures)
    list(JOIN failures "\n  " text)
    message(FATAL_ERROR "includes against the layers:\n  ${text}")
endif()
message(STATUS "every include points down the layers")
