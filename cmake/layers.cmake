# The floors of the tree, checked at build time. A unit's floor is what its DEPS name (src/CMakeLists.txt),
# followed down; a test folder's floor is that of the units it links. kaldro-camadas reads every
# #include "unit/..." below src/ and tests/ and fails the build on one that reaches above its floor,
# on a chain of includes that comes back to where it started, on a file of src/ without its purpose
# line, or on a message outside src/platform/words.h.

# The units of `targets` (kd_* names) and everything they build on, without the kd_ prefix.
function(kaldro_units_below out)
  set(pending "")
  foreach(target ${ARGN})
    if(target MATCHES "^kd_(.*)$")
      list(APPEND pending ${CMAKE_MATCH_1})
    endif()
  endforeach()
  set(seen "")
  while(pending)
    list(POP_FRONT pending unit)
    if(NOT unit IN_LIST seen)
      list(APPEND seen ${unit})
      get_property(below GLOBAL PROPERTY KALDRO_UNIT_DEPS_${unit})
      list(APPEND pending ${below})
    endif()
  endwhile()
  list(SORT seen)
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Files below `folder` (relative to the source tree) may include what `targets` build on.
function(kaldro_floor folder)
  kaldro_units_below(units ${ARGN})
  list(JOIN units " " units)
  set_property(GLOBAL APPEND PROPERTY KALDRO_FLOOR_LINES "folder ${folder}/ ${units}")
endfunction()

function(kaldro_check_layers)
  get_property(units GLOBAL PROPERTY KALDRO_UNITS)
  set(lines "")
  foreach(unit ${units})
    get_property(folder GLOBAL PROPERTY KALDRO_UNIT_FOLDER_${unit})
    list(APPEND lines "unit ${unit} ${folder}/")
    get_property(direct GLOBAL PROPERTY KALDRO_UNIT_DEPS_${unit})
    list(JOIN direct " " direct_text)
    list(APPEND lines "deps ${unit} ${direct_text}")
    # A unit reaching a unit that reaches it back has no floor at all.
    get_property(direct GLOBAL PROPERTY KALDRO_UNIT_DEPS_${unit})
    foreach(below ${direct})
      kaldro_units_below(under_below kd_${below})
      if(unit IN_LIST under_below)
        message(FATAL_ERROR "As unidades ${unit} e ${below} dependem uma da outra: separe-as por uma interface.")
      endif()
    endforeach()
    # A floor that must never hold some units (the module never reaches the console).
    kaldro_units_below(floor kd_${unit})
    get_property(never GLOBAL PROPERTY KALDRO_UNIT_NEVER_${unit})
    foreach(banned ${never})
      if(banned IN_LIST floor)
        message(FATAL_ERROR "A unidade ${unit} não pode se apoiar em ${banned}, e as suas DEPS a levam até lá.")
      endif()
    endforeach()
    kaldro_floor(src/${folder} kd_${unit})
  endforeach()
  get_property(floors GLOBAL PROPERTY KALDRO_FLOOR_LINES)
  list(APPEND lines ${floors})
  list(JOIN lines "\n" text)
  set(rules ${CMAKE_BINARY_DIR}/camadas.txt)
  file(WRITE ${rules}.new "${text}\n")
  file(COPY_FILE ${rules}.new ${rules} ONLY_IF_DIFFERENT)

  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/src/*.h ${CMAKE_SOURCE_DIR}/src/*.cpp
       ${CMAKE_SOURCE_DIR}/tests/*.h ${CMAKE_SOURCE_DIR}/tests/*.cpp)
  set(stamp ${CMAKE_BINARY_DIR}/camadas.ok)
  add_custom_command(OUTPUT ${stamp}
                     COMMAND kaldro-camadas ${rules} ${CMAKE_SOURCE_DIR}
                     COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
                     DEPENDS kaldro-camadas ${rules} ${sources} ${CMAKE_SOURCE_DIR}/docs/arquitetura.md
                     COMMENT "Conferindo as camadas das inclusões")
  add_custom_target(kaldro_layers ALL DEPENDS ${stamp})
  # Every unit waits for the check, so that any build of any target stops on a broken floor.
  foreach(unit ${units})
    add_dependencies(kd_${unit} kaldro_layers)
  endforeach()
endfunction()
