# One test program per folder of tests/; each test finds its data through KALDRO_TEST_DATA.
find_package(GTest REQUIRED)
include(GoogleTest)
# tests/support holds what several test programs share (running a program on the headless host).
file(GLOB support_srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_library(kd_test_support STATIC ${support_srcs})
target_include_directories(kd_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(kd_test_support PUBLIC KALDRO_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
target_link_libraries(kd_test_support PUBLIC kd_platform)
# Its header-only rigs serve tests of every floor; each test's own includes are what is checked.
get_property(all_units GLOBAL PROPERTY KALDRO_UNITS)
list(TRANSFORM all_units PREPEND kd_)
kaldro_floor(tests/support ${all_units})

# A folder named after a unit tests that unit (tests/tts links kd_tts and what it builds on); the
# folders named otherwise say here which units they test. A folder of neither kind links them all.
set(tests_of_editor kd_speech)
set(tests_of_hosts kd_window kd_console)
# The voice tests also check that the built-in voice and the engine say the shared words alike.
set(tests_of_voice kd_speech kd_tts)

# A stand-in for MBROLA (tests/doubles): the program `mbrola` and libraries exporting its calls, one
# lacking a call, all in their own folder so a test puts them on the PATH only when it wants them.
set(KALDRO_MBROLA_DOUBLE_DIR ${CMAKE_BINARY_DIR}/mbrola-double)
add_library(kd_mbrola_double_synth STATIC ${CMAKE_SOURCE_DIR}/tests/doubles/mbrola_double_synth.cpp)
set_target_properties(kd_mbrola_double_synth PROPERTIES POSITION_INDEPENDENT_CODE ON)
add_executable(mbrola_double ${CMAKE_SOURCE_DIR}/tests/doubles/mbrola_program.cpp)
target_link_libraries(mbrola_double PRIVATE kd_mbrola_double_synth)
set_target_properties(mbrola_double PROPERTIES OUTPUT_NAME mbrola RUNTIME_OUTPUT_DIRECTORY ${KALDRO_MBROLA_DOUBLE_DIR})
foreach(library mbrola-double mbrola-double-partial)
  add_library(${library} SHARED ${CMAKE_SOURCE_DIR}/tests/doubles/mbrola_library.cpp)
  target_link_libraries(${library} PRIVATE kd_mbrola_double_synth)
  set_target_properties(${library} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${KALDRO_MBROLA_DOUBLE_DIR})
endforeach()
target_compile_definitions(mbrola-double-partial PRIVATE KALDRO_DOUBLE_LACKS_A_CALL)
target_compile_definitions(kd_test_support PUBLIC KALDRO_MBROLA_DOUBLE_DIR="${KALDRO_MBROLA_DOUBLE_DIR}")

file(GLOB test_dirs LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*)
foreach(dir ${test_dirs})
  get_filename_component(unit ${dir} NAME)
  if(IS_DIRECTORY ${dir} AND NOT unit STREQUAL "support" AND NOT unit STREQUAL "data" AND NOT unit STREQUAL "doubles")
    file(GLOB test_srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
    if(test_srcs)
      add_executable(test_${unit} ${test_srcs})
      target_include_directories(test_${unit} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
      if(DEFINED tests_of_${unit})
        set(tested ${tests_of_${unit}})
      elseif(TARGET kd_${unit})
        set(tested kd_${unit})
      else()
        set(tested ${all_units})
      endif()
      target_link_libraries(test_${unit} PRIVATE kd_test_support ${tested} GTest::gtest GTest::gtest_main GTest::gmock)
      if(unit STREQUAL "robustness")  # runs the crash vectors through the fuzz targets
        target_link_libraries(test_${unit} PRIVATE kd_fuzz_targets)
      endif()
      kaldro_floor(tests/${unit} ${tested})
      target_compile_definitions(test_${unit} PRIVATE
        KALDRO_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data"
        KALDRO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
      add_dependencies(test_${unit} mbrola_double mbrola-double mbrola-double-partial)
      if(TARGET plumar)
        add_dependencies(test_${unit} plumar)
      endif()
      if(TARGET kaldro-fala)
        add_dependencies(test_${unit} kaldro-fala)
      endif()
      # The discovered tests' properties are written out as one flat list, which splits an
      # environment of several variables: the sanitizers' settings go through `cmake -E env` instead.
      if(KALDRO_SANITIZER_ENV)
        set_target_properties(test_${unit} PROPERTIES CROSSCOMPILING_EMULATOR "${CMAKE_COMMAND};-E;env;${KALDRO_SANITIZER_ENV}")
      endif()
      gtest_discover_tests(test_${unit} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
    endif()
  endif()
endforeach()

# The manual pages' writer is a build tool of tools/.
if(TARGET test_manual)
  target_link_libraries(test_manual PRIVATE kaldro_manual_core)
endif()

# The real terminal (tmux) and the real window (Xvfb, xdotool), end to end with plumar. Each script
# ends with 77, a skip, where its tools are not installed.
foreach(real_host tmux xvfb)
  add_test(NAME hosts_${real_host}
           COMMAND sh ${CMAKE_SOURCE_DIR}/tests/hosts/run_${real_host}.sh ${CMAKE_BINARY_DIR}/bin
                   ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/hosts_${real_host})
  set(real_host_env ${KALDRO_SANITIZER_ENV})
  if(KALDRO_SANITIZE AND real_host STREQUAL "xvfb")
    # Mesa's GL driver, loaded under SDL by the X libraries, leaks and is unloaded before the leak
    # check, so its frames have no library name a suppression could match: no leak check here only.
    list(TRANSFORM real_host_env REPLACE "detect_leaks=1" "detect_leaks=0")
  endif()
  set_tests_properties(hosts_${real_host} PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77
                       ENVIRONMENT "${real_host_env}")
endforeach()

# The pronunciation of both voices against eSpeak NG's Brazilian voice on the frequent words: the
# engine at least 97% of phones and 98% of stressed syllables, the built-in voice no lower than it
# reached. Skipped (77) where python3 is missing.
foreach(voice builtin ormia)
  if(voice STREQUAL "ormia")
    set(floors --engine ormia --minimo-fones 97 --minimo-tonica 98)
  else()
    set(floors --minimo-fones 99 --minimo-tonica 99)
  endif()
  add_test(NAME pronuncia_${voice}
           COMMAND sh -c "command -v python3 >/dev/null || exit 77; exec python3 \"$@\"" sh
                   ${CMAKE_SOURCE_DIR}/tools/compara-fonemas --build ${CMAKE_BINARY_DIR} ${floors})
  set_tests_properties(pronuncia_${voice} PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
endforeach()

# The engine on whole sentences against eSpeak NG's mb-br4 voice, differences kept on purpose apart,
# and every sentence played through the real MBROLA with no diphone missing. Skipped (77) without
# python3, eSpeak NG or the br4 voice.
add_test(NAME pronuncia_ormia_frases
         COMMAND sh -c "command -v python3 >/dev/null && command -v espeak-ng >/dev/null && \
test -e /usr/share/mbrola/br4/br4 || exit 77; exec python3 \"$@\"" sh
                 ${CMAKE_SOURCE_DIR}/tools/compara-fonemas --engine ormia --frases --build ${CMAKE_BINARY_DIR}
                 --minimo-fones 98)
set_tests_properties(pronuncia_ormia_frases PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)

# The shared list of stressed e and o refuses what would give a voice a wrong or doubled entry:
# a word without its mark, with two marks, written twice, or already in the hand-written exceptions.
set(vowel_list_cases
  "sem-marca|fede\\n|nada\\n"
  "duas-marcas|fédê\\n|nada\\n"
  "repetida|féde\\nfêde\\n|nada\\n"
  "ja-nas-excecoes|féde\\n|fede=fede\\n")
foreach(case ${vowel_list_cases})
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 name)
  list(GET fields 1 words)
  list(GET fields 2 base)
  set(folder ${CMAKE_BINARY_DIR}/vogais-teste/${name})
  add_test(NAME vogais_tonicas_recusa_${name}
           COMMAND sh -c "mkdir -p \"$1\" && printf \"$2\" > \"$1/lista.txt\" && printf \"$3\" > \"$1/base.exc\" && \
cmake -DLIST=\"$1/lista.txt\" -DBASE=\"$1/base.exc\" -DOUT=\"$1/saida.exc\" -DVOICE=engine -P \"$4\" 2>&1 | \
grep -q \"lista.txt:[0-9]*:\" && test ! -e \"$1/saida.exc\"" sh
                   ${folder} ${words} ${base} ${CMAKE_SOURCE_DIR}/tools/vogais-tonicas.cmake)
endforeach()

# The layer check's message rule, on messages and data planted in a scratch tree.
add_test(NAME camadas_mensagens
         COMMAND sh ${CMAKE_SOURCE_DIR}/tests/layers/run_messages.sh $<TARGET_FILE:kaldro-camadas>
                 ${CMAKE_BINARY_DIR}/camadas-teste)

# The install: into a fresh prefix, then plumar, kaldro-fala, their manual pages and the desktop
# entry run from there with a clean environment.
add_test(NAME install_prefix
         COMMAND sh ${CMAKE_SOURCE_DIR}/tests/install/run_install.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}
                 ${CMAKE_BINARY_DIR}/install-test)
set_tests_properties(install_prefix PROPERTIES TIMEOUT 120)

# The manual pages render without a single warning of groff (skipped where groff is missing).
foreach(page plumar kaldro-fala)
  add_test(NAME man_page_${page}
           COMMAND sh -c "command -v groff >/dev/null || exit 77; out=$(groff -man -K utf8 -ww -z \"$1\" 2>&1) && [ -z \"$out\" ] || { echo \"$out\"; exit 1; }" sh
                   ${CMAKE_BINARY_DIR}/man/${page}.1)
  set_tests_properties(man_page_${page} PROPERTIES TIMEOUT 60 SKIP_RETURN_CODE 77)
endforeach()

# The Debian package, built by cpack and read back with dpkg-deb.
add_test(NAME install_debian_package
         COMMAND sh ${CMAKE_SOURCE_DIR}/tests/install/run_package.sh ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/package-test)
set_tests_properties(install_debian_package PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77)
