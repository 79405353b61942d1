# What makes a Windows binary a release one: the project's version in a VERSIONINFO resource,
# and no debug sections in the shipped file. The debug information goes to FILE.debug beside
# it (with the COFF symbols), linked by .gnu_debuglink, for reading a crash address later.
#
#   mirevane_release_binary(TARGET "Description shown by Windows")
function(mirevane_release_binary target description)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "SHARED_LIBRARY")
        set(RELEASE_FILE_TYPE VFT_DLL)
        set(suffix ${CMAKE_SHARED_LIBRARY_SUFFIX})
    else()
        set(RELEASE_FILE_TYPE VFT_APP)
        set(suffix ${CMAKE_EXECUTABLE_SUFFIX})
    endif()
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
        set(name ${target})
    endif()
    set(RELEASE_TARGET ${name})
    set(RELEASE_FILE_NAME ${name}${suffix})
    set(RELEASE_DESCRIPTION "${description}")
    set(rc ${CMAKE_BINARY_DIR}/version_info/${target}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version_info.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})

    # objcopy and strip stamp the PE header with the current time unless SOURCE_DATE_EPOCH
    # says otherwise: 0, as the link leaves it (--no-insert-timestamp).
    set(file $<TARGET_FILE:${target}>)
    set(tool ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${tool} ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${file}.debug
        COMMAND ${tool} ${CMAKE_STRIP} --strip-all ${file}
        COMMAND ${tool} ${CMAKE_OBJCOPY} --add-gnu-debuglink=${file}.debug ${file}
        VERBATIM)
endfunction()
