# The folders of the tree, lowest first. A source file may include headers of
# its own folder and of folders of a lower rank, never of a higher one: the
# dependencies run one way, from the front ends down to the engine. Checked
# when the build is configured, so that a wrong include fails the build.
set(TESSALY_LAYERS
  "platform/text=0"
  "platform/os=0"
  "platform/paradox=1"
  "platform/xml=2" "platform/sql=2"
  "rules=3" "log=3"
  "host=4" "folders=4"
  "import=5"
  "app=6" "cli=6" "tools=6")

function(tessaly_rank unit out)
  set(rank "")
  foreach(entry IN LISTS TESSALY_LAYERS)
    string(REPLACE "=" ";" pair "${entry}")
    list(GET pair 0 name)
    list(GET pair 1 value)
    if(unit STREQUAL name)
      set(rank ${value})
    endif()
  endforeach()
  set(${out} "${rank}" PARENT_SCOPE)
endfunction()

# The folder a path (relative to the source root) belongs to.
function(tessaly_unit path out)
  string(REGEX MATCH "^platform/[^/]+" unit "${path}")
  if(NOT unit)
    string(REGEX MATCH "^[^/]+" unit "${path}")
  endif()
  set(${out} "${unit}" PARENT_SCOPE)
endfunction()

function(tessaly_check_layers)
  set(problems "")
  foreach(entry IN LISTS TESSALY_LAYERS)
    string(REPLACE "=" ";" pair "${entry}")
    list(GET pair 0 folder)
    file(GLOB_RECURSE sources RELATIVE "${CMAKE_SOURCE_DIR}"
      "${CMAKE_SOURCE_DIR}/${folder}/*.h" "${CMAKE_SOURCE_DIR}/${folder}/*.cpp")
    foreach(source IN LISTS sources)
      tessaly_unit("${source}" from)
      tessaly_rank("${from}" fromRank)
      file(STRINGS "${CMAKE_SOURCE_DIR}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"")
      foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([^\"]+)\".*" "\\1" target "${line}")
        if(NOT EXISTS "${CMAKE_SOURCE_DIR}/${target}")
          continue()
        endif()
        tessaly_unit("${target}" to)
        tessaly_rank("${to}" toRank)
        if(to STREQUAL from OR toRank STREQUAL "")
          continue()
        endif()
        if(NOT toRank LESS fromRank)
          list(APPEND problems "${source} includes ${target} (${from} may not depend on ${to})")
        endif()
      endforeach()
    endforeach()
  endforeach()
  if(problems)
    list(JOIN problems "\n  " text)
    message(FATAL_ERROR "Includes against the direction of the layers:\n  ${text}")
  endif()
endfunction()
