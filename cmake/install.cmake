# Where `cmake --install` and the Debian package put the system:
#   bin/plumar, bin/kaldro-fala
#   share/kaldro/som/...           the built-in voice (diphones, rules, letters, words, tones)
#   share/kaldro/ormiatts/...      the Portuguese engine's data
#   etc/kaldro/KALDRO.INI          written at install time with the installed folders
#                                  (/etc/kaldro when the prefix is /usr)
#   share/man/man1/                plumar.1 and kaldro-fala.1, made from docs/*.md
#   share/applications/plumar.desktop
#   share/doc/kaldro/              the manual, the example templates and the copyright file
#   lib/speech-dispatcher-modules/sd_kaldro   the Speech Dispatcher output module, found there by
#                                  the server's module discovery (Debian's folder for prefix /usr)
#   etc/speech-dispatcher/modules/kaldro.conf its configuration (/etc/... when the prefix is /usr)
# Test data and test doubles (key scripts, the MBROLA stand-in) stay in the build tree.
include(GNUInstallDirs)

install(TARGETS plumar kaldro-fala RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Speech Dispatcher starts every sd_NAME of its modules folder with modules/NAME.conf.
install(TARGETS sd_kaldro RUNTIME DESTINATION lib/speech-dispatcher-modules)

install(DIRECTORY ${KALDRO_SHARE_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kaldro
        PATTERN "*.stamp" EXCLUDE)

# The manual pages: the manual and kaldro-fala's page are Markdown, turned into roff by our own tool.
set(KALDRO_MAN_DIR ${CMAKE_BINARY_DIR}/man)
set(kaldro_man_pages)
foreach(page "plumar|manual.md" "kaldro-fala|kaldro-fala.md")
  string(REPLACE "|" ";" page ${page})
  list(GET page 0 name)
  list(GET page 1 source)
  add_custom_command(
    OUTPUT ${KALDRO_MAN_DIR}/${name}.1
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KALDRO_MAN_DIR}
    COMMAND kaldro-manual --name ${name} --version ${PROJECT_VERSION}
            ${CMAKE_SOURCE_DIR}/docs/${source} ${KALDRO_MAN_DIR}/${name}.1
    DEPENDS kaldro-manual ${CMAKE_SOURCE_DIR}/docs/${source}
    COMMENT "Writing the manual page ${name}.1"
    VERBATIM)
  list(APPEND kaldro_man_pages ${KALDRO_MAN_DIR}/${name}.1)
endforeach()
add_custom_target(kaldro_man ALL DEPENDS ${kaldro_man_pages})
install(FILES ${kaldro_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${CMAKE_SOURCE_DIR}/data/plumar.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/docs/manual.md ${CMAKE_SOURCE_DIR}/docs/kaldro-fala.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The licence, as Debian's policy asks: machine-readable (DEP-5), naming the full text's place.
install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The templates only: their key scripts drive the tests.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/exemplos
        FILES_MATCHING PATTERN "*.txt" PATTERN "*.docx" PATTERN "*.odt")

# KALDRO.INI names the installed folders, so it is written when the prefix is known: at install time
# (`cmake --install --prefix` and the package choose it then).
install(CODE "
  set(KALDRO_INI_TEMPLATE \"${CMAKE_SOURCE_DIR}/data/KALDRO.INI.in\")
  set(KALDRO_INI_WORK \"${CMAKE_BINARY_DIR}/install-config\")
  set(KALDRO_DATADIR \"${CMAKE_INSTALL_DATADIR}\")
  include(\"${CMAKE_SOURCE_DIR}/cmake/install-config.cmake\")
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(speechd_modules \"/etc/speech-dispatcher/modules\")
  else()
    set(speechd_modules \"\${CMAKE_INSTALL_PREFIX}/etc/speech-dispatcher/modules\")
  endif()
  file(INSTALL DESTINATION \"\${speechd_modules}\" TYPE FILE
       FILES \"${CMAKE_SOURCE_DIR}/data/speech-dispatcher/kaldro.conf\")
")

# The Debian package: `cpack -G DEB` in the build folder.
set(CPACK_PACKAGE_NAME kaldro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Equipe kaldro <kaldro@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "preparador de cartas padronizadas que fala, para pessoas cegas")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "O plumar pergunta por voz cada campo de um modelo de carta e grava a carta pronta.\n kaldro-fala fala um texto ou grava um WAV. Voz embutida em português do Brasil; também fala pelo\n Speech Dispatcher, pelo eSpeak NG ou pelo MBROLA com a voz br4.\n O módulo sd_kaldro dá as vozes do kaldro ao Speech Dispatcher, e por ele ao Orca e aos demais\n programas da área de trabalho.")
# The configuration is written with the final folders, so the package is staged with DESTDIR under
# its real prefix.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The libraries the programs link come from dpkg-shlibdeps; those they open at run time (SDL2 for
# kaldro-fala's sound, eSpeak NG, Speech Dispatcher's client) and the font the window asks
# fontconfig for are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsdl2-2.0-0, libespeak-ng1, espeak-ng-data, libspeechd2, fonts-dejavu-core")
# Speech Dispatcher's service, xdg-open for links (F12), man for the manual pages, the CLDR
# annotations that name emoji.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "speech-dispatcher, xdg-utils, man-db, unicode-cldr-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "mbrola, mbrola-br4")
# The configuration under /etc is the user's to change: an upgrade asks before replacing it.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/cmake/debian/conffiles)
include(CPack)
