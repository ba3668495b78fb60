# SPDX-License-Identifier: Apache-2.0
# Makes the status headers and the catalogue source from messages.txt:
#   rdres_generate(<table> <header dir> <catalogue source>)
# Runs at configure time and again whenever the table changes. Refuses a
# table whose numbers do not ascend, or a line it cannot read.
function(rdres_generate table header_dir catalogue)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${table})
  file(READ ${table} content)
  # Brackets and semicolons would disturb CMake's lists: hide them first.
  string(REPLACE "[" "@LB@" content "${content}")
  string(REPLACE "]" "@RB@" content "${content}")
  string(REPLACE ";" "@SC@" content "${content}")
  string(REPLACE "\n" ";" lines "${content}")

  set(plat "")
  set(rdx "")
  set(entries "")
  set(previous -1)
  foreach(line IN LISTS lines)
    if(line STREQUAL "" OR line MATCHES "^#")
      continue()
    endif()
    if(NOT line MATCHES "^([0-9]+) *\\| *([^|]*[^ |]) *\\| (.+)$")
      message(FATAL_ERROR "${table}: unreadable line: ${line}")
    endif()
    set(number ${CMAKE_MATCH_1})
    set(names ${CMAKE_MATCH_2})
    set(text "${CMAKE_MATCH_3}")
    if(NOT number GREATER previous)
      message(FATAL_ERROR "${table}: ${number} does not follow ${previous}")
    endif()
    set(previous ${number})
    string(REPLACE "@LB@" "[" text "${text}")
    string(REPLACE "@RB@" "]" text "${text}")
    string(REPLACE "@SC@" ";" text "${text}")
    string(REPLACE "\\" "\\\\" quoted "${text}")
    string(REPLACE "\"" "\\\"" quoted "${quoted}")
    string(APPEND entries "    {${number}u, \"${quoted}\"},\n")
    string(REPLACE "*/" "* /" comment "${text}")
    string(REPLACE " " ";" name_list "${names}")
    foreach(name IN LISTS name_list)
      if(name STREQUAL "-")
        continue()
      elseif(name MATCHES "^(plat|rdx):([A-Z0-9_]+)$")
        string(APPEND ${CMAKE_MATCH_1}
               "#define RDSTATUS_${CMAKE_MATCH_2} ${number}u /* ${comment} */\n")
      else()
        message(FATAL_ERROR "${table}: bad name '${name}' of ${number}")
      endif()
    endforeach()
  endforeach()

  set(note "/* Made by the build from rdres/messages.txt: edit that table, not this file. */")
  file(CONFIGURE OUTPUT ${header_dir}/rdplat_status_codes.h CONTENT
       "${note}\n#ifndef RDPLAT_STATUS_CODES_H\n#define RDPLAT_STATUS_CODES_H\n\n${plat}\n#endif\n"
       @ONLY)
  file(CONFIGURE OUTPUT ${header_dir}/rdx_status_codes.h CONTENT
       "${note}\n#ifndef RDX_STATUS_CODES_H\n#define RDX_STATUS_CODES_H\n\n${rdx}\n#endif\n"
       @ONLY)
  file(CONFIGURE OUTPUT ${catalogue} CONTENT "// ${note}\n${entries}" @ONLY)
endfunction()
