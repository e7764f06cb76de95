# The data of the Portuguese text-to-speech engine: every file of data/ormiatts is copied into
# PREFIX/share/kaldro/ormiatts. Files made from other sources add their own rules beside this one.
# portug.dfn is the br4 voice's diphone list, written by tools/lista-difones from the installed voice.
file(GLOB ormiatts_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/ormiatts/*)
list(FILTER ormiatts_sources EXCLUDE REGEX "/[.][^/]*$")
# The exceptions get the stressed e and o shared with the built-in voice on their way.
list(FILTER ormiatts_sources EXCLUDE REGEX "/portug[.]exc$")
kaldro_stressed_vowels(engine ${CMAKE_SOURCE_DIR}/data/ormiatts/portug.exc ${KALDRO_ORMIATTS_DIR}portug.exc)
set(ormiatts_files ${KALDRO_ORMIATTS_DIR}portug.exc)
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

# The engine's phones (kaldro-fala --engine ormia), its tests and the test that both voices agree
# read the data made here.
function(kaldro_ormiatts_links)
  foreach(target kaldro-fala test_tts test_voice)
    if(TARGET ${target})
      add_dependencies(${target} kaldro_ormiatts_data)
    endif()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL kaldro_ormiatts_links)
