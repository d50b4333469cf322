# The layer check: every project include in a library or program source points to its own folder or to a
# lower layer. Run as `cmake -DROOT=<source tree> -P check_layers.cmake`; it fails naming each file and line
# that includes a folder of a higher or the same rank. Tests and benchmarks sit above everything and are not
# checked.
#
# Layers, lowest first; a folder may include only its own files and folders of a lower rank:
#   0  lib/util, lib/codes (helpers; part type and operation codes)
#   1  lib/fusemap (fuse maps and device images), app/chain (the chain model)
#   2  driver (the port I/O driver and its control codes)
#   3  app/port (port access: the backends and the driver's client)
#   4  sim (the simulated board, a port backend), app/engine (the ISP engine)
#   5  app/svf
#   6  app/ui/core (the programmer's display-free core)
#   7  app/ui/cli, app/ui/gui, tools/fusebuild, tools/fusedump (the programs)
if(NOT ROOT)
  message(FATAL_ERROR "check_layers: set ROOT to the source tree")
endif()

# Three parallel lists: the folder in the tree, the prefix its headers are included by, and its rank.
set(folders  lib/util lib/codes lib/fusemap app/chain app/port driver sim app/engine app/svf app/ui/core app/ui/cli
             app/ui/gui tools/fusebuild tools/fusedump)
set(prefixes util     codes     fusemap     chain     port     driver sim engine     svf     ui/core     ui/cli
             ui/gui     fusebuild       fusedump)
set(ranks    0        0         1           1         3        2      4   4          5       6           7
             7          7               7)

list(LENGTH folders count)
math(EXPR last "${count} - 1")
set(violations "")
foreach(i RANGE ${last})
  list(GET folders ${i} folder)
  list(GET prefixes ${i} own_prefix)
  list(GET ranks ${i} rank)
  file(GLOB_RECURSE sources LIST_DIRECTORIES false "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
  foreach(source IN LISTS sources)
    file(RELATIVE_PATH relative "${ROOT}" "${source}")
    if(relative MATCHES "/(tests|bench)/")
      continue()
    endif()
    file(STRINGS "${source}" lines)
    set(line_number 0)
    foreach(line IN LISTS lines)
      math(EXPR line_number "${line_number} + 1")
      if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")
        continue()
      endif()
      set(included "${CMAKE_MATCH_1}")
      foreach(j RANGE ${last})
        list(GET prefixes ${j} prefix)
        if(NOT included MATCHES "^${prefix}/")
          continue()
        endif()
        list(GET ranks ${j} included_rank)
        if(NOT prefix STREQUAL own_prefix AND included_rank GREATER_EQUAL rank)
          list(GET folders ${j} included_folder)
          list(APPEND violations
               "${relative}:${line_number}: includes ${included}: ${included_folder} (layer ${included_rank}) is not below ${folder} (layer ${rank})")
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n" text)
  message(FATAL_ERROR "layer check failed:\n${text}")
endif()
message(STATUS "layer check passed")
