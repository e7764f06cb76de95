# Writes one voice's exception file: its hand-written exceptions followed by the entries made from
# the shared list of open and closed stressed e and o, so that both voices say those words alike.
#
#   cmake -DLIST=data/vogais-tonicas.txt -DBASE=hand.exc -DOUT=portug.exc -DVOICE=builtin|engine
#         -P vogais-tonicas.cmake
#
# A list word carries exactly one mark on its stressed vowel: acute for open (féde), circumflex for
# closed (mêdo). The built-in voice writes its keys and forms as its translator sees words (accents
# as marks after the letter, ç as ss); the engine reads the word with its accents.
cmake_minimum_required(VERSION 3.20)
foreach(required LIST BASE OUT VOICE)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "vogais-tonicas: falta -D${required}")
  endif()
endforeach()

function(builtin_form text out)
  set(result "${text}")
  foreach(pair "ç;ss" "á;a'" "é;e'" "í;i'" "ó;o'" "ú;u'" "â;a^" "ê;e^" "ô;o^" "ã;a~" "õ;o~" "à;a`" "ü;u\"")
    list(GET pair 0 from)
    list(GET pair 1 to)
    string(REPLACE "${from}" "${to}" result "${result}")
  endforeach()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

# Keys already written by hand: a word may not be in both places. Keys seen are kept as variables
# (a hashed lookup), so that a list of thousands of words is joined in linear time.
file(STRINGS "${BASE}" base_lines ENCODING UTF-8)
foreach(line IN LISTS base_lines)
  if(line MATCHES "^([^;=][^=]*)=")
    string(TOLOWER "${CMAKE_MATCH_1}" key)
    set("base:${key}" 1)
  endif()
endforeach()

file(STRINGS "${LIST}" list_lines ENCODING UTF-8)
set(entries "")
set(number 0)
foreach(line IN LISTS list_lines)
  math(EXPR number "${number} + 1")
  string(STRIP "${line}" word)
  if(word STREQUAL "" OR word MATCHES "^#")
    continue()
  endif()
  set(marks 0)
  set(key "${word}")
  foreach(pair "é;e" "ê;e" "ó;o" "ô;o")
    list(GET pair 0 from)
    list(GET pair 1 to)
    string(FIND "${key}" "${from}" at)
    if(NOT at EQUAL -1)
      math(EXPR marks "${marks} + 1")
      string(REPLACE "${from}" "${to}" key "${key}")
    endif()
  endforeach()
  string(FIND "${word}" " " blank)
  if(NOT marks EQUAL 1 OR NOT blank EQUAL -1)
    message(FATAL_ERROR "${LIST}:${number}: \"${word}\" precisa de uma só marca de tônica (é ê ó ô)")
  endif()
  # The built-in voice's forms are converted all at once below; its key here, only when it has a
  # letter to convert (most keys have none once the mark is gone).
  if(VOICE STREQUAL "builtin" AND key MATCHES "[çáéíóúâêôãõàü]")
    builtin_form("${key}" key)
  endif()
  set(form "${word}")
  if(DEFINED "seen:${key}" OR DEFINED "base:${key}")
    message(FATAL_ERROR "${LIST}:${number}: \"${key}\" já está nas exceções")
  endif()
  set("seen:${key}" 1)
  string(APPEND entries "${key}=${form}\n")
endforeach()

if(VOICE STREQUAL "builtin")
  builtin_form("${entries}" entries)
endif()
file(READ "${BASE}" base_text)
if(NOT base_text MATCHES "\n$" AND NOT base_text STREQUAL "")
  string(APPEND base_text "\n")
endif()
if(VOICE STREQUAL "builtin")
  set(title "\n; E e o tônicos abertos e fechados (de data/vogais-tonicas.txt)\n")
else()
  set(title "\n;; E e o tônicos abertos e fechados (de data/vogais-tonicas.txt)\n")
endif()
file(WRITE "${OUT}.tmp" "${base_text}${title}${entries}")
file(RENAME "${OUT}.tmp" "${OUT}")
