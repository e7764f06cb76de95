# Writes the natural reading's word lists (data/leitura) into one C++ source, so that every program
# reads letters the same way without data files to find at run time.
#
#   cmake -DFOLDER=data/leitura -DOUT=reading_lists.cpp -P leitura-listas.cmake
cmake_minimum_required(VERSION 3.20)
foreach(required FOLDER OUT)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "leitura-listas: falta -D${required}")
  endif()
endforeach()
set(code "// Made from data/leitura by tools/leitura-listas.cmake; edit the lists, not this file.\n")
string(APPEND code "#include \"tts/reading_lists.h\"\n\nnamespace kaldro::tts {\n\n")
foreach(pair "genders;generos.txt" "acronyms;siglas.txt" "units;unidades.txt" "slashes;barras.txt"
             "abbreviations;abreviaturas.txt")
  list(GET pair 0 member)
  list(GET pair 1 file)
  file(READ "${FOLDER}/${file}" text)
  if(text MATCHES "\\)lista\"")
    message(FATAL_ERROR "leitura-listas: ${file} tem )lista\" e não cabe no código")
  endif()
  string(APPEND code "const std::string_view ReadingLists::${member} = R\"lista(${text})lista\";\n")
endforeach()
string(APPEND code "\n}  // namespace kaldro::tts\n")
file(WRITE "${OUT}.new" "${code}")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
