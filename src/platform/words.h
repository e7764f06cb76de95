// The system's own words, written here in readable UTF-8 and turned by the compiler into CP1252, the
// text the programs work in: one place to read, correct and translate every message.
#pragma once

#include <cstddef>
#include <initializer_list>
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
  // The text with each "{}" replaced, in order, by the next of values (CP1252 already): the
  // names and numbers a message tells of stay inside its words.
  std::string with(std::initializer_list<std::string_view> values) const {
    const std::string_view text = *this;
    std::string out;
    auto value = values.begin();
    size_t from = 0;
    for (size_t at = text.find("{}"); at != std::string_view::npos; at = text.find("{}", from)) {
      out.append(text.substr(from, at - from));
      if (value != values.end()) out.append(*value++);
      from = at + 2;
    }
    return out.append(text.substr(from));
  }

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
// The terminal host, written on a terminal too narrow and said once.
inline constexpr Cp1252Words TerminalTooSmall = "Terminal pequeno demais: são precisas 80 colunas e 25 linhas";
// Today's date in a letter.
inline constexpr Cp1252Words MonthNames[12] = {"janeiro", "fevereiro", "março",    "abril",   "maio",     "junho",
                                               "julho",   "agosto",    "setembro", "outubro", "novembro", "dezembro"};
// Speech start-up.
inline constexpr Cp1252Words StartupError = "Erro de inicialização: ";
inline constexpr Cp1252Words VoiceDatabase = "Banco de dados de voz: ";
// Screen review.
inline constexpr Cp1252Words AskRowAndColumn = "Entre linha e coluna";
inline constexpr Cp1252Words AskSearchText = "Qual texto";
// The MBROLA synthesizer, bound as a library or run as a program.
inline constexpr Cp1252Words MbrolaLibraryNamed = "biblioteca {}";
inline constexpr Cp1252Words MbrolaProgramNamed = "programa {}";
inline constexpr Cp1252Words MbrolaLibraryMissing = "biblioteca {} não encontrada";
inline constexpr Cp1252Words MbrolaLibraryLacksCall = "biblioteca {} sem a função {}";
inline constexpr Cp1252Words MbrolaNotFound = "MBROLA não encontrado (nem a biblioteca nem o programa mbrola)";
inline constexpr Cp1252Words MbrolaCannotStart = "o programa mbrola não pôde ser iniciado";
inline constexpr Cp1252Words MbrolaNotOpen = "o programa mbrola não está aberto";
inline constexpr Cp1252Words MbrolaNoAnswer = "o programa mbrola não respondeu";
inline constexpr Cp1252Words MbrolaTakesNoMoreLines = "o programa mbrola não aceita mais linhas";
inline constexpr Cp1252Words MbrolaEnded = "o programa mbrola terminou (estado {})";
inline constexpr Cp1252Words MbrolaStoppedAnswering = "o programa mbrola parou de responder ({} s sem resposta)";
inline constexpr Cp1252Words MbrolaFlooded = "o MBROLA mandou muito mais som do que as linhas pedem";
inline constexpr Cp1252Words MbrolaGaveTooMuch = "a biblioteca do MBROLA deu {} amostras onde cabiam {}";
inline constexpr Cp1252Words MbrolaLibraryNotAFile = "{} não é um arquivo comum: não foi carregado como biblioteca do MBROLA";
// Speech Dispatcher not starting, or going away while in use.
inline constexpr Cp1252Words SpeechServiceMissing =
    "o Speech Dispatcher não respondeu (o pacote speech-dispatcher está instalado?)";
inline constexpr Cp1252Words SpeechServiceWithoutVoices = "o Speech Dispatcher não tem vozes";
inline constexpr Cp1252Words SpeechServiceWritesNoFiles = "o Speech Dispatcher não grava arquivos";
inline constexpr Cp1252Words SpeechServiceGone = "o Speech Dispatcher fechou a conexão e não voltou";
inline constexpr Cp1252Words SpeechServiceSilent = "o Speech Dispatcher parou de responder";
inline constexpr Cp1252Words SpeechServiceCutShort = "o Speech Dispatcher fechou a conexão no meio da fala duas vezes";
// The Portuguese engine's start.
inline constexpr Cp1252Words EngineLexiconFailed = "Erro na base de dados de português";
inline constexpr Cp1252Words EngineAbbreviationsFailed = "Erro no arquivo de abreviaturas";
inline constexpr Cp1252Words EngineProsodyFailed = "Erro no arquivo de prosódia";
// A data file that is there but cannot be read: its name and why.
inline constexpr Cp1252Words DataFileUnreadable = "Não foi possível ler {}: {}";
inline constexpr Cp1252Words DataFileMissing = "não existe";
inline constexpr Cp1252Words DataFileIsFolder = "é uma pasta";
inline constexpr Cp1252Words DataFileNotRegular = "não é um arquivo comum";
inline constexpr Cp1252Words DataFileNoPermission = "sem permissão de leitura";
inline constexpr Cp1252Words DataFileReadError = "erro de leitura";
inline constexpr Cp1252Words ExternalVoiceDidNotStart = "a voz externa não começou; fala a voz embutida";
inline constexpr Cp1252Words ExternalVoiceFailed = "a voz externa falhou; fala a voz embutida até o fim";
inline constexpr Cp1252Words EngineDataFileEmpty = "{}: {} está vazio";
inline constexpr Cp1252Words EngineDataFileBinary = "{}: {} não é um arquivo de texto";
inline constexpr Cp1252Words MbrolaVoiceRefused = "o MBROLA não abriu a voz {}: {}";
inline constexpr Cp1252Words EngineLostUtterance = "a fala se perdeu: {} (mesmo depois de reiniciar o MBROLA)";
inline constexpr Cp1252Words EngineOutputCannotBeCreated = "Arquivo de saída não pode ser criado";
// A WAV file being written.
inline constexpr Cp1252Words WaveCannotBeCreated = "O arquivo WAV {} não pode ser criado: {}";
inline constexpr Cp1252Words WaveWriteFailed = "A gravação do arquivo WAV {} falhou: {}";
inline constexpr Cp1252Words WaveFormatLimit = "O arquivo WAV {} chegou ao limite de 4 GB do formato: o resto não foi gravado";
// The Speech Dispatcher output module (its log and the server's log).
inline constexpr Cp1252Words CapitalLetter = "maiúscula";
inline constexpr Cp1252Words ModuleVoicesReady = "kaldro pronto, vozes: {}";
inline constexpr Cp1252Words ModuleEngineUnavailable = "motor de português indisponível ({}); fala a voz embutida";
inline constexpr Cp1252Words ModuleEngineFailed = "o MBROLA falhou ({}); a fala segue na voz embutida";
inline constexpr Cp1252Words ModuleBuiltInFailed = "a voz embutida não pôde ser iniciada (erro {})";
inline constexpr Cp1252Words ModuleNoVoice = "nenhuma voz pôde ser iniciada";
inline constexpr Cp1252Words ModuleSoundThroughServer = "o kaldro só envia o som ao servidor";
}  // namespace words

}  // namespace kaldro::platform
