# The editor answers --help and --version as a Linux program does, with no display to open,
# and refuses an option it does not know with status 2 instead of taking it for a file.
# cmake -DEDITOR=... -DVERSION=... -P CheckEditorCommandLine.cmake
set(noDisplay ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
    --unset=QT_QPA_PLATFORM)
set(problems "")
foreach(case "--help|0|^Usage: sonomap \\[OPTION\\]\\.\\.\\. \\[FILE\\]\\.\\.\\.\n"
        "-h|0|^Usage: sonomap "
        "--version|0|^sonomap \\(Sonomap\\) ${VERSION}\nCopyright .*GPL version 3 or later"
        "-V|0|^sonomap \\(Sonomap\\) ${VERSION}\n"
        "take.wav --help|0|^Usage: sonomap ")
    string(REPLACE "|" ";" parts "${case}")
    list(GET parts 0 words)
    list(GET parts 1 status)
    list(GET parts 2 pattern)
    separate_arguments(words)
    execute_process(COMMAND ${noDisplay} ${EDITOR} ${words} OUTPUT_VARIABLE out
        ERROR_VARIABLE err RESULT_VARIABLE result TIMEOUT 20)
    if(NOT result STREQUAL status OR NOT out MATCHES "${pattern}" OR NOT err STREQUAL "")
        string(APPEND problems "sonomap ${words}: status ${result}, out '${out}', err '${err}'\n")
    endif()
endforeach()
# Past Qt, which needs a display: the offscreen platform stands in for one.
execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${EDITOR} --bogus
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE result TIMEOUT 20)
if(NOT result EQUAL 2 OR NOT err MATCHES "(^|\n)sonomap: unrecognized option '--bogus'\nTry 'sonomap --help'")
    string(APPEND problems "sonomap --bogus: status ${result}, err '${err}'\n")
endif()
if(NOT problems STREQUAL "")
    message(FATAL_ERROR "${problems}")
endif()
