// The system's own words, written here in readable UTF-8 and turned by the compiler into CP1252, the
// text the programs work in: one place to read, correct and translate every message.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kaldro::platform {

// A text converted from UTF-8 to CP1252 at compile time; a character outside Latin-1 does not compile.
class Cp1252Words {
 public:
  template <size_t N>
  consteval Cp1252Words(const char (&utf8)[N]) {  // NOLINT: converts like the literal it stands for
    static_assert(N <= kCapacity, "a message longer than the table's room");
    for (size_t i = 0; i + 1 < N; ++i) {
      const auto byte = static_cast<unsigned char>(utf8[i]);
      if (byte < 0x80) {
        bytes_[size_++] = utf8[i];
      } else if ((byte == 0xC2 || byte == 0xC3) && i + 2 < N) {
        const auto next = static_cast<unsigned char>(utf8[++i]);
        if ((next & 0xC0) != 0x80) throw "not UTF-8";
        bytes_[size_++] = static_cast<char>(((byte & 0x1F) << 6) | (next & 0x3F));
      } else {
        throw "a character outside Latin-1";
      }
    }
  }
  constexpr operator std::string_view() const { return {bytes_, size_}; }
  std::string str() const { return std::string(bytes_, size_); }

 private:
  static constexpr size_t kCapacity = 128;
  char bytes_[kCapacity] = {};
  size_t size_ = 0;
};

namespace words {
// The letter generator.
inline constexpr Cp1252Words ProgramTitle = "Preparador de cartas padronizadas";
inline constexpr Cp1252Words AskInputFile = "Nome do arquivo de entrada: ";
inline constexpr Cp1252Words AskOutputFile = "Nome do arquivo de saída: ";
inline constexpr Cp1252Words FileMissing = "Arquivo não existe";
inline constexpr Cp1252Words FileTooLarge = "Arquivo grande demais: o limite é de 64 MB";
inline constexpr Cp1252Words FileCannotBeCreated = "Arquivo não pode ser criado";
inline constexpr Cp1252Words ConfirmOverwrite = "Confirma reescrita deste arquivo já existente? ";
inline constexpr Cp1252Words AskForMore = "Tem mais ? ";
inline constexpr Cp1252Words UnclosedBraceAtLine = "Faltou fechar chave na linha ";
inline constexpr Cp1252Words TextGenerated = "Texto gerado";
inline constexpr Cp1252Words OutputWriteError = "Erro na gravação do arquivo de saída";
inline constexpr Cp1252Words ProgramCancelled = "Programa cancelado";
// Today's date in a letter.
inline constexpr Cp1252Words MonthNames[12] = {"janeiro", "fevereiro", "março",    "abril",   "maio",     "junho",
                                               "julho",   "agosto",    "setembro", "outubro", "novembro", "dezembro"};
// Speech start-up.
inline constexpr Cp1252Words StartupError = "Erro de inicialização: ";
inline constexpr Cp1252Words VoiceDatabase = "Banco de dados de voz: ";
// Screen review.
inline constexpr Cp1252Words AskRowAndColumn = "Entre linha e coluna";
inline constexpr Cp1252Words AskSearchText = "Qual texto";
}  // namespace words

}  // namespace kaldro::platform
