// The engine's front end as a whole: its data files and their faults, the MBROLA lines of
// Portuguese sentences, and kaldro-fala's --normal and --pho.
#include "tts/front_end.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/config.h"
#include "platform/text.h"
#include "support/program_run.h"
#include "tts/prosody.h"
#include "tts/transcriber.h"

namespace kaldro::tts {
namespace {

using testing::kEngineData;
using testing::ScratchFolder;

// Copies the installed engine data into a folder, to be spoiled file by file.
void copyShippedData(const std::string& folder) {
  std::filesystem::create_directories(folder);
  for (const auto& entry : std::filesystem::directory_iterator(kEngineData))
    std::filesystem::copy_file(entry.path(), folder + "/" + entry.path().filename().string());
}

struct DataCopy {
  ScratchFolder folder;
  DataCopy() { copyShippedData(folder.path()); }
  DataFiles files() const { return dataFilesIn(folder.path() + "/"); }
};

// Every loader's failures, as the engine tells them: the code, the message ("@" for the spoiled
// file's path) and the message boxes shown on the way.
TEST(FrontEndLoad, EachFileFailsAsItsOwnLoader) {
  using platform::StatusCode;
  enum Spoil { Removed, Written, Folder };
  struct Case {
    const char* name;
    const char* file;  // spoiled
    Spoil spoil;
    std::string contents;  // when written
    StatusCode code;
    const char* message;  // UTF-8
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"the shipped data", nullptr, Removed, "", StatusCode::Ok, "", {}},
      {"rule file missing", "portug.nrl", Removed, "", StatusCode::NotFound, "Erro na base de dados de português", {}},
      {"exception file missing", "portug.exc", Removed, "", StatusCode::NotFound, "Erro na base de dados de português", {}},
      {"rule file a folder", "portug.nrl", Folder, "", StatusCode::Unreadable, "Erro na base de dados de português", {}},
      {"rule file empty", "portug.nrl", Written, "", StatusCode::Malformed, "Erro na base de dados de português: @ está vazio", {}},
      {"exception file binary", "portug.exc", Written, std::string("A=B\0\0", 5), StatusCode::Malformed,
       "Erro na base de dados de português: @ não é um arquivo de texto", {}},
      {"abbreviations missing", "portug.abr", Removed, "", StatusCode::NotFound, "Erro no arquivo de abreviaturas", {}},
      {"abbreviations empty", "portug.abr", Written, "", StatusCode::Ok, "", {}},
      {"abbreviations a folder", "portug.abr", Folder, "", StatusCode::Unreadable, "Não foi possível ler @: é uma pasta", {}},
      {"prosody file missing", "portug.pro", Removed, "", StatusCode::NotFound, "Erro no arquivo de prosódia",
       {"Configuração da prosódia não foi achada"}},
      {"prosody file without patterns", "portug.pro", Written, "[DURAÇÃO]\n[CHAVES]\n", StatusCode::Malformed,
       "Erro no arquivo de prosódia", {"Prosódia: especificações ausentes"}},
      {"prosody file empty", "portug.pro", Written, "", StatusCode::Malformed, "Erro no arquivo de prosódia: @ está vazio", {}},
      {"prosody file a folder", "portug.pro", Folder, "", StatusCode::Unreadable, "Não foi possível ler @: é uma pasta", {}},
      {"diphone list missing", "portug.dfn", Removed, "", StatusCode::NotFound, "Erro no arquivo de prosódia", {}},
      {"diphone list a folder", "portug.dfn", Folder, "", StatusCode::Unreadable, "Não foi possível ler @: é uma pasta", {}},
  };
  for (const Case& c : cases) {
    DataCopy data;
    std::string message = c.message;
    if (c.file) {
      std::filesystem::remove(data.folder.file(c.file));
      if (c.spoil == Written) data.folder.write(c.file, c.contents);
      if (c.spoil == Folder) std::filesystem::create_directory(data.folder.file(c.file));
      if (const size_t at = message.find('@'); at != std::string::npos) message.replace(at, 1, data.folder.file(c.file));
    }
    std::vector<std::string> messages;
    FrontEnd frontEnd([&](const std::string& shown) { messages.push_back(shown); });
    const platform::Status status = frontEnd.load(data.files());
    EXPECT_EQ(status.code(), c.code) << c.name;
    EXPECT_EQ(platform::cp1252ToUtf8(status.message()), message) << c.name;
    EXPECT_EQ(messages, c.messages) << c.name;
  }
}

// One MBROLA phone line read back.
struct PhoneLine {
  std::string phone;
  int duration = 0;
  std::vector<std::pair<int, int>> targets;  // position, hertz
};

std::optional<PhoneLine> readPhoneLine(const std::string& line) {
  std::istringstream in(line);
  PhoneLine read;
  if (!(in >> read.phone >> read.duration)) return std::nullopt;
  for (int position = 0, hertz = 0; in >> position >> hertz;) read.targets.emplace_back(position, hertz);
  if (!in.eof()) return std::nullopt;
  return read;
}

TEST(FrontEndLines, SensibleMbrolaLinesForPortugueseSentences) {
  const std::set<std::string> br4 = {"_", "@", "a", "an", "b", "d", "e", "ee", "en", "f", "g", "h", "i",
                                     "in", "j", "k", "l", "lh", "m", "m2", "n", "nh", "o", "on", "oo", "p",
                                     "r", "r2", "rr", "s", "s2", "t", "u", "un", "v", "w", "x", "y", "z"};
  FrontEnd frontEnd;
  ASSERT_TRUE(frontEnd.load(dataFilesIn(kEngineData)).ok());
  struct Case {
    const char* name;
    std::string text;  // CP1252
    std::vector<std::string> words;  // the comment lines, in order
  };
  const Case cases[] = {
      {"statement and question", "Bom dia, Maria. Voc\xEA vem amanh\xE3?",
       {";Bom", ";dia", ";,", ";Maria", ";.", ";", ";Voc\xEA", ";vem", ";amanh\xE3", ";?", ";"}},
      {"numbers and abbreviations read out", "O Sr. Silva tem 25 anos.",
       {";O", ";senhor", ";Silva", ";tem", ";vinte", ";e", ";cinco", ";anos", ";.", ";"}},
      {"marks before the first word", "(Sim) ... ", {";Sim", ";)", ";.", ";"}},
      {"blanks only", "   ", {}},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> lines = frontEnd.mbrolaLines(c.text, 1.0, 1.0);
    std::vector<std::string> words;
    std::vector<PhoneLine> phones;
    for (const std::string& line : lines) {
      if (line.empty()) continue;
      if (line[0] == ';') {
        words.push_back(line);
        continue;
      }
      const std::optional<PhoneLine> phone = readPhoneLine(line);
      ASSERT_TRUE(phone) << c.name << ": " << line;
      EXPECT_TRUE(br4.count(phone->phone)) << c.name << ": " << line;
      EXPECT_TRUE(phone->duration >= 20 && phone->duration <= 500) << c.name << ": " << line;
      for (auto [position, hertz] : phone->targets)
        EXPECT_TRUE(position >= 0 && position <= 100 && hertz >= 100 && hertz <= 400) << c.name << ": " << line;
      phones.push_back(*phone);
    }
    EXPECT_EQ(words, c.words) << c.name;
    if (c.words.empty()) {
      EXPECT_TRUE(lines.empty()) << c.name;
      continue;
    }
    // An utterance starts with its first word's first phone, right after that word's header
    // (MBROLA starts from silence by itself), and ends in silence.
    EXPECT_EQ(lines.front(), c.words.front()) << c.name;
    ASSERT_FALSE(phones.empty()) << c.name;
    EXPECT_NE(phones.front().phone, "_") << c.name;
    EXPECT_EQ(lines[1].substr(0, lines[1].find(' ')), phones.front().phone) << c.name;
    EXPECT_EQ(phones.back().phone, "_") << c.name;
  }

  // The pitch targets of each sentence of the first case: the statement ends lower than it began,
  // the yes/no question higher.
  std::vector<std::vector<int>> sentences(1);
  for (const std::string& line : frontEnd.mbrolaLines(cases[0].text, 1.0, 1.0)) {
    const std::optional<PhoneLine> phone = readPhoneLine(line);
    if (!phone) continue;
    // The long pause of a full stop or a question mark closes a sentence.
    if (phone->phone == "_" && phone->duration >= 300 && !sentences.back().empty()) sentences.emplace_back();
    for (auto [position, hertz] : phone->targets) sentences.back().push_back(hertz);
  }
  ASSERT_GE(sentences.size(), 2u);
  EXPECT_LT(sentences[0].back(), sentences[0].front());
  EXPECT_GT(sentences[1].back(), sentences[1].front());
  EXPECT_GT(sentences[1].back(), sentences[0].back());

  // The duration factor scales every phone; the pitch factor every target.
  auto totals = [&](double durationFactor, double pitchFactor) {
    std::pair<long, long> sums{0, 0};
    for (const std::string& line : frontEnd.mbrolaLines(cases[1].text, durationFactor, pitchFactor))
      if (auto phone = readPhoneLine(line)) {
        sums.first += phone->duration;
        for (auto [position, hertz] : phone->targets) sums.second += hertz;
      }
    return sums;
  };
  const auto normal = totals(1.0, 1.0), fast = totals(0.5, 1.0), high = totals(1.0, 1.5);
  EXPECT_NEAR(static_cast<double>(fast.first) / normal.first, 0.5, 0.03);
  EXPECT_NEAR(static_cast<double>(high.second) / normal.second, 1.5, 0.03);
}

// The br4 voice lacks a third of the pairs of its phones; MBROLA says each missing one as silence.
// Every join the front end asks for, fillers included, must be one the voice's list holds, over
// the manual, the model letter and the benchmark's page.
TEST(FrontEndLines, EveryJoinOfLongTextsIsADiphoneOfTheVoice) {
  FrontEnd frontEnd;
  ASSERT_TRUE(frontEnd.load(dataFilesIn(kEngineData)).ok());
  Prosody voice;
  ASSERT_TRUE(voice.loadDiphones(kEngineData + "portug.dfn").ok());
  const std::string source = KALDRO_SOURCE_DIR;
  std::map<std::string, std::string> missing;  // join, the word where it was asked for
  size_t joins = 0;
  for (const char* name : {"/docs/manual.md", "/examples/carta-modelo.txt", "/bench/pagina.txt"}) {
    for (const std::string& text : testing::splitLines(testing::readFile(source + name))) {
      std::string previous = "_", word;
      for (const std::string& line : frontEnd.mbrolaLines(platform::utf8ToCp1252(text), 1.0, 1.0)) {
        if (!line.empty() && line[0] == ';') word = line.substr(1);
        const std::optional<PhoneLine> phone = readPhoneLine(line);
        if (!phone) continue;
        ++joins;
        if (!voice.hasDiphone(previous, phone->phone)) missing.emplace(previous + "-" + phone->phone, word);
        previous = phone->phone;
      }
    }
  }
  EXPECT_GT(joins, 20000u);
  for (const auto& [join, word] : missing) ADD_FAILURE() << join << " in " << platform::cp1252ToUtf8(word);
}

// The stressed syllable is the long one: its vowel (with what closes the syllable) is 145 % as long
// as listed, and every phone of the syllables after it keeps its listed duration, so the stressed
// vowel outlasts the vowels after it.
TEST(FrontEndLines, OnlyTheStressedSyllableIsLengthened) {
  FrontEnd frontEnd;
  ASSERT_TRUE(frontEnd.load(dataFilesIn(kEngineData)).ok());
  Prosody listed;
  ASSERT_TRUE(listed.loadProsody(kEngineData + "portug.pro").ok());
  const std::set<std::string> vowels = {"a", "@", "e", "ee", "en", "i", "in", "o", "oo", "on", "u", "un", "y", "w"};
  struct Case {
    const char* word;  // CP1252
    std::vector<size_t> syllables;  // phones in each syllable
    size_t stressed;                // index of the stressed syllable
  };
  const Case cases[] = {
      {"bonita", {2, 2, 2}, 1},   {"casa", {2, 2}, 0},      {"porta", {3, 2}, 0},
      {"festa", {3, 2}, 0},       {"n\xFAmero", {2, 2, 2}, 0}, {"m\xE1quina", {2, 2, 2}, 0},
      {"cantam", {2, 3}, 0},      {"dia", {2, 1}, 0},        {"muito", {3, 2}, 0},
      {"p\xE1ssaro", {2, 2, 2}, 0}, {"cidade", {2, 2, 2}, 1},
  };
  for (const Case& c : cases) {
    std::vector<PhoneLine> phones;
    bool inWord = false;
    for (const std::string& line : frontEnd.mbrolaLines(c.word, 1.0, 1.0)) {
      if (line == std::string(";") + c.word) {
        inWord = true;
      } else if (line.empty()) {
        inWord = false;
      } else if (inWord) {
        phones.push_back(readPhoneLine(line).value_or(PhoneLine{}));
      }
    }
    size_t total = 0;
    for (size_t count : c.syllables) total += count;
    ASSERT_EQ(phones.size(), total) << c.word;
    std::vector<int> syllableLength;
    size_t at = 0, stressedVowel = 0, afterStressed = 0;
    for (size_t s = 0; s < c.syllables.size(); ++s) {
      int sum = 0;
      for (size_t k = 0; k < c.syllables[s]; ++k, ++at) {
        sum += phones[at].duration;
        if (s == c.stressed && !stressedVowel && vowels.count(phones[at].phone)) stressedVowel = at + 1;
      }
      syllableLength.push_back(sum);
      if (s == c.stressed) afterStressed = at;
    }
    ASSERT_GT(stressedVowel, 0u) << c.word;
    const PhoneLine& tonic = phones[stressedVowel - 1];
    EXPECT_EQ(tonic.duration, listed.durationOf(tonic.phone) * 145 / 100) << c.word;
    for (size_t p = afterStressed; p < phones.size(); ++p) {
      EXPECT_EQ(phones[p].duration, listed.durationOf(phones[p].phone)) << c.word << " " << phones[p].phone;
      if (vowels.count(phones[p].phone)) {
        EXPECT_GT(tonic.duration, phones[p].duration) << c.word;
      }
    }
    // A light syllable after the stress (a consonant and a vowel) is shorter than the stressed one.
    for (size_t s = c.stressed + 1; s < syllableLength.size(); ++s)
      if (c.syllables[s] <= 2) {
        EXPECT_GT(syllableLength[c.stressed], syllableLength[s]) << c.word << " syllable " << s;
      }
  }
}

// A sentence ending in a short or function word rises or falls on it: a yes/no question ends above
// where it began, a statement below its highest target.
TEST(FrontEndLines, ShortLastWordsCarryTheRiseAndTheFall) {
  FrontEnd frontEnd;
  ASSERT_TRUE(frontEnd.load(dataFilesIn(kEngineData)).ok());
  struct Case {
    std::string text;  // CP1252
    bool question;
  } cases[] = {
      {"N\xE3o?", true}, {"Vou l\xE1?", true}, {"Voc\xEA vem ou n\xE3o?", true}, {"Tem mais?", true},
      {"Acho que n\xE3o.", false}, {"Vai sim.", false}, {"Isso \xE9 com ele.", false},
  };
  for (const Case& c : cases) {
    std::vector<int> targets;
    for (const std::string& line : frontEnd.mbrolaLines(c.text, 1.0, 1.0))
      if (auto phone = readPhoneLine(line)) {
        for (auto [position, hertz] : phone->targets) targets.push_back(hertz);
      }
    if (targets.size() < 2) {
      ADD_FAILURE() << c.text << ": " << targets.size() << " pitch target";
    } else if (c.question) {
      EXPECT_GT(targets.back(), targets.front()) << c.text;
    } else {
      EXPECT_LE(targets.back(), targets.front()) << c.text;
      EXPECT_LT(targets.back(), *std::max_element(targets.begin(), targets.end())) << c.text;
    }
  }
}

TEST(KaldroFalaOrmia, NormalAndPhoPrintTheEngineText) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    const char* removed;  // a data file taken from a copy of the data that the run reads; nullptr: the tree's data
    int status;
    std::string inOutput, inErrors;
  };
  const Case cases[] = {
      {"MBROLA lines end with #", {"--engine", "ormia", "--pho", "Sim. Não"}, nullptr, 0, ";Não\n", ""},
      {"one line per text", {"--engine", "ormia", "--normal", "sim", "não"}, nullptr, 0, "não\n", ""},
      {"--pho needs the engine", {"--pho", "Sim"}, nullptr, 2, "", "--engine ormia"},
      {"the data folder of KALDRO.INI", {"--engine", "ormia", "--pho", "Sim"}, "portug.pro", 1,
       "", "Configuração da prosódia não foi achada\nkaldro-fala: Erro no arquivo de prosódia"},
      // One line per text, its words read one by one.
      {"phones of each text", {"--engine", "ormia", "--phones", "os amigos", "p\xC3\xA3o", ""}, nullptr, 0,
       "os amigos\tw z a m >i g w s2\np\xC3\xA3o\tp >@ w\n\t\n", ""},
      {"phones without the rules", {"--engine", "ormia", "--phones", "casa"}, "portug.nrl", 1, "",
       "Erro na base de dados de portugu\xC3\xAAs"},
  };
  for (const Case& c : cases) {
    ScratchFolder folder;
    if (c.removed) {
      copyShippedData(folder.file("motor"));
      std::filesystem::remove(folder.file("motor/") + c.removed);
      folder.write("KALDRO.INI", "[ORMIATTS]\nDIR=" + folder.file("motor") + "\n");
    }
    const testing::ProgramResult result = testing::runProgram("kaldro-fala", c.arguments, "", folder);
    EXPECT_EQ(result.status, c.status) << c.name << ": " << result.standardError;
    EXPECT_NE(result.standardOutput.find(c.inOutput), std::string::npos) << c.name << ": " << result.standardOutput;
    EXPECT_NE(result.standardError.find(c.inErrors), std::string::npos) << c.name << ": " << result.standardError;
    if (c.status == 0 && c.arguments[2] == "--pho") {
      EXPECT_TRUE(result.standardOutput.ends_with("\n#\n")) << c.name;
    }
    if (c.status != 0) {
      EXPECT_EQ(result.standardOutput, "") << c.name;
    }
  }
}

// Long texts go through the stages in pieces of bounded length; the pieces read exactly as the
// whole text read at once (its normal form, then each stage's text form), across sentence, clause
// and word cuts: patterns that look at the next token, stress before a pause, liaison,
// abbreviations, numbers, and the natural reading of constructs placed across every cut position.
TEST(FrontEndLines, LongTextsReadInPiecesAsTheWholeText) {
  FrontEnd frontEnd;
  ASSERT_TRUE(frontEnd.load(dataFilesIn(kEngineData)).ok());
  Transcriber transcriber;
  Prosody prosody;
  ASSERT_TRUE(transcriber.loadLexicons(kEngineData + "portug.nrl", kEngineData + "portug.exc").ok());
  ASSERT_TRUE(prosody.loadProsody(kEngineData + "portug.pro").ok() && prosody.loadDiphones(kEngineData + "portug.dfn").ok());
  // The stages one after the other over the whole text, less what comes before the header of the
  // first word that sounds (an utterance starts with its first phone).
  auto whole = [&](const std::string& text) {
    std::vector<std::string> lines = prosody.buildProsody(
        transcriber.transcribe(prosody.assignPatterns(prosody.tokenise(frontEnd.normalise(text)), true)), 0.8, 1.0);
    const auto sound = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
      return !line.empty() && line[0] != ';' && line[0] != '_';
    });
    const auto header = std::find_if(std::make_reverse_iterator(sound), lines.rend(),
                                     [](const std::string& line) { return line.starts_with(";"); });
    lines.erase(lines.begin(), header == lines.rend() ? sound : std::prev(header.base()));
    return lines;
  };
  // Words ending in r and s before words starting with a vowel, abbreviations, ordinals, numbers,
  // question words, and every mark that may end a piece.
  const std::vector<std::string> words = {"mar", "azul", "os", "amigos", "por", "aqui", "Sr.", "Dr.", "Silva",
                                          "onde", "quem", "que", "casa", "n\xBA.", "1o.", "3.480,00", "-", "e",
                                          "sim", "n\xE3o", "1.000", "ontem", "a", "X.", "CPF.", "fim",
                                          "15/08/2025", "R$", "16h45", "2.500", "cartas", "D.", "Jo\xE3o", "III",
                                          "\"Sim\"", "s/n", "(sic)", "12", "km"};
  const std::vector<std::string> marks = {" ", " ", " ", " ", ", ", ". ", "? ", "! ", "; ", ": ", "... ", " - ", "  "};
  std::mt19937 random(20261207);
  auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };
  std::string prose, unmarked, unbroken;
  for (int i = 0; i < 3000; ++i) prose += pick(words) + pick(marks);
  for (int i = 0; i < 1500; ++i) unmarked += pick({"mar", "azul", "os", "amigos", "123", "e", "quer"}) + " ";
  for (int i = 0; i < 1200; ++i) unbroken += "aba";
  const std::string source = KALDRO_SOURCE_DIR;
  std::string manual = testing::readFile(source + "/docs/manual.md");
  std::replace(manual.begin(), manual.end(), '\n', ' ');
  // Constructs a reader reads as one, in a sentence without commas, starting at every byte around
  // where a piece of the raw text used to end.
  const std::vector<std::string> constructs = {
      "R$ 2 milh\xF5" "es", "1\xBA de maio", "2 horas", "Pedro II", "s\xE9" "culo XX", "c/c \xE0 diretoria",
      "D. Maria", "15/08/2025", "16h45", "www.exemplo.com.br/pasta/arquivo", "3 (tr\xEAs) c\xF3pias"};
  for (const Reading reading : {Reading::Natural, Reading::Literal}) {
    frontEnd.setReading(reading);
    for (const std::string& construct : constructs) {
      for (size_t start = FrontEnd::kPieceLength - 40; start <= FrontEnd::kPieceLength + 5; ++start) {
        std::string text;
        while (text.size() < start) text += "a casa amarela ";
        text.resize(start - 1);
        text += " " + construct + " e o resto da frase sem v\xEDrgula";
        ASSERT_EQ(frontEnd.mbrolaLines(text, 0.8, 1.0), whole(text)) << construct << " at " << start;
      }
    }
  }
  frontEnd.setReading(Reading::Literal);
  for (const std::string& text : {prose, unmarked, platform::utf8ToCp1252(manual)}) {
    EXPECT_EQ(frontEnd.mbrolaLines(text, 0.8, 1.0), whole(text)) << text.substr(0, 80);
    size_t pieces = 0;
    for (size_t from = 0; from < text.size(); ++pieces) {
      const size_t end = frontEnd.pieceEnd(text, from);
      ASSERT_TRUE(end > from && end - from <= FrontEnd::kPieceLength) << from;
      from = end;
    }
    EXPECT_GE(pieces, 4u);
  }
  // A word without a blank is cut between two letters at the longest piece, and read all the same.
  EXPECT_EQ(frontEnd.pieceEnd(unbroken, 0), FrontEnd::kPieceLength);
  const size_t expected = (unbroken.size() + FrontEnd::kPieceLength - 1) / FrontEnd::kPieceLength;
  size_t unbrokenPieces = 0, unbrokenLines = 0;
  frontEnd.forEachPiece(unbroken, 0.8, 1.0, [&](std::vector<std::string>& lines, bool lastPiece) {
    unbrokenLines += lines.size();  // a piece of one word may be held for its neighbour
    EXPECT_EQ(lastPiece, ++unbrokenPieces == expected);
    return true;
  });
  EXPECT_EQ(unbrokenPieces, expected);
  EXPECT_GT(unbrokenLines, unbroken.size());
}

// A question opened by a question word (after an article, a preposition or a conjunction at most)
// falls at its end as a statement does; a yes/no question rises, whatever question word it holds
// further on. The direction is that of the last two pitch targets of each text's --pho lines.
TEST(KaldroFalaOrmia, QuestionWordQuestionsFallYesNoQuestionsRise) {
  struct Case {
    const char* text;
    bool rises;
  };
  const Case cases[] = {
      {"Onde você mora?", false},    {"Quem veio?", false},          {"O que é isso?", false},
      {"Por que você não veio?", false}, {"Como vai?", false},       {"Qual é o seu nome?", false},
      {"Quando?", false},            {"E quanto custa a passagem?", false}, {"De onde vem esse barulho?", false},
      {"Você mora aqui?", true},     {"Sabe onde ele mora?", true},  {"Acha que vai chover?", true},
      {"Tem mais?", true},           {"Ele veio ontem.", false},
      // Each sentence of a text has its own kind.
      {"Quem veio? Você veio?", true}, {"Você veio? Quem veio?", false},
  };
  std::vector<std::string> arguments = {"--engine", "ormia", "--pho"};
  for (const Case& c : cases) arguments.push_back(c.text);
  ScratchFolder folder;
  const testing::ProgramResult result = testing::runProgram("kaldro-fala", arguments, "", folder);
  ASSERT_EQ(result.status, 0) << result.standardError;
  std::vector<std::vector<int>> targets(1);
  for (const std::string& line : testing::splitLines(result.standardOutput)) {
    if (line == "#") {
      targets.emplace_back();
    } else if (const std::optional<PhoneLine> phone = readPhoneLine(line)) {
      for (auto [position, hertz] : phone->targets) targets.back().push_back(hertz);
    }
  }
  targets.pop_back();
  ASSERT_EQ(targets.size(), std::size(cases));
  for (size_t i = 0; i < targets.size(); ++i) {
    const std::vector<int>& heard = targets[i];
    ASSERT_GE(heard.size(), 2u) << cases[i].text;
    if (cases[i].rises) {
      EXPECT_GT(heard.back(), heard[heard.size() - 2]) << cases[i].text;
    } else {
      EXPECT_LT(heard.back(), heard[heard.size() - 2]) << cases[i].text;
    }
  }
}

}  // namespace
}  // namespace kaldro::tts
