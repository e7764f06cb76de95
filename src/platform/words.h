// The system's own words, written here in readable UTF-8 and turned by the compiler into CP1252, the
// text the programs work in: one place to read, correct and translate every message.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
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
  std::string with(std::initializer_list<std::string_view> values) const { return fill(*this, values); }
  // The same in UTF-8, with values in UTF-8 already: for standard output, standard error and logs.
  std::string utf8(std::initializer_list<std::string_view> values = {}) const {
    std::string text;
    for (size_t i = 0; i < size_; ++i) {
      const auto byte = static_cast<unsigned char>(bytes_[i]);
      if (byte < 0x80) {
        text += bytes_[i];
      } else {  // the words hold Latin-1 only, so each byte is its own code point
        text += static_cast<char>(0xC0 | (byte >> 6));
        text += static_cast<char>(0x80 | (byte & 0x3F));
      }
    }
    return fill(text, values);
  }

 private:
  static std::string fill(std::string_view text, std::initializer_list<std::string_view> values) {
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

  static constexpr size_t kCapacity = 128;
  char bytes_[kCapacity] = {};
  size_t size_ = 0;
};

// A text of several lines, one entry a line, in UTF-8 with each line's end.
inline std::string utf8Lines(std::span<const Cp1252Words> lines) {
  std::string text;
  for (const Cp1252Words& line : lines) text += line.utf8() + "\n";
  return text;
}

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
inline constexpr Cp1252Words ProjectBanner = "Projeto KALDRO - ";
inline constexpr Cp1252Words LetterDate = "{} de {} de {}";
// Why plumar ended without a letter, on standard error.
inline constexpr Cp1252Words NoTemplateChosen = "nenhum modelo foi escolhido";
inline constexpr Cp1252Words TemplateTooLarge = "o modelo {} é grande demais (o limite é de 64 MB)";
inline constexpr Cp1252Words TemplateUnreadable = "o modelo {} não existe ou não pode ser lido";
inline constexpr Cp1252Words NoOutputFileGiven = "nenhum arquivo de saída foi dado";
inline constexpr Cp1252Words OutputIsTheTemplate = "o arquivo de saída {} é o próprio modelo";
inline constexpr Cp1252Words OutputKept = "o arquivo {} já existe e não foi reescrito";
inline constexpr Cp1252Words OutputCannotBeCreated = "o arquivo de saída {} não pode ser criado";
inline constexpr Cp1252Words UnclosedBraceInTemplate = "faltou fechar chave na linha {} do modelo";
inline constexpr Cp1252Words OutputWriteFailed = "erro na gravação do arquivo de saída";
// Word-processor templates (.docx, .odt): spoken as they are, and after the file's name on standard
// error (NamedReason).
inline constexpr Cp1252Words NamedReason = "{}: {}";
inline constexpr Cp1252Words DocumentNotZip = "Este modelo não é um documento .docx nem .odt: não é um arquivo zip";
inline constexpr Cp1252Words DocumentDamaged = "Este modelo está danificado ou incompleto";
inline constexpr Cp1252Words DocumentTooLarge = "Este modelo passa de 64 MB quando descompactado";
inline constexpr Cp1252Words DocumentHasDtd = "Este modelo traz uma definição de tipo (DTD), que documentos de texto não usam";
inline constexpr Cp1252Words DocumentTooDeep = "Este modelo tem elementos aninhados fundo demais";
inline constexpr Cp1252Words DocumentBadXml = "Este modelo está danificado: a parte {} não é um XML válido";
inline constexpr Cp1252Words DocumentProtected = "Este modelo está protegido por senha: grave uma cópia sem senha";
inline constexpr Cp1252Words DocumentOldWord =
    "Este modelo está no formato antigo do Word (.doc): grave-o como .docx ou .odt";
inline constexpr Cp1252Words DocumentNotText = "Este modelo não é um documento de texto do Word nem do LibreOffice";
inline constexpr Cp1252Words LetterFormatMismatch = "A carta de um modelo {} é gravada como {} ou .txt";
// The programs' --version line and the end of a program by a fault of its own.
inline constexpr Cp1252Words VersionLine = "{} (kaldro) {}";
inline constexpr Cp1252Words InternalError = "Erro interno: {}";
// plumar --help.
inline constexpr Cp1252Words PlumarHelp[] = {
    "uso: plumar [MODELO]",
    "     plumar --help | --version",
    "Preparador de cartas padronizadas: fala cada instrução do MODELO, pergunta o valor de cada",
    "campo {NOME} e grava a carta no arquivo de saída. Sem MODELO, pergunta o nome do arquivo",
    "(Tab ou seta para baixo abrem a lista dos arquivos da pasta). O MODELO pode ser um texto ou um",
    "documento .docx ou .odt; a carta sai no formato que o final do seu nome diz (.docx, .odt ou",
    ".txt). O manual: man plumar.",
    "",
    "Teclas que o Linux guarda para si (Ctrl+Alt+F1 a F12 trocam de terminal) têm uma segunda",
    "combinação, que faz o mesmo:",
    "  Ctrl+Alt+Shift+F9   = Ctrl+Alt+F9, revisão de tela (no editor de linha)",
    "  Ctrl+Alt+Shift+F11  = Ctrl+Alt+F11, liga o teclado braille / passa ao modo seguinte",
    "  Ctrl+Alt+Shift+F12  = Ctrl+Alt+F12, desliga o teclado braille",
    "",
    "Código de saída (o motivo de cada falha vai numa linha para a saída de erro):",
    "  0    carta gravada",
    "  1    falha: o modelo não existe ou não serve, a saída não pode ser criada ou",
    "       gravada, falta fechar uma chave, ou a voz não começa",
    "  2    roteiro de teclas com erro (só sem tela, KALDRO_HOST=headless)",
    "  3    o roteiro de teclas acabou antes do fim (só sem tela)",
    "  4    cancelado pelo usuário: nome vazio ou reescrita recusada",
    "  255  interrompido: a janela ou o terminal fechados, um sinal de término ou Ctrl+Break",
};
// The terminal host, written on a terminal too narrow and said once.
inline constexpr Cp1252Words TerminalTooSmall = "Terminal pequeno demais: são precisas 80 colunas e 25 linhas";
// Why a host could not be used, on standard error, and the host the program goes on with.
inline constexpr Cp1252Words NotATerminal = "a entrada e a saída padrão não são um terminal";
inline constexpr Cp1252Words TerminalLacksControl = "o terminal não aceita sequências de controle (TERM)";
inline constexpr Cp1252Words TerminalInUse = "o terminal já está em uso";
inline constexpr Cp1252Words NoGraphicalScreen = "não há tela gráfica (DISPLAY e WAYLAND_DISPLAY vazias)";
inline constexpr Cp1252Words SdlFoundNoScreen = "o SDL não achou a tela (driver {})";
inline constexpr Cp1252Words SdlFoundNoDriver = "o SDL não achou a tela (driver nenhum)";
inline constexpr Cp1252Words NoFontFound = "nenhuma fonte encontrada pelo fontconfig";
inline constexpr Cp1252Words SdlLacksUserEvents = "SDL: sem eventos de usuário livres";
inline constexpr Cp1252Words NoMonospacedFont = "nenhuma fonte de largura fixa encontrada; só as cores aparecem";
inline constexpr Cp1252Words ProgramHasNoWindow = "este programa não tem janela";
inline constexpr Cp1252Words WindowFailedGoingToTerminal = "a janela não pôde abrir ({}); segue no terminal";
inline constexpr Cp1252Words WindowFailedGoingHeadless = "a janela não pôde abrir ({}); segue sem tela";
inline constexpr Cp1252Words TerminalFailedGoingHeadless = "o terminal não pôde ser usado ({}); segue sem tela";
inline constexpr Cp1252Words UnknownHost = "KALDRO_HOST desconhecido: {}; segue sem tela";
// The key script of the host without a screen: its faults (line and what), its end.
inline constexpr Cp1252Words KeyScriptUnreadable = "não foi possível ler o script de teclas {}";
inline constexpr Cp1252Words KeyScriptFault = "script de teclas, linha {}: {}";
inline constexpr Cp1252Words KeyScriptExhausted = "key script exhausted";
inline constexpr Cp1252Words KeyScriptOutsideLatin1 = "caractere fora do Latin-1: {} ({})";
inline constexpr Cp1252Words KeyScriptTypeWithoutText = "type sem texto";
inline constexpr Cp1252Words KeyScriptKeyWithoutName = "{} sem nome de tecla";
inline constexpr Cp1252Words KeyScriptUnknownKey = "tecla desconhecida: \"{}\"";
inline constexpr Cp1252Words KeyScriptCloseAlone = "close não leva argumento";
inline constexpr Cp1252Words KeyScriptUnknownCommand = "comando desconhecido: \"{}\"";
inline constexpr Cp1252Words KeyScriptBadWait = "número inválido em wait: \"{}\"";
// The sound device KALDRO_AUDIO names.
inline constexpr Cp1252Words AudioFileNotCreated = "KALDRO_AUDIO: não foi possível criar {}";
inline constexpr Cp1252Words UnknownAudioChoice =
    "KALDRO_AUDIO: valor desconhecido \"{}\" (use device, none ou wav:ARQUIVO); sem som";
// Today's date in a letter.
inline constexpr Cp1252Words MonthNames[12] = {"janeiro", "fevereiro", "março",    "abril",   "maio",     "junho",
                                               "julho",   "agosto",    "setembro", "outubro", "novembro", "dezembro"};
// The sound device's answer when a played block cannot be given back, written on the screen in the
// words the player has always used.
inline constexpr Cp1252Words DeviceHandleInvalid = "Specified device handle is invalid.";
inline constexpr Cp1252Words DeviceDriverMissing = "No device driver is present.";
inline constexpr Cp1252Words DeviceMemoryLacking = "Unable to allocate or lock memory.";
inline constexpr Cp1252Words DeviceBlockStillQueued = "The data block pointed to by the pwh parameter is still in queue";
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
// The faults of an engine data file's lines.
inline constexpr Cp1252Words ProsodyNotFound = "Configuração da prosódia não foi achada";
inline constexpr Cp1252Words ProsodyDurationsMissing = "Duração dos difones errada ou ausente";
inline constexpr Cp1252Words ProsodyKeywordsMissing = "Prosódia: palavras chaves ausentes";
inline constexpr Cp1252Words ProsodyPatternsMissing = "Prosódia: especificações ausentes";
inline constexpr Cp1252Words ProsodyBadPhoneme = "Configuração da prosódia: fonema errado: {}";
inline constexpr Cp1252Words ProsodyBadKey = "Configuração da prosódia: chave errada: {}";
// A line of the user's dictionary (dicionario.txt) that is skipped: the file, the line and the text.
inline constexpr Cp1252Words DictionaryBadLine =
    "{}:{}: a linha \"{}\" não tem a forma texto = leitura e fica de fora";
inline constexpr Cp1252Words AbbreviationLacksEquals = "falta o sinal de igual entre a abreviatura e a forma por extenso";
inline constexpr Cp1252Words AbbreviationLacksKey = "falta a abreviatura antes do sinal de igual";
inline constexpr Cp1252Words AbbreviationsTooMany = "passa de {} abreviaturas: esta não vale";
inline constexpr Cp1252Words AbbreviationRepeated = "a abreviatura {} já está na linha {}: esta não vale";
inline constexpr Cp1252Words AbbreviationNeverFound = "a abreviatura {} nunca é achada: só letras e hífen, e no fim talvez º ou ª";
inline constexpr Cp1252Words AbbreviationLacksExpansion = "falta a forma por extenso depois do sinal de igual";
inline constexpr Cp1252Words AbbreviationExpansionCut = "forma por extenso longa demais: valem só os primeiros {} caracteres";
inline constexpr Cp1252Words AbbreviationExpansionUnreadable =
    "a forma por extenso deve ter só palavras que se leem como estão escritas, sem números nem símbolos";
// The built-in voice's rule, exception and inventory files and its database, as kaldro-voz checks them.
inline constexpr Cp1252Words RuleLacksOpening = "falta o parêntese de abertura \"(\"";
inline constexpr Cp1252Words RuleLacksClosing = "falta o parêntese de fechamento \")\"";
inline constexpr Cp1252Words RuleLacksEquals = "falta o sinal \"=\" antes da saída";
inline constexpr Cp1252Words RuleWithoutLetters = "não há letras entre os parênteses";
inline constexpr Cp1252Words RuleLettersBadStart =
    "as letras entre parênteses devem começar por maiúscula ou sinal (códigos 32 a 95)";
inline constexpr Cp1252Words RuleFieldCut = "campo longo demais, cortado (contextos e letras: 5 caracteres; saída: 11)";
inline constexpr Cp1252Words ExceptionLineTooLong = "linha longa demais (mais de 252 caracteres)";
inline constexpr Cp1252Words ExceptionLacksEquals = "falta o sinal \"=\"";
inline constexpr Cp1252Words ExceptionLacksWord = "falta a palavra antes do \"=\"";
inline constexpr Cp1252Words ExceptionsTooMany = "mais de 15000 exceções: esta e as seguintes são ignoradas";
inline constexpr Cp1252Words FileUnreadable = "não foi possível ler o arquivo";
inline constexpr Cp1252Words InventoryFileUnreadable = "{}: não foi possível ler o arquivo";
inline constexpr Cp1252Words InventorySymbolLacksEquals = "falta o sinal \"=\" depois do símbolo";
inline constexpr Cp1252Words InventorySymbolEmpty = "símbolo sem nome ou sem fones";
inline constexpr Cp1252Words InventorySymbolRepeated = "símbolo repetido: {}";
inline constexpr Cp1252Words InventoryLineUnknown = "a linha não é título, símbolo nem unidade";
inline constexpr Cp1252Words InventoryBadCopy = "{} copia uma unidade que não existe ou que também é cópia: {}";
inline constexpr Cp1252Words InventoryUnitLacksEquals = "falta o sinal \"=\" depois do nome da unidade";
inline constexpr Cp1252Words InventoryUnitLacksSecondEquals = "falta o segundo \"=\" antes dos fones";
inline constexpr Cp1252Words InventoryUnitWithoutPhones = "unidade sem fones: {}";
inline constexpr Cp1252Words InventoryUnitNameLength = "o nome deve ter de 2 a 8 caracteres: {}";
inline constexpr Cp1252Words UnitRepeated = "unidade repetida: {}";
inline constexpr Cp1252Words UnitNameTooLong = "nome de unidade longo demais: {}";
inline constexpr Cp1252Words UnitTooLong = "unidade longa demais (mais de 65535 amostras): {}";
inline constexpr Cp1252Words DatabaseTooLarge = "dados além de 4 GiB";
inline constexpr Cp1252Words DatabaseNotWritten = "não foi possível gravar {}.IND/.DIF";
// A WAV file being written.
inline constexpr Cp1252Words WaveCannotBeCreated = "O arquivo WAV {} não pode ser criado: {}";
inline constexpr Cp1252Words WaveWriteFailed = "A gravação do arquivo WAV {} falhou: {}";
inline constexpr Cp1252Words WaveFormatLimit = "O arquivo WAV {} chegou ao limite de 4 GB do formato: o resto não foi gravado";
// kaldro-fala --help.
inline constexpr Cp1252Words FalaHelp[] = {
    "uso: kaldro-fala [-v N] [-w ARQUIVO.wav] [--phonemes | --phones] [TEXTO...]",
    "     kaldro-fala --engine ormia|speechd|espeak [-v N] [-w ARQUIVO.wav] [TEXTO...]",
    "     kaldro-fala [-w ARQUIVO.wav] --play ARQUIVO.wav...",
    "     kaldro-fala [--engine ormia] [--literal] --normal [TEXTO...]",
    "     kaldro-fala --engine ormia [-v N] (--pho | --phones) [TEXTO...]",
    "     kaldro-fala --voices [--engine ormia|speechd|espeak]",
    "     kaldro-fala --help | --version",
    "Sem TEXTO, fala cada linha da entrada padrão.",
    "  -v N        nível de velocidade 1 a 5 (sem ele, o de KALDRO.INI; com --engine, a",
    "              velocidade normal do motor)",
    "  -w ARQUIVO  grava o som num arquivo WAV em vez de tocá-lo (as pausas viram silêncio)",
    "  --phonemes  escreve a cadeia de fonemas de cada texto em vez de falá-lo",
    "  --phones    escreve cada texto, uma tabulação e os fones da voz embutida (nomes do",
    "              MBROLA br4), com > antes da vogal tônica",
    "  --play      toca os arquivos WAV pelo tocador do sistema (8, 16, 24 e 32 bits, ponto",
    "              flutuante; mais de dois canais são misturados num só)",
    "  --literal   lê cada sinal como está escrito (como LEITURA=LITERAL no KALDRO.INI), em vez",
    "              da leitura natural de datas, horas, valores, documentos e números",
    "  --normal    escreve as palavras que a voz embutida lê em cada texto",
    "  --engine ormia --normal  escreve o texto normalizado pelo motor de português",
    "  --engine ormia --pho     escreve as linhas que o motor de português manda ao MBROLA, na",
    "              velocidade de -v",
    "  --engine ormia --phones  escreve cada texto, uma tabulação e os fones do motor (voz br4)",
    "  --engine ormia  fala pelo motor de português sobre o MBROLA (o programa mbrola",
    "              no PATH, ou uma biblioteca do MBROLA, e a voz br4 ou MBROLA_DB de [ORMIATTS])",
    "  --engine speechd  fala pelo Speech Dispatcher, em português do Brasil",
    "              (não grava arquivos)",
    "  --engine espeak   fala pelo eSpeak NG, com a voz de português do Brasil",
    "  --voices    lista as vozes de cada motor (ou só do motor de --engine), português do",
    "              Brasil primeiro: o número, o nome e a língua de cada uma; VOZ de [SERVFALA]",
    "              no KALDRO.INI aceita o número ou o nome",
    "  --help      mostra este texto",
    "  --version   mostra a versão",
    "Código de saída (o motivo de cada falha vai numa linha para a saída de erro):",
    "  0  tudo foi falado, gravado ou tocado",
    "  1  falha: a voz não começa ou se perde no meio da fala, o WAV não pode ser criado,",
    "     um arquivo não pode ser lido ou tem um formato que não toca, ou um motor de",
    "     --voices não mostrou suas vozes",
    "  2  linha de comando errada (o que está errado vai numa linha para a saída de erro)",
};
// What kaldro-fala tells on standard error, after its name.
inline constexpr Cp1252Words OptionLacksValue = "falta o valor de {}";
inline constexpr Cp1252Words UnknownEngine = "motor desconhecido: {}";
inline constexpr Cp1252Words BadSpeedLevel = "nível de velocidade inválido: {} (1 a 5)";
inline constexpr Cp1252Words UnknownOption = "opção desconhecida: {}";
inline constexpr Cp1252Words ViewNeedsOrmia = "use --engine ormia com --pho, e --normal sem motor ou com --engine ormia";
inline constexpr Cp1252Words PlayNeedsFiles = "--play precisa de arquivos";
inline constexpr Cp1252Words SeeOptions = "veja as opções com kaldro-fala --help";
inline constexpr Cp1252Words WaveUnreadable = "não foi possível ler o arquivo WAV {}";
inline constexpr Cp1252Words SoundFormatInvalid = "formato de som inválido em {}";
inline constexpr Cp1252Words DeviceDidNotPlay = "o dispositivo de som não tocou {} (erro {})";
inline constexpr Cp1252Words VoiceStartupError = "erro de inicialização da voz: {} (banco de dados de voz: {})";
inline constexpr Cp1252Words SpeechServiceRecordsNoWave =
    "o Speech Dispatcher não grava arquivos; para gravar um WAV use --engine espeak";
inline constexpr Cp1252Words EngineDidNotStart = "o motor {} não começou (veja --help)";
inline constexpr Cp1252Words EngineDidNotStartBecause = "o motor {} não começou: {}";
inline constexpr Cp1252Words EngineFailed = "o motor {} falhou (veja --help)";
inline constexpr Cp1252Words EngineFailedBecause = "o motor {} falhou: {}";
inline constexpr Cp1252Words WaveRecordingFailed = "a gravação de {} falhou (disco cheio?)";
inline constexpr Cp1252Words WaveNotCreated = "não foi possível criar o arquivo WAV {}";
// kaldro-fala --voices: a title over each engine's voices, or why it has none.
inline constexpr Cp1252Words SpeechServiceVoicesTitle =
    "Speech Dispatcher (--engine speechd, TIPOSAPI=5): {} vozes; VOZ= o número ou o nome";
inline constexpr Cp1252Words SpeechServiceNoAnswer =
    "o Speech Dispatcher não respondeu (o pacote speech-dispatcher está instalado e o serviço funciona?)";
inline constexpr Cp1252Words EspeakVoicesTitle =
    "eSpeak NG (--engine espeak, TIPOSAPI=4): {} vozes; VOZ= o número, o nome ou o identificador";
inline constexpr Cp1252Words EspeakDidNotStart = "o eSpeak NG não começou (o pacote espeak-ng-data está instalado?)";
inline constexpr Cp1252Words OrmiaVoiceTitle =
    "Motor de português (--engine ormia, TIPOSAPI=3): a voz do MBROLA vem de MBROLA_DB em [ORMIATTS], não de VOZ";
inline constexpr Cp1252Words OrmiaVoiceMissing =
    "a voz {} do MBROLA do motor de português não está instalada (a br4 vem no pacote mbrola-br4)";
// sd_kaldro --help.
inline constexpr Cp1252Words ModuleHelp[] = {
    "Uso: sd_kaldro [ARQUIVO_DE_CONFIGURAÇÃO]",
    "Módulo de saída do Speech Dispatcher com as vozes do kaldro em português do Brasil:",
    "o motor de português sobre o MBROLA br4 (kaldro-mbrola-br4), quando instalado, e a voz",
    "embutida (kaldro-embutida). Quem o inicia é o speech-dispatcher, que conversa com ele pela",
    "entrada e pela saída padrão; o som vai para o servidor.",
    "O arquivo de configuração (kaldro.conf) pode dizer KaldroDefaultVoice e KaldroSoundIconFolder.",
};
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
