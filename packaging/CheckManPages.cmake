# Every command sonomap-cli --help lists has its section and an example in the manual page, and
# every option any --help prints appears there as an option; both pages read without a groff
# warning. cmake -DCLI=... -DMAN_DIR=... -DGROFF=... -P CheckManPages.cmake
cmake_minimum_required(VERSION 3.25)
set(problems "")

foreach(page sonomap.1 sonomap-cli.1)
    execute_process(COMMAND ${GROFF} -man -t -ww -z ${MAN_DIR}/${page}
        RESULT_VARIABLE result ERROR_VARIABLE warnings)
    if(NOT result EQUAL 0 OR NOT warnings STREQUAL "")
        string(APPEND problems "groff on ${page}: ${result} ${warnings}\n")
    endif()
endforeach()

file(READ ${MAN_DIR}/sonomap-cli.1 man)
# What a reader sees: "\-" is a minus, "\fB" and the like only change the font.
string(REPLACE "\\-" "-" man "${man}")
string(REGEX REPLACE "\\\\f[BIRP]" "" man "${man}")

execute_process(COMMAND ${CLI} --help OUTPUT_VARIABLE help RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "sonomap-cli --help failed: ${result}")
endif()
string(REGEX MATCHALL "\n  [a-z][a-z-]+ " lines "${help}")
set(commands "")
foreach(line ${lines})
    string(STRIP "${line}" command)
    list(APPEND commands ${command})
endforeach()
list(LENGTH commands count)
if(count LESS 5)
    message(FATAL_ERROR "found only '${commands}' in sonomap-cli --help:\n${help}")
endif()

set(texts "${help}")
foreach(command ${commands})
    if(NOT man MATCHES "\n\\.SS ${command}\n")
        string(APPEND problems "no section for the command ${command}\n")
    endif()
    # Within one example block: no line in between starts a request.
    if(NOT man MATCHES "\n\\.EX\n([^.\n][^\n]*\n)*sonomap-cli ${command} [^\n]*\n([^.\n][^\n]*\n)*\\.EE")
        string(APPEND problems "no example of the command ${command}\n")
    endif()
    execute_process(COMMAND ${CLI} ${command} --help OUTPUT_VARIABLE usage RESULT_VARIABLE result)
    if(NOT result EQUAL 0 OR NOT usage MATCHES "^usage: sonomap-cli ${command}")
        string(APPEND problems "sonomap-cli ${command} --help: ${result} ${usage}\n")
    endif()
    string(APPEND texts "\n${usage}")
endforeach()

# An option starts a word: "-o", "--type", "[--jobs", "(--points"; "-90" is a number. Brackets
# go first: CMake would read them as grouping the items of a list.
string(REGEX REPLACE "[][()|'\"]" " " texts "${texts}")
string(REGEX MATCHALL "[ \n]--?[a-z][a-z0-9-]*" found "${texts}")
set(options "")
foreach(match ${found})
    string(STRIP "${match}" option)
    list(APPEND options ${option})
endforeach()
list(REMOVE_DUPLICATES options)
foreach(option ${options})
    if(NOT man MATCHES "[^a-z0-9-]${option}[^a-z0-9-]")
        string(APPEND problems "the option ${option} is missing\n")
    endif()
endforeach()

foreach(code 0 1 2)
    if(NOT man MATCHES "\\.SH EXIT STATUS\n(.*\n)*\\.B ${code}\n")
        string(APPEND problems "the exit code ${code} is missing\n")
    endif()
endforeach()

if(NOT problems STREQUAL "")
    message(FATAL_ERROR "sonomap-cli.1 and --help disagree:\n${problems}")
endif()
list(JOIN options " " shown)
message(STATUS "commands: ${commands}; options: ${shown}")
