// Text normalisation: numbers, ordinals, cardinals against a reference reader, letter words and
// abbreviations, symbol names, control characters, the abbreviations file and its loader.
#include "tts/normaliser.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <random>

#include "platform/text.h"
#include "support/program_run.h"
#include "tts/cardinal_reference.h"

namespace kaldro::tts {
namespace {


using platform::cp1252ToUtf8;
using platform::utf8ToCp1252;

// Blanks collapsed and trimmed: later stages split on blanks, so only the words matter.
std::string words(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// The normalised form of a UTF-8 text, in UTF-8 with blanks collapsed.
std::string spoken(const Normaliser& normaliser, const std::string& text) {
  return words(cp1252ToUtf8(normaliser.normaliseText(utf8ToCp1252(text))));
}

const char* const kSmallTable =
    "Dr. = doutor\n"
    "Sra. = senhora\n"
    "nº = número\n"
    "R = rua\n"
    "etc. = etcétera\n"
    "end = endereço\n";

Normaliser withTable(const char* table) {
  Normaliser normaliser;
  normaliser.setAbbreviations(utf8ToCp1252(table));
  return normaliser;
}

struct Reading {
  const char* text;
  const char* spoken;
};

void expectReadings(const Normaliser& normaliser, std::initializer_list<Reading> cases) {
  for (const Reading& c : cases) EXPECT_EQ(spoken(normaliser, c.text), c.spoken) << "text: " << c.text;
}

TEST(NormaliserNumbers, DigitRunsDecimalsSignsAndHyphens) {
  expectReadings(Normaliser(), {
      {"1.000", "mil"},
      {"1.000 reais", "mil reais"},
      {"1.5", "um ponto cinco"},
      {"3,14", "três vírgula quatorze"},
      {"1.234.567,89", "um milhão duzentos e trinta e quatro mil quinhentos e sessenta e sete vírgula oitenta e nove"},
      {"1.0000", "um ponto zero zero zero zero"},  // four digits after the dot: not thousands
      {"1.00", "um ponto zero zero"},
      {"0.500", "zero ponto quinhentos"},  // no thousands before the dot: not a separator
      {"3,05", "três vírgula zero cinco"},
      {"007", "zero zero sete"},
      {"0", "zéro"},  // a text of one character is that character's name
      {"0 ", "zero"},
      {"00", "zero zero"},
      {"-5", "menos cinco"},
      {"a -5", "a menos cinco"},
      {"sim - não", "sim , não"},
      {"12-34-56", "um dois traço três quatro traço cinco seis"},
      {"0800-1", "zero oito zero zero traço um"},
      {"5-", "cinco traço"},
      {"2-a", "dois traço a"},
      // A hyphen right after a number that stopped at a dot is a dash, not a minus sign.
      {"123.456.789-09", "cento e vinte e três milhões quatrocentos e cinqüenta e seis mil setecentos e oitenta e nove traço zero nove"},
      {"10x", "dez xis"},
  });
}

TEST(NormaliserNumbers, LongRunsAreReadInNumbersOfFifteenDigits) {
  Normaliser normaliser;
  EXPECT_EQ(spoken(normaliser, "999999999999999"),
            "novecentos e noventa e nove trilhões novecentos e noventa e nove bilhões novecentos e noventa e nove "
            "milhões novecentos e noventa e nove mil novecentos e noventa e nove");
  EXPECT_EQ(spoken(normaliser, "1000000000000000"), "cem trilhões zero");
  EXPECT_EQ(spoken(normaliser, "1234567890123456"),
            "cento e vinte e três trilhões quatrocentos e cinqüenta e seis bilhões setecentos e oitenta e nove "
            "milhões doze mil trezentos e quarenta e cinco seis");
  // The sixteenth digit is not lost: only its reading is appended after the first number.
  std::string sixteen = spoken(normaliser, "1234567890123457");
  EXPECT_EQ(sixteen.substr(sixteen.rfind(' ') + 1), "sete");
  // A very long run never truncates: one reading per fifteen digits, then the rest.
  std::string forty = spoken(normaliser, std::string(40, '7'));
  EXPECT_EQ(forty.find("setecentos e setenta e sete trilhões"), 0u) << forty;
  EXPECT_NE(forty.find("sete setecentos e setenta e sete trilhões"), std::string::npos) << forty;
  EXPECT_EQ(forty.substr(forty.rfind("sete bilhões")),
            "sete bilhões setecentos e setenta e sete milhões setecentos e setenta e sete mil setecentos e setenta e sete");
  // Read in one pass: a run of a million digits does not take a million looks ahead.
  std::string million = normaliser.normaliseText(std::string(1'000'000, '9'));
  const size_t fifteen = words(normaliser.normaliseText(std::string(15, '9'))).size();
  const size_t ten = words(normaliser.normaliseText(std::string(10, '9'))).size();
  EXPECT_EQ(words(million).size(), 66'666 * (fifteen + 1) + ten);  // 66 666 numbers of 15 digits, one of 10
  std::string zeros(31, '0');
  EXPECT_EQ(spoken(normaliser, zeros), words([] {
              std::string z;
              for (int i = 0; i < 31; ++i) z += "zero ";
              return z;
            }()));
}

TEST(NormaliserNumbers, ReadNumberLeavesPositionAfterWhatItRead) {
  Normaliser normaliser;
  struct Case {
    const char* text;
    size_t start, end;
    const char* spoken;
  } cases[] = {
      {"a 1.000,5", 2, 7, "mil"},   {"12-3 x", 0, 4, "um dois traço três"}, {"2ª b", 0, 2, "segunda"},
      {"3os. c", 0, 4, "terceiros"}, {"1o.", 0, 3, "primeiro"},             {"x", 0, 0, ""},
      {"9", 1, 1, ""},
  };
  for (const Case& c : cases) {
    std::string text = utf8ToCp1252(c.text);
    size_t pos = c.start;
    EXPECT_EQ(words(cp1252ToUtf8(normaliser.readNumber(text, pos))), c.spoken) << c.text;
    EXPECT_EQ(pos, c.end) << c.text;
  }
}

TEST(NormaliserCardinals, GroupsJoinAsBrazilianReadersSayThem) {
  Normaliser normaliser;
  const std::pair<uint64_t, const char*> cases[] = {
      {0, "zero"},
      {1, "um"},
      {16, "dezesseis"},
      {100, "cem"},
      {101, "cento e um"},
      {115, "cento e quinze"},
      {120, "cento e vinte"},
      {999, "novecentos e noventa e nove"},
      {1000, "mil"},
      {1001, "mil e um"},
      {1020, "mil e vinte"},
      {1021, "mil e vinte e um"},
      {1100, "mil e cem"},
      {1120, "mil cento e vinte"},
      {1230, "mil duzentos e trinta"},
      {2500, "dois mil e quinhentos"},
      {100000, "cem mil"},
      {101000, "cento e um mil"},
      {1000000, "um milhão"},
      {1000001, "um milhão e um"},
      {1001000, "um milhão e mil"},
      {1200000, "um milhão e duzentos mil"},
      {1250000, "um milhão duzentos e cinqüenta mil"},
      {2000000, "dois milhões"},
      {2000000000, "dois bilhões"},
      {1000000000000, "um trilhão"},
      {3000000000020, "três trilhões e vinte"},
  };
  for (const auto& [n, reading] : cases) {
    EXPECT_EQ(cp1252ToUtf8(normaliser.cardinalWords(n)), reading) << n;
    EXPECT_EQ(testing::referenceCardinal(n), reading) << "reference reader, " << n;
  }
}

TEST(NormaliserCardinals, AgreeWithTheReferenceReader) {
  Normaliser normaliser;
  auto check = [&](uint64_t n) {
    std::string reading = cp1252ToUtf8(normaliser.cardinalWords(n));
    if (reading == testing::referenceCardinal(n)) return true;
    ADD_FAILURE() << n << ": " << reading << " | reference: " << testing::referenceCardinal(n);
    return false;
  };
  int failures = 0;
  // Every number below a million, where all the joining cases of two groups occur.
  for (uint64_t n = 0; n < 1'000'000 && failures < 10; ++n) failures += !check(n);
  // A large random sample below a billion, and below the fifteen-digit limit.
  std::mt19937_64 random(20261207);
  std::uniform_int_distribution<uint64_t> belowBillion(0, 999'999'999), belowLimit(0, 999'999'999'999'999ULL);
  for (int i = 0; i < 200'000 && failures < 10; ++i) failures += !check(belowBillion(random));
  for (int i = 0; i < 50'000 && failures < 10; ++i) failures += !check(belowLimit(random));
  // Every combination of telling group values in the five groups.
  const unsigned telling[] = {0, 1, 2, 10, 21, 100, 101, 120, 200, 999};
  for (unsigned a : telling)
    for (unsigned b : telling)
      for (unsigned c : telling)
        for (unsigned d : telling)
          for (unsigned e : telling) {
            uint64_t n = (((a * 1000ULL + b) * 1000 + c) * 1000 + d) * 1000 + e;
            if (failures < 10) failures += !check(n);
          }
}

// Long: every pair of group values in the millions and thousands, or in the thousands and units,
// with telling values in the third group (4 x 10^7 numbers below a billion). Run it with
// KALDRO_CARDINAIS_AMPLOS=1 after a change to the number words.
TEST(NormaliserCardinals, AgreeWithTheReferenceReaderOnEveryPairOfGroups) {
  if (!getenv("KALDRO_CARDINAIS_AMPLOS")) GTEST_SKIP() << "set KALDRO_CARDINAIS_AMPLOS=1 to run it";
  Normaliser normaliser;
  const unsigned telling[] = {0, 1, 2, 9, 10, 11, 19, 20, 21, 99, 100, 101, 110, 111, 120, 121, 200, 201, 210, 999};
  uint64_t checked = 0, failures = 0;
  for (unsigned high = 0; high < 1000 && failures < 10; ++high)
    for (unsigned middle = 0; middle < 1000; ++middle)
      for (unsigned third : telling)
        for (uint64_t n : {(high * 1000ULL + middle) * 1000 + third, (third * 1000ULL + high) * 1000 + middle}) {
          ++checked;
          std::string reading = cp1252ToUtf8(normaliser.cardinalWords(n));
          if (reading == testing::referenceCardinal(n)) continue;
          if (++failures < 10) ADD_FAILURE() << n << ": " << reading;
        }
  std::cout << checked << " cardinals checked, " << failures << " differ\n";
}

TEST(NormaliserOrdinals, WordsBothGendersAndTheCardinalFromTwoThousand) {
  Normaliser normaliser;
  struct Case {
    uint64_t n;
    Gender gender;
    const char* reading;
  } cases[] = {
      {0, Gender::Masculine, "zero"},
      {1, Gender::Masculine, "primeiro"},
      {2, Gender::Feminine, "segunda"},
      {10, Gender::Masculine, "décimo"},
      {11, Gender::Feminine, "décima primeira"},
      {21, Gender::Masculine, "vigésimo primeiro"},
      {80, Gender::Masculine, "octogésimo"},
      {100, Gender::Feminine, "centésima"},
      {400, Gender::Masculine, "quadringentésimo"},
      {789, Gender::Masculine, "septingentésimo octogésimo nono"},
      {800, Gender::Masculine, "octingentésimo"},
      {999, Gender::Masculine, "nongentésimo nonagésimo nono"},
      {1000, Gender::Masculine, "milésimo"},
      {1002, Gender::Masculine, "milésimo segundo"},
      {1999, Gender::Feminine, "milésima nongentésima nonagésima nona"},
      {2000, Gender::Feminine, "dois mil"},
      {2021, Gender::Masculine, "dois mil e vinte e um"},
  };
  for (const Case& c : cases) EXPECT_EQ(cp1252ToUtf8(normaliser.ordinalWords(c.n, c.gender)), c.reading) << c.n;
}

TEST(NormaliserOrdinals, SignsAfterNumbers) {
  expectReadings(Normaliser(), {
      {"1º", "primeiro"},
      {"1o.", "primeiro"},
      {"2ª", "segunda"},
      {"2a. feira", "segunda feira"},
      {"3as.", "terceiras"},
      {"3os. lugares", "terceiros lugares"},
      {"21as. edições", "vigésimas primeiras edições"},
      {"2000º", "dois mil"},
      {"2000os.", "dois mil"},  // a cardinal takes no plural ending
      {"007º", "sétimo"},       // ordinals drop the leading zeros
      {"1.000º", "milésimo"},
      {"1o", "um o"},           // no dot, no ordinal
  });
}

TEST(NormaliserLetters, ConsonantWordsAreSpelledUnlessExpanded) {
  expectReadings(withTable(kSmallTable), {
      {"CPF", "sêpêéfe"},
      {"b", "bê"},
      {"a b c d", "a bê sê dê"},
      {"nh", "eneagá"},
      {"Dr. Silva", "doutor Silva"},
      {"dr. silva", "doutor silva"},
      {"Dr.\tSilva", "doutor Silva"},
      {"Dr Silva", "dêérre Silva"},
      {"Dr.Silva", "dêérre ponto Silva"},  // not an abbreviation's dot: neither expanded nor left unsayable
      {"com o Dr.", "com o doutor."},     // at the end the dot expands it and stays as the full stop
      {"o Dr., ele", "o doutor, ele"},     // a punctuation mark after the dot ends the word too
      {"(Dr.)", "(doutor)"},
      {"Dr.: x", "doutor: xis"},
      {"Sra. Maria", "senhora Maria"},
      {"Sra.Maria", "Sra ponto Maria"},
      {"Sra.", "senhora."},
      {"R. Augusta", "rua Augusta"},
      {"R", "érre"},
      {"nº 5", "número cinco"},
      {"Nº 12", "número doze"},
      {"nº. 12", "número doze"},
      {"nº.", "número."},
      {"frutas etc. Depois", "frutas etcétera Depois"},
      {"frutas etc.", "frutas etcétera."},
      {"pressione End.", "pressione End."},  // a word ending a sentence: only keys written "etc." expand there
      {"End. Rua X", "endereço Rua xis"},
      {"guarda-chuva", "guarda-chuva"},
      {"BR-101", "bêérretraço cento e um"},
      {"Ação", "Ação"},
      {"Ñ", "êne com til"},  // one character alone is named, and the name read like any text
      {"A4 e MP3", "A quatro e êmepê três"},  // a number after letters is a word of its own
      {"copo d'água", "copo dágua"},                  // the apostrophe elides, it is not read
      {"caixa-d'água", "caixa-dágua"},
      {"o 'sim'", "o apóstrofo sim apóstrofo"},      // quotes made of apostrophes are still named
  });
}

TEST(NormaliserLetters, ReadLetterWordStopsAtTheFirstNonLetter) {
  Normaliser normaliser = withTable(kSmallTable);
  struct Case {
    const char* text;
    size_t end;
    const char* word;
  } cases[] = {{"casa azul", 4, "casa"}, {"Dr. X", 2, "Dr"}, {"Dr", 2, "dêérre"},
               {"pé-de-moleque!", 13, "pé-de-moleque"}, {"1a", 0, ""},
               // An apostrophe between letters joins them and is not named.
               {"d'água fria", 6, "dágua"}, {"Sant’Ana", 8, "SantAna"}, {"d' a", 1, "dê"}, {"d'", 1, "dê"}};
  for (const Case& c : cases) {
    std::string text = utf8ToCp1252(c.text);
    size_t pos = 0;
    EXPECT_EQ(words(cp1252ToUtf8(normaliser.readLetterWord(text, pos))), c.word) << c.text;
    EXPECT_EQ(pos, c.end) << c.text;
  }
}

TEST(NormaliserSymbols, DotsPunctuationAndNames) {
  expectReadings(Normaliser(), {
      {"site.com", "site ponto com"},
      {"fim.", "fim."},
      {"fim...", "fim..."},
      {"(fim.)", "(fim.)"},
      {"fim.:", "fim.:"},
      {"a.b", "a ponto bê"},
      {"fim. Outro", "fim. Outro"},
      {"fim.\nOutro", "fim. Outro"},
      {".5", "ponto cinco"},
      {"?", "interrogação"},
      {",", "vírgula"},
      {"5", "cinco"},
      {"a?", "a?"},
      {"Sim! (não): ok; 1", "Sim! (não): ok; um"},
      {"50%", "cinqüenta porcento"},
      {"a & b", "a é comercial bê"},
      {"x÷y", "xis vezes ípsilon"},
      {"a@b", "a arrôba bê"},
      {"a_b", "a sublinhado bê"},
      {"x = 2", "xis igual dois"},
      {"\"oi\"", "aspas oi aspas"},
      {"ü", "U com trema"},
  });
}

TEST(NormaliserSymbols, ControlCharactersNeverJoinOrReachTheOutput) {
  Normaliser normaliser;
  // Line ends and tabs separate the words they stood between; other control bytes leave blanks.
  expectReadings(normaliser, {{"Sim\nNão", "Sim Não"}, {"a\te", "a e"}, {"a\r\ne", "a e"}, {"a\x01" "e", "a e"}});
  EXPECT_EQ(normaliser.normaliseText("a\x01" "e"), "a  e");
  EXPECT_EQ(normaliser.normaliseText("\x07"), "");
  EXPECT_EQ(normaliser.normaliseText(std::string("a\0e", 3)), "a  e");
  EXPECT_EQ(normaliser.normaliseText(""), "");
  // Every byte value, alone and in company, gives a text without control characters.
  for (int c = 0; c < 256; ++c) {
    std::string text = {'a', static_cast<char>(c), '1', static_cast<char>(c)};
    for (unsigned char out : normaliser.normaliseText(text)) EXPECT_GE(out, 32) << c;
  }
}

TEST(NormaliserSymbols, CharacterNamesAcrossTheCodePage) {
  Normaliser normaliser;
  const std::pair<unsigned char, const char*> cases[] = {
      {' ', "espaço"},       {'!', "exclamação"}, {'/', "barra"},     {'0', "zéro"},        {'7', "séte"},
      {':', "dois pontos"},  {'@', "arrôba"},     {'C', " sê"},       {'D', " dê"},         {'J', "jóta"},
      {'j', "jota"},         {'N', "êne"},        {'n', "ene"},       {'Z', "zê"},          {'[', "abre colchete"},
      {'`', "crase"},        {'~', "til"},        {0xA1, "exclamação reversa"}, {0xBA, "ordinal masculino"},
      {0xBF, "interrogação reversa"}, {0xC0, "A grave"}, {0xD7, "vezes"}, {0xDC, "U com trema"},
      {0xE1, "A agudo"},     {0xF7, "vezes"},     {0xFC, "U com trema"}, {0, ""},           {31, ""},
      {127, ""},             {0x80, ""},          {0xA0, ""},         {0xDD, ""},           {0xDF, ""},
      {0xFD, ""},            {0xFF, ""},
  };
  for (const auto& [c, name] : cases) EXPECT_EQ(cp1252ToUtf8(normaliser.charName(c)), name) << int(c);
}

TEST(NormaliserAbbreviations, FileLinesAndLookup) {
  struct Case {
    const char* file;
    size_t entries;
    const char* word;
    const char* expansion;
  } cases[] = {
      {"Sr = senhor", 1, "sr", "senhor"},
      {"  Sr=senhor  \r\n", 1, "SR", "senhor"},
      {"; Sr = comentário\n\n   \nSr = senhor", 1, "Sr", "senhor"},
      {"Sr senhor\nDr = doutor", 1, "Sr", ""},        // no "=": no entry
      {"= nada\nDr = doutor", 1, "Dr", "doutor"},     // no key: no entry
      {"Sr = senhor\nSR = outro", 2, "sR", "senhor"},  // the first equal key wins
      {"a = b = c", 1, "A", "b = c"},                 // split at the first "="
      {"séc = século", 1, "SÉC", "século"},           // accented letters match in either case
      {"Vazio =", 1, "vazio", ""},
      {"\xEF\xBB\xBFSr = senhor", 1, "Sr", "senhor"},  // a byte-order mark is not part of the key
      {"Dr = dout\xF4r", 1, "Dr", "doutôr"},          // Latin-1 bytes in a file that is not UTF-8
  };
  for (const Case& c : cases) {
    testing::ScratchFolder folder;
    folder.write("portug.abr", c.file);
    Normaliser normaliser;
    ASSERT_TRUE(normaliser.loadAbbreviations(folder.file("portug.abr")).ok()) << c.file;
    EXPECT_EQ(normaliser.abbreviations().size(), c.entries) << c.file;
    EXPECT_EQ(cp1252ToUtf8(normaliser.lookupAbbreviation(utf8ToCp1252(c.word))), c.expansion) << c.file;
  }
}

TEST(NormaliserAbbreviations, CheckNamesTheLinesThatDoNotWork) {
  struct Case {
    const char* file;
    std::vector<size_t> lines;
  } cases[] = {
      {"; comentário\n\nSr = senhor\nDr = doutor\nnº = número\npé-de = pezinho", {}},
      {"Sr senhor", {1}},
      {"= nada", {1}},
      {"Sr =", {1}},
      {"Sr = senhor\nDr = doutor\nSR = outro", {3}},
      {"S.A = sociedade anônima\n1a = primeira\nx y = zebra", {1, 2, 3}},  // no word read from a text equals these
      {"km = 5 quilômetros\nh = hora\ncc = CC\nx = a.b", {1, 3, 4}},  // expansions are not read again
  };
  Normaliser normaliser;
  for (const Case& c : cases) {
    std::vector<size_t> lines;
    for (const AbbreviationFault& fault : normaliser.checkAbbreviations(utf8ToCp1252(c.file))) {
      lines.push_back(fault.line);
      EXPECT_FALSE(fault.problem.empty());
    }
    EXPECT_EQ(lines, c.lines) << c.file;
  }
  std::string many;
  for (int i = 0; i < 2001; ++i) many += "k" + std::string(1 + i / 26 / 26, 'a') + char('a' + i / 26 % 26) + char('a' + i % 26) + " = entrada\n";
  auto faults = normaliser.checkAbbreviations(many);
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_EQ(faults[0].line, 2001u);
  faults = normaliser.checkAbbreviations("longa = " + std::string(1000, 'a'));
  ASSERT_EQ(faults.size(), 1u);
}

TEST(NormaliserAbbreviations, LimitsOfTheTable) {
  std::string file;
  for (int i = 0; i < 2500; ++i) file += "k" + std::to_string(i) + " = entrada\n";
  file += "longa = " + std::string(5000, 'x') + "\n";
  Normaliser normaliser;
  normaliser.setAbbreviations(file);
  EXPECT_EQ(normaliser.abbreviations().size(), Normaliser::kMaxAbbreviations);
  EXPECT_EQ(normaliser.lookupAbbreviation("k1999"), "entrada");
  EXPECT_EQ(normaliser.lookupAbbreviation("k2000"), "");
  normaliser.setAbbreviations("longa = " + std::string(5000, 'x'));
  EXPECT_EQ(normaliser.lookupAbbreviation("LONGA").size(), Normaliser::kMaxExpansion);
}

TEST(NormaliserAbbreviations, MissingAndUnreadableFilesAreToldApart) {
  using platform::StatusCode;
  testing::ScratchFolder folder;
  Normaliser normaliser = withTable(kSmallTable);
  EXPECT_EQ(normaliser.loadAbbreviations(folder.file("nada.abr")).code(), StatusCode::NotFound);
  EXPECT_EQ(normaliser.loadAbbreviations("").code(), StatusCode::NotFound);
  // A folder exists but cannot be read: a read error, and the table stays as it was.
  EXPECT_EQ(normaliser.loadAbbreviations(folder.path()).code(), StatusCode::Unreadable);
  EXPECT_EQ(normaliser.lookupAbbreviation("dr"), "doutor");
  EXPECT_EQ(normaliser.loadAbbreviations("/dev/zero").code(), StatusCode::Unreadable);  // would never end
  if (geteuid() != 0) {  // root reads any file
    folder.write("fechado.abr", "Sr = senhor\n");
    chmod(folder.file("fechado.abr").c_str(), 0);
    EXPECT_EQ(normaliser.loadAbbreviations(folder.file("fechado.abr")).code(), StatusCode::Unreadable);
  }
}

TEST(NormaliserAbbreviations, HostileFilesNeverCrash) {
  std::mt19937 random(7);
  std::vector<std::string> files = {std::string(1 << 20, 'a'), std::string(1 << 16, '='), std::string(5000, '\n'),
                                    std::string("\0=\0\n=\n;\n", 8), "\xFF\xFE=\xC3\n\xC3=\xC3"};
  for (int i = 0; i < 50; ++i) {
    std::string junk(1 + random() % 3000, '\0');
    for (char& c : junk) c = static_cast<char>(random() % 8 == 0 ? '=' : random() % 8 == 0 ? '\n' : random());
    files.push_back(junk);
  }
  for (const std::string& file : files) {
    testing::ScratchFolder folder;
    folder.write("portug.abr", file);
    Normaliser normaliser;
    ASSERT_TRUE(normaliser.loadAbbreviations(folder.file("portug.abr")).ok());
    EXPECT_LE(normaliser.abbreviations().size(), Normaliser::kMaxAbbreviations);
    for (const Abbreviation& entry : normaliser.abbreviations()) {
      EXPECT_FALSE(entry.key.empty());
      EXPECT_LE(entry.expansion.size(), Normaliser::kMaxExpansion);
    }
    normaliser.normaliseText(file.substr(0, 4000));  // the same bytes as a text to read
  }
}

// The shipped abbreviations pass their own check, and a dozen common texts read with them. Some
// readings are not what a Brazilian reader says (money, times, dates); they are kept here as the
// rules give them.
TEST(ShippedAbbreviations, ADozenTextsAndTheirNormalisedForm) {
  Normaliser normaliser;
  ASSERT_TRUE(normaliser.loadAbbreviations(KALDRO_SOURCE_DIR "/data/ormiatts/portug.abr").ok());
  std::string file = testing::readFile(KALDRO_SOURCE_DIR "/data/ormiatts/portug.abr");
  for (const AbbreviationFault& fault : normaliser.checkAbbreviations(platform::textFileToCp1252(file)))
    ADD_FAILURE() << "portug.abr:" << fault.line << ": " << fault.problem;
  expectReadings(normaliser, {
      {"A Srta. Lia, a Dra. Ana, o Prof. Rui, a Profa. Eva e a Sta. Rita moram na R. Direita.",
       "A senhorita Lia, a doutora Ana, o professor Rui, a professora Eva e a santa Rita moram na rua Direita."},
      {"O Dr. João Silva mora na Av. Paulista, nº 1.578, apto. 42.",
       "O doutor João Silva mora na avenida Paulista, número mil quinhentos e setenta e oito , apartamento quarenta e dois ."},
      {"A Sra. Maria pagou R$ 1.250,00 em 3 vezes.",
       "A senhora Maria pagou érre cifrão mil duzentos e cinqüenta vírgula zero zero em três vezes."},
      {"Reunião às 14h30 na sala 2.", "Reunião às quatorze agá trinta na sala dois ."},
      {"Ligue para (11) 3456-7890.", "Ligue para (onze ) três quatro cinco seis traço sete oito nove zero ."},
      {"CPF: 123.456.789-09",
       "sêpêéfe: cento e vinte e três milhões quatrocentos e cinqüenta e seis mil setecentos e oitenta e nove traço zero nove"},
      {"Ele chegou em 1º lugar e ela em 2ª.", "Ele chegou em primeiro lugar e ela em segunda ."},
      {"Fazia -5 graus - um recorde!", "Fazia menos cinco graus , um recorde!"},
      {"Visite www.kaldro.com.br hoje",
       "Visite dábliudábliudábliu ponto kaldro ponto com ponto bêérre hoje"},
      {"O Exmo. Sr. Prefeito e a Profª Ana", "O excelentíssimo senhor Prefeito e a professora Ana"},
      {"Em 2024 o PIB cresceu 3,5%.", "Em dois mil e vinte e quatro o PIB cresceu três vírgula cinco porcento ."},
      {"Rua das Flores, 10, Sto. Amaro, Ltda.", "Rua das Flores, dez , santo Amaro, limitada."},
      {"Comprei pão, leite etc.", "Comprei pão, leite etcétera."},
      {"Tel.: (11) 1234-5678", "telefone: (onze ) um dois três quatro traço cinco seis sete oito"},
      {"Nasceu em 07/12/1999 às 8h.", "Nasceu em zero sete barra doze barra mil novecentos e noventa e nove às oito agá."},
      {"1.000.000 de pessoas, 2.000.000.000 de reais", "um milhão de pessoas, dois bilhões de reais"},
  });
}

}  // namespace
}  // namespace kaldro::tts
