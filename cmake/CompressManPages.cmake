# Run by CPack between staging the files and packing them: Debian keeps manual pages
# compressed, with gzip -n so that no name or time in the header changes the package.
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_DIRECTORY}/*.[1-9]")
list(FILTER pages INCLUDE REGEX "/share/man/man[1-9]/[^/]+\\.[1-9]$")
if(NOT pages)
    message(FATAL_ERROR "No manual page under ${CPACK_TEMPORARY_DIRECTORY}")
endif()
foreach(page IN LISTS pages)
    execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "gzip could not compress ${page}")
    endif()
endforeach()
