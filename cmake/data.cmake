# Data made at build time: the built-in voice and the default configuration, inside the build tree
# (the build folder is the tree's PREFIX: PREFIX/share/kaldro/som/..., PREFIX/etc/kaldro/KALDRO.INI).

set(KALDRO_SHARE_DIR ${CMAKE_BINARY_DIR}/share/kaldro)
set(KALDRO_DIPHONES_DIR ${KALDRO_SHARE_DIR}/som/difones/)
set(KALDRO_LETTERS_DIR ${KALDRO_SHARE_DIR}/som/letras/)
set(KALDRO_ORMIATTS_DIR ${KALDRO_SHARE_DIR}/ormiatts/)

# One voice's exception file (VOICE builtin or engine): its hand-written exceptions followed by the
# stressed e and o of data/vogais-tonicas.txt, so that the two voices never disagree on those words.
function(kaldro_stressed_vowels voice base output)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DLIST=${CMAKE_SOURCE_DIR}/data/vogais-tonicas.txt -DBASE=${base}
            -DOUT=${output} -DVOICE=${voice} -P ${CMAKE_SOURCE_DIR}/tools/vogais-tonicas.cmake
    DEPENDS ${CMAKE_SOURCE_DIR}/data/vogais-tonicas.txt ${base} ${CMAKE_SOURCE_DIR}/tools/vogais-tonicas.cmake
    COMMENT "Adding the shared stressed e and o to ${base}"
    VERBATIM)
endfunction()
set(voice_sources
  ${CMAKE_SOURCE_DIR}/data/voice/unidades.txt
  ${CMAKE_SOURCE_DIR}/data/voice/letras.txt
  ${CMAKE_SOURCE_DIR}/data/voice/palavras.txt)
set(voice_database ${KALDRO_DIPHONES_DIR}DIFONES2.IND ${KALDRO_DIPHONES_DIR}DIFONES2.DIF)
set(voice_inventory ${KALDRO_DIPHONES_DIR}unidades.txt)
set(voice_recordings_stamp ${KALDRO_LETTERS_DIR}gravacoes.stamp)

# The sound: remade only when the builder or its lists change. The inventory it was built from goes
# beside the database, where the programs read the units' phones.
add_custom_command(
  OUTPUT ${voice_database} ${voice_recordings_stamp} ${voice_inventory}
  COMMAND ${KALDRO_TOOL_ENV} $<TARGET_FILE:kaldro-voz>
          --inventory ${CMAKE_SOURCE_DIR}/data/voice/unidades.txt
          --letters ${CMAKE_SOURCE_DIR}/data/voice/letras.txt
          --words ${CMAKE_SOURCE_DIR}/data/voice/palavras.txt
          --diphones-out ${KALDRO_DIPHONES_DIR} --base DIFONES2
          --letters-out ${KALDRO_LETTERS_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${voice_recordings_stamp}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/data/voice/unidades.txt ${voice_inventory}
  DEPENDS kaldro-voz ${voice_sources}
  COMMENT "Making the built-in voice (diphone units, letters, words, tones)"
  VERBATIM)

# The rules and exceptions: checked, then copied beside the database. The exceptions are the
# hand-written ones plus the open and closed stressed e and o of the list both voices share.
set(voice_exceptions_made ${CMAKE_BINARY_DIR}/vogais/portug-embutida.exc)
kaldro_stressed_vowels(builtin ${CMAKE_SOURCE_DIR}/data/portug.exc ${voice_exceptions_made})
set(voice_text_files)
foreach(name regras.rgr portug.exc)
  set(source ${CMAKE_SOURCE_DIR}/data/${name})
  if(name STREQUAL "portug.exc")
    set(source ${voice_exceptions_made})
  endif()
  add_custom_command(
    OUTPUT ${KALDRO_DIPHONES_DIR}${name}
    COMMAND ${KALDRO_TOOL_ENV} $<TARGET_FILE:kaldro-voz> --check --rules ${CMAKE_SOURCE_DIR}/data/regras.rgr
                               --exceptions ${voice_exceptions_made}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KALDRO_DIPHONES_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${KALDRO_DIPHONES_DIR}${name}
    DEPENDS kaldro-voz ${source} ${voice_exceptions_made} ${CMAKE_SOURCE_DIR}/data/regras.rgr
    COMMENT "Checking and installing ${name}"
    VERBATIM)
  list(APPEND voice_text_files ${KALDRO_DIPHONES_DIR}${name})
endforeach()

add_custom_target(kaldro_voice ALL DEPENDS ${voice_database} ${voice_recordings_stamp} ${voice_inventory} ${voice_text_files})

# The default configuration, with absolute folders into this tree (an install writes its own).
set(KALDRO_INI_ORIGIN "Escrito pela compilação: as pastas apontam para a árvore de compilação.")
file(MAKE_DIRECTORY ${KALDRO_ORMIATTS_DIR})
configure_file(${CMAKE_SOURCE_DIR}/data/KALDRO.INI.in ${CMAKE_BINARY_DIR}/etc/kaldro/KALDRO.INI @ONLY)

# Programs and tests that speak need the voice; the voice tests also reach the builder's parts.
# Deferred because those targets are defined after this file.
function(kaldro_voice_links)
  foreach(target plumar kaldro-fala)
    if(TARGET ${target})
      add_dependencies(${target} kaldro_voice)
    endif()
  endforeach()
  if(TARGET test_voice)
    add_dependencies(test_voice kaldro_voice)
    target_link_libraries(test_voice PRIVATE kaldro_voz_core)
    target_compile_definitions(test_voice PRIVATE
      KALDRO_DIPHONES_DIR="${KALDRO_DIPHONES_DIR}" KALDRO_LETTERS_DIR="${KALDRO_LETTERS_DIR}")
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL kaldro_voice_links)
