# Run at install time (from cmake/install.cmake): writes KALDRO.INI with the folders of this
# install. The prefix /usr keeps its configuration in /etc/kaldro, as Debian does; any other prefix
# in PREFIX/etc/kaldro, where the programs look first after the user's own folders.
set(share "${CMAKE_INSTALL_PREFIX}/${KALDRO_DATADIR}/kaldro")
set(KALDRO_LETTERS_DIR "${share}/som/letras/")
set(KALDRO_DIPHONES_DIR "${share}/som/difones/")
set(KALDRO_ORMIATTS_DIR "${share}/ormiatts/")
set(KALDRO_INI_ORIGIN "Escrito pela instalação: as pastas apontam para ${CMAKE_INSTALL_PREFIX}.")
# One work folder per destination: an install and a package made at the same time never share it.
string(MD5 destination "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(work "${KALDRO_INI_WORK}/${destination}")
configure_file("${KALDRO_INI_TEMPLATE}" "${work}/KALDRO.INI" @ONLY)
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(folder "/etc/kaldro")
else()
  set(folder "${CMAKE_INSTALL_PREFIX}/etc/kaldro")
endif()
file(INSTALL DESTINATION "${folder}" TYPE FILE FILES "${work}/KALDRO.INI")
