// Finds the messages a source file holds outside the words table: string literals that read as text
// meant for a user.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kaldro::layers {

struct Literal {
  int line = 0;
  std::string bytes;  // escapes decoded
};

// The string literals of C++ source text, skipping comments, character literals and #include lines.
std::vector<Literal> stringLiterals(std::string_view source);

// Text a user is meant to read, found by two words in a row (parted by one space): both of two
// letters or more in a text with an accented letter ("não começou", "de saída"), or the first of
// three letters or more and the second of two or more in lower case ("Texto gerado", "valor de").
// Single words ("março", "[DURAÇÃO]"), letter sets, names ("Lucida Console"), protocol replies in
// capitals ("200 OK SPEAKING") and "um mil" are not messages.
bool readsAsMessage(std::string_view bytes);

// Files of src/ whose literals are words spoken as data rather than messages, with the reason.
struct WordList {
  std::string_view path;
  std::string_view reason;
};
inline constexpr WordList kWordLists[] = {
    {"src/sd_kaldro/module_speech_plan.cpp", "os nomes das teclas que o módulo fala"},
    {"src/tts/natural_reading.cpp", "as palavras com que se leem datas, valores e números"},
    {"src/tts/natural_reading_numbers.cpp", "as palavras com que se leem datas, horas, valores e números"},
    {"src/tts/natural_reading_words.cpp", "as palavras com que se leem abreviaturas, siglas e endereços"},
    {"src/tts/normaliser.cpp", "os nomes dos sinais e das letras acentuadas"},
    {"src/platform/character_names.cpp", "os nomes dos sinais que o CP1252 não tem"},
};

}  // namespace kaldro::layers
