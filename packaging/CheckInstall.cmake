# Installs the build into a scratch prefix and checks that the editor, the CLI, the desktop
# entry, every icon size, the metainfo and the manual pages land where a desktop looks for them.
# cmake -DBUILD_DIR=... -DPREFIX=... -DICON_SIZES="16;32;..." -DAPP_ID=... -P CheckInstall.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
    RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(expected bin/sonomap bin/sonomap-cli share/applications/sonomap.desktop
    share/metainfo/${APP_ID}.metainfo.xml share/man/man1/sonomap.1.gz
    share/man/man1/sonomap-cli.1.gz share/doc/sonomap/copyright)
foreach(size ${ICON_SIZES})
    list(APPEND expected share/icons/hicolor/${size}x${size}/apps/sonomap.png)
endforeach()
foreach(path ${expected})
    if(NOT EXISTS ${PREFIX}/${path})
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()
execute_process(COMMAND test -x ${PREFIX}/bin/sonomap RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "not executable: bin/sonomap")
endif()
# The installed CLI runs from its new place.
execute_process(COMMAND ${PREFIX}/bin/sonomap-cli --help RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "installed sonomap-cli --help failed: ${result}")
endif()

file(READ ${PREFIX}/share/applications/sonomap.desktop entry)
# Commas for the entry's semicolons, which CMake would take as list separators.
string(REPLACE ";" "," entry "${entry}")
foreach(line "\nExec=sonomap %F\n" "\nIcon=sonomap\n"
        "\nMimeType=audio/x-wav,audio/wav,audio/x-aiff,audio/aiff,audio/flac,audio/ogg,audio/x-vorbis+ogg,audio/x-opus+ogg,\n")
    string(FIND "${entry}" "${line}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "sonomap.desktop lacks: ${line}")
    endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
