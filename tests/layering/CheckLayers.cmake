# Fails when a source file includes against the layers: each layer may include only itself and
# the layers below it, and the core layers never include Qt.
#
#   app -> shell -> views -> playback, cli -> binaural -> deliver -> scene -> document, sofa
#       -> trajectory -> formats, render, peaks, geometry, trevant -> platform
#
# trajectory holds the places and their codecs; sofa the SOFA binaural engine (no mixer);
# document the sound, its undo, open, save and recovery; scene the sources, the listener and
# what reaches the listener from each; deliver the renderers and exports over a scene.
# binaural drives the mixer library for the binaural export, without Qt. The command-line tool
# stands beside playback. Layers of the same rank are siblings and do not include each other.
#
# Usage: cmake -DSOURCE_DIR=<folder holding the layer folders> -P CheckLayers.cmake

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "SOURCE_DIR is not set")
endif()
get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)

# Folder, rank, core (no Qt).
set(LAYERS
    platform 0 1
    formats 1 1
    render 1 1
    geometry 1 1
    peaks 1 1
    trevant 1 1
    trajectory 2 1
    sofa 3 1
    document 3 1
    scene 4 1
    deliver 5 1
    binaural 6 1
    cli 7 1
    playback 7 0
    views 8 0
    shell 9 0
    app 10 0)

# Sets NAME, RANK and CORE of the layer a path (relative to SOURCE_DIR) belongs to; NAME is
# empty for a path in no layer.
function(layer_of path)
    set(name "")
    set(rank -1)
    set(core 0)
    list(LENGTH LAYERS count)
    math(EXPR last "${count} - 1")
    foreach(i RANGE 0 ${last} 3)
        list(GET LAYERS ${i} folder)
        string(LENGTH "${folder}/" length)
        string(SUBSTRING "${path}" 0 ${length} head)
        if(head STREQUAL "${folder}/")
            math(EXPR r "${i} + 1")
            math(EXPR c "${i} + 2")
            list(GET LAYERS ${r} rank)
            list(GET LAYERS ${c} core)
            set(name "${folder}")
            break()
        endif()
    endforeach()
    set(NAME "${name}" PARENT_SCOPE)
    set(RANK "${rank}" PARENT_SCOPE)
    set(CORE "${core}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
set(violations 0)
foreach(file ${files})
    layer_of("${file}")
    if(NAME STREQUAL "")
        continue()
    endif()
    set(from "${NAME}")
    set(fromRank "${RANK}")
    set(fromCore "${CORE}")
    file(STRINGS "${SOURCE_DIR}/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line ${includes})
        if(line MATCHES "<(Q[A-Za-z]*|qt[^>]*)(/[^>]*)?>")
            if(fromCore)
                message("${file}: the core layer ${from} includes Qt: ${line}")
                math(EXPR violations "${violations} + 1")
            endif()
            continue()
        endif()
        if(NOT line MATCHES "\"([^\"]+)\"")
            continue()
        endif()
        layer_of("${CMAKE_MATCH_1}")
        if(NAME STREQUAL "" OR NAME STREQUAL from)
            continue()
        endif()
        if(NOT RANK LESS fromRank)
            message("${file}: ${from} must not include ${NAME}: ${line}")
            math(EXPR violations "${violations} + 1")
        endif()
    endforeach()
endforeach()

list(LENGTH files checked)
if(violations GREATER 0)
    message(FATAL_ERROR "${violations} include(s) against the layers in ${checked} files")
endif()
message("${checked} files keep to the layers")
