# Fails when the editor's two hubs grow back: a class declaring more public member functions
# than its limit, or a source outside the start-up naming the concrete wave view (including its
# header or casting to it) where an interface of it would do.
#
# Usage: cmake -DSOURCE_DIR=<folder holding the layer folders> -DLIMITS=<header,class,most,...>
#              -P CheckHubs.cmake

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "SOURCE_DIR is not set")
endif()
get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)

# Sets COUNT to the public member functions class declares in header: constructors, the
# destructor and operators too; deleted ones, data and what comments say do not count.
function(count_public header class)
    file(READ "${header}" text)
    # CMake's lists split at ';' except inside brackets: brackets go first.
    string(REPLACE "[" "<" text "${text}")
    string(REPLACE "]" ">" text "${text}")
    string(REGEX REPLACE "//[^\n]*" "" text "${text}")
    string(REGEX MATCH "class ${class}[ \n][^{;]*{" head "${text}")
    if(head STREQUAL "")
        message(FATAL_ERROR "${header}: no class ${class}")
    endif()
    string(FIND "${text}" "${head}" at)
    string(LENGTH "${head}" length)
    math(EXPR at "${at} + ${length}")
    string(SUBSTRING "${text}" ${at} -1 body)
    # Inline bodies and nested types become one statement each; the first brace left closes
    # the class.
    set(before "")
    while(NOT before STREQUAL body)
        set(before "${body}")
        string(REGEX REPLACE "{[^{}]*}" ";" body "${body}")
    endwhile()
    string(FIND "${body}" "}" end)
    string(SUBSTRING "${body}" 0 ${end} body)
    string(REGEX REPLACE "(public|protected|private)( slots)?[ \t\n]*:" ";@\\1@;" body "${body}")
    string(REGEX REPLACE "signals[ \t\n]*:" ";@signals@;" body "${body}")
    set(access private)
    set(count 0)
    foreach(statement IN LISTS body)
        if(statement MATCHES "^@([a-z]+)@$")
            set(access "${CMAKE_MATCH_1}")
        elseif(access STREQUAL "public" AND statement MATCHES "\\("
               AND NOT statement MATCHES "=[ \t\n]*delete"
               AND NOT statement MATCHES "^[ \t\n]*(static[ \t\n]+)?constexpr[ \t\n]"
               AND NOT statement MATCHES "^[ \t\n]*(using|friend)[ \t\n]")
            math(EXPR count "${count} + 1")
        endif()
    endforeach()
    set(COUNT ${count} PARENT_SCOPE)
endfunction()

set(faults 0)
string(REPLACE "," ";" LIMITS "${LIMITS}")
list(LENGTH LIMITS length)
if(length GREATER 0)
    math(EXPR last "${length} - 1")
    foreach(i RANGE 0 ${last} 3)
        math(EXPR c "${i} + 1")
        math(EXPR m "${i} + 2")
        list(GET LIMITS ${i} header)
        list(GET LIMITS ${c} class)
        list(GET LIMITS ${m} most)
        count_public("${SOURCE_DIR}/${header}" ${class})
        if(COUNT GREATER most)
            message("${header}: ${class} declares ${COUNT} public member functions, more than ${most}")
            math(EXPR faults "${faults} + 1")
        else()
            message("${class}: ${COUNT} public member functions")
        endif()
    endforeach()
endif()

file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
foreach(file ${files})
    if(file MATCHES "^app/" OR file MATCHES "^views/CWaveScrollView")
        continue()
    endif()
    file(STRINGS "${SOURCE_DIR}/${file}" lines REGEX
        "#[ \t]*include[ \t]*\"views/CWaveScrollView\\.h\"|_cast<[ \t]*(const[ \t]+)?CWaveScrollView")
    foreach(line ${lines})
        message("${file}: names the concrete wave view: ${line}")
        math(EXPR faults "${faults} + 1")
    endforeach()
endforeach()

if(faults GREATER 0)
    message(FATAL_ERROR "${faults} fault(s) in the hubs")
endif()
message("the hubs keep to their limits")
