# The data of the Portuguese text-to-speech engine: every file of data/ormiatts is copied into
# PREFIX/share/kaldro/ormiatts. Files made from other sources add their own rules beside this one.
file(GLOB ormiatts_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/ormiatts/*)
list(FILTER ormiatts_sources EXCLUDE REGEX "/[.][^/]*$")
set(ormiatts_files)
foreach(source ${ormiatts_sources})
  get_filename_component(name ${source} NAME)
  add_custom_command(
    OUTPUT ${KALDRO_ORMIATTS_DIR}${name}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KALDRO_ORMIATTS_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${KALDRO_ORMIATTS_DIR}${name}
    DEPENDS ${source}
    VERBATIM)
  list(APPEND ormiatts_files ${KALDRO_ORMIATTS_DIR}${name})
endforeach()
add_custom_target(kaldro_ormiatts_data ALL DEPENDS ${ormiatts_files})
# The voice's diphone list: until a user writes the real one of an installed voice with
# tools/lista-difones, every pair of the br4 phones, so that the engine inserts no filler.
add_custom_command(
  OUTPUT ${KALDRO_ORMIATTS_DIR}portug.dfn
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KALDRO_ORMIATTS_DIR}
  COMMAND sh ${CMAKE_SOURCE_DIR}/tools/lista-difones --todos ${KALDRO_ORMIATTS_DIR}portug.dfn
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/lista-difones
  VERBATIM)
add_custom_target(kaldro_ormiatts_diphones ALL DEPENDS ${KALDRO_ORMIATTS_DIR}portug.dfn)
# kaldro-fala reads the engine's data from the tree it runs from.
if(TARGET kaldro-fala)
  add_dependencies(kaldro-fala kaldro_ormiatts_data kaldro_ormiatts_diphones)
endif()
