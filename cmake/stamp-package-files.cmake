# Run by CPack before it archives: dates every staged file from the source
# (SOURCE_DATE_EPOCH, or the last commit) instead of from the build.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
    execute_process(COMMAND git -C ${CMAKE_CURRENT_LIST_DIR}/.. log -1 --format=%ct
        OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
    if(failed OR epoch STREQUAL "")
        set(epoch 0)
    endif()
endif()
file(GLOB_RECURSE staged LIST_DIRECTORIES true ${CPACK_TEMPORARY_DIRECTORY}/*)
foreach(path ${staged} ${CPACK_TEMPORARY_DIRECTORY})
    execute_process(COMMAND touch -h -d @${epoch} ${path})
endforeach()
