# Installs the build tree into a fresh prefix and checks what a desktop needs is there.
# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DAPP_ID=... -DPACKAGE_VERSION=...
#       [-DRENDERED_SIZES="64 128 256"] -P CheckInstall.cmake

if(NOT APP_ID OR NOT PACKAGE_VERSION)
    message(FATAL_ERROR "CheckInstall.cmake needs -DAPP_ID=... and -DPACKAGE_VERSION=...")
endif()

set(failures 0)
macro(fail message)
    message(SEND_ERROR "${message}")
    math(EXPR failures "${failures} + 1")
endmacro()

# png_size(FILE WIDTH HEIGHT): the size in the PNG's IHDR chunk.
function(png_size file widthVar heightVar)
    file(READ "${file}" header OFFSET 16 LIMIT 8 HEX)
    string(SUBSTRING "${header}" 0 8 widthHex)
    string(SUBSTRING "${header}" 8 8 heightHex)
    math(EXPR width "0x${widthHex}")
    math(EXPR height "0x${heightHex}")
    set(${widthVar} ${width} PARENT_SCOPE)
    set(${heightVar} ${height} PARENT_SCOPE)
endfunction()

string(RANDOM LENGTH 8 suffix)
set(prefix "${BUILD_DIR}/tests/resources/install-${suffix}")
file(REMOVE_RECURSE "${prefix}")
unset(ENV{DESTDIR})
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()

set(icons share/icons/hicolor)
set(expected
    bin/kalvex
    bin/kalvex-sync
    share/kalvex/help.html
    share/applications/${APP_ID}.desktop
    share/metainfo/${APP_ID}.metainfo.xml
    share/kalvex/screenshots/main-window.png
    share/mime/packages/kalvex.xml
    share/man/man1/kalvex-sync.1
    share/doc/kalvex/copyright
    share/doc/kalvex-sync/copyright
    ${icons}/scalable/apps/kalvex.svg)
string(REPLACE " " ";" rendered "${RENDERED_SIZES}")
set(sizes 16 32 48 ${rendered})
foreach(size IN LISTS sizes)
    list(APPEND expected ${icons}/${size}x${size}/apps/kalvex.png)
endforeach()
foreach(file IN LISTS expected)
    if(NOT EXISTS "${prefix}/${file}")
        fail("not installed: ${file}")
    endif()
endforeach()

# Every PNG is as large as the folder it lies in says (width and height in the IHDR chunk).
foreach(size IN LISTS sizes)
    set(png "${prefix}/${icons}/${size}x${size}/apps/kalvex.png")
    if(EXISTS "${png}")
        png_size("${png}" width height)
        if(NOT width EQUAL size OR NOT height EQUAL size)
            fail("${size}x${size}/apps/kalvex.png is ${width} x ${height}")
        endif()
    endif()
endforeach()

# The page is installed, and copied beside the built program, unchanged.
foreach(copy "${prefix}/share/kalvex/help.html" "${BUILD_DIR}/app/kalvex/help.html")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
        "${SOURCE_DIR}/resources/help.html" "${copy}" RESULT_VARIABLE different)
    if(NOT different EQUAL 0)
        fail("${copy} is missing or not a copy of resources/help.html")
    endif()
endforeach()

# The desktop entry: the keys a launcher and a file manager read, and the validator's verdict.
set(entry "${prefix}/share/applications/${APP_ID}.desktop")
if(EXISTS "${entry}")
    file(READ "${entry}" entryText)
    # One by one: a list would split the values at their semicolons.
    set(value_Name "Kalvex")
    set(value_Exec "kalvex %f")
    set(value_Icon "kalvex")
    set(value_Categories "Utility\\;FileTools\\;")
    set(value_MimeType "application/x-kalvex-project\\;")
    # The running window's WM_CLASS, by which a desktop finds the entry under its own id.
    set(value_StartupWMClass "kalvex")
    foreach(key Name Exec Icon Categories MimeType StartupWMClass)
        string(REPLACE "\\;" ";" value "${value_${key}}")
        string(FIND "\n${entryText}" "\n${key}=${value}\n" at)
        if(at EQUAL -1)
            fail("${APP_ID}.desktop lacks the line ${key}=${value}")
        endif()
    endforeach()
    find_program(validator desktop-file-validate)
    if(validator)
        execute_process(COMMAND "${validator}" "${entry}" RESULT_VARIABLE result
            OUTPUT_VARIABLE output ERROR_VARIABLE output)
        if(NOT result EQUAL 0 OR output MATCHES "error")
            fail("desktop-file-validate refuses ${APP_ID}.desktop:\n${output}")
        endif()
    else()
        message(STATUS "desktop-file-validate not found (package desktop-file-utils): "
                       "the desktop entry is not validated")
    endif()
endif()

set(mime "${prefix}/share/mime/packages/kalvex.xml")
if(EXISTS "${mime}")
    file(READ "${mime}" content)
    if(NOT content MATCHES "type=\"application/x-kalvex-project\"" OR
       NOT content MATCHES "<glob pattern=\"\\*\\.kvx\"/>" OR NOT content MATCHES "<comment>")
        fail("kalvex.xml does not map *.kvx to application/x-kalvex-project with a comment")
    endif()
    find_program(xmllint xmllint)
    if(xmllint)
        execute_process(COMMAND "${xmllint}" --noout "${mime}" RESULT_VARIABLE result
            ERROR_VARIABLE output)
        if(NOT result EQUAL 0)
            fail("kalvex.xml is not well-formed:\n${output}")
        endif()
    endif()
endif()

# The metainfo: its id names the desktop entry, it provides the project files' MIME type, its
# release is the package's version, and its screenshot is the installed one, at its size.
set(metainfo "${prefix}/share/metainfo/${APP_ID}.metainfo.xml")
set(screenshot "${prefix}/share/kalvex/screenshots/main-window.png")
if(EXISTS "${metainfo}" AND EXISTS "${screenshot}")
    file(READ "${metainfo}" info)
    foreach(element
            "<id>${APP_ID}</id>"
            "<launchable type=\"desktop-id\">${APP_ID}.desktop</launchable>"
            "<mediatype>application/x-kalvex-project</mediatype>"
            "<binary>kalvex</binary>"
            "<release version=\"${PACKAGE_VERSION}\" ")
        string(FIND "${info}" "${element}" at)
        if(at EQUAL -1)
            fail("${APP_ID}.metainfo.xml lacks ${element}")
        endif()
    endforeach()
    png_size("${screenshot}" width height)
    set(image "<image type=\"source\" width=\"${width}\" height=\"${height}\">https://")
    string(FIND "${info}" "${image}" at)
    if(at EQUAL -1 OR NOT info MATCHES "/main-window\\.png</image>")
        fail("${APP_ID}.metainfo.xml does not show main-window.png at ${width} x ${height}")
    endif()
endif()

# Every option that kalvex-sync --help names is in the manual page and on the help page.
set(manual "${prefix}/share/man/man1/kalvex-sync.1")
set(page "${prefix}/share/kalvex/help.html")
if(EXISTS "${prefix}/bin/kalvex-sync" AND EXISTS "${manual}" AND EXISTS "${page}")
    execute_process(COMMAND "${prefix}/bin/kalvex-sync" --help OUTPUT_VARIABLE usage
        RESULT_VARIABLE result)
    string(REGEX MATCHALL "--[a-z][a-z-]*" options "${usage}")
    list(REMOVE_DUPLICATES options)
    list(LENGTH options count)
    if(NOT result EQUAL 0 OR count LESS 5)
        fail("kalvex-sync --help gave ${count} options (status ${result})")
    endif()
    file(READ "${manual}" manualText)
    string(REPLACE "\\-" "-" manualText "${manualText}")
    file(READ "${page}" pageText)
    foreach(option IN LISTS options)
        if(NOT manualText MATCHES "[^a-z-]${option}[^a-z-]")
            fail("the manual page does not cover ${option}")
        endif()
        if(NOT pageText MATCHES "[^a-z-]${option}[^a-z-]")
            fail("help.html does not cover ${option}")
        endif()
    endforeach()
    find_program(groff groff)
    if(groff)
        execute_process(COMMAND "${groff}" -man -ww -z "${manual}" RESULT_VARIABLE result
            ERROR_VARIABLE warnings)
        if(NOT result EQUAL 0 OR NOT warnings STREQUAL "")
            fail("groff warns about kalvex-sync.1:\n${warnings}")
        endif()
    endif()
endif()

# help.html refers to nothing that is not there: files beside it, anchors in it.
if(EXISTS "${page}")
    file(READ "${page}" pageText)
    # A semicolon, as in "data:image/png;base64", would split the list of references.
    string(REPLACE ";" "," pageText "${pageText}")
    string(REGEX MATCHALL "(href|src)=\"[^\"]*\"" references "${pageText}")
    list(LENGTH references count)
    if(count EQUAL 0)
        fail("help.html holds no reference at all: the check would prove nothing")
    endif()
    foreach(reference IN LISTS references)
        string(REGEX REPLACE "^(href|src)=\"([^\"]*)\"$" "\\2" target "${reference}")
        if(target MATCHES "^(https?:|mailto:|data:image/png,base64,)")
            continue()
        elseif(target MATCHES "^#(.+)$")
            if(NOT pageText MATCHES "id=\"${CMAKE_MATCH_1}\"")
                fail("help.html links to the missing anchor ${target}")
            endif()
        else()
            string(REGEX REPLACE "#.*$" "" file "${target}")
            if(IS_ABSOLUTE "${file}" OR NOT EXISTS "${prefix}/share/kalvex/${file}")
                fail("help.html refers to ${target}, which is not installed beside it")
            endif()
        endif()
    endforeach()
endif()

# Each package is made of one install component: together, desktop and sync install every
# file, and each file only once. A rule without a component would be in neither package.
file(GLOB_RECURSE all RELATIVE "${prefix}" "${prefix}/*")
set(inComponents)
foreach(component desktop sync)
    set(part "${prefix}-${component}")
    file(REMOVE_RECURSE "${part}")
    execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${part}"
        --component ${component} RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
    file(GLOB_RECURSE files RELATIVE "${part}" "${part}/*")
    list(LENGTH files count)
    if(NOT result EQUAL 0 OR count EQUAL 0)
        fail("cmake --install --component ${component} installed nothing (${result})")
    endif()
    list(APPEND inComponents ${files})
    file(REMOVE_RECURSE "${part}")
endforeach()
list(SORT all)
list(SORT inComponents)
if(NOT all STREQUAL inComponents)
    set(missing ${all})
    list(REMOVE_ITEM missing ${inComponents})
    fail("the components desktop and sync do not install each file once; in neither: ${missing}")
endif()

file(REMOVE_RECURSE "${prefix}")
if(failures GREATER 0)
    message(FATAL_ERROR "${failures} install check(s) failed")
endif()
message(STATUS "The installed files are complete")
