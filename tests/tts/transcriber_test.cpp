// Transcription: the stress finder, exceptions with their plural retry, context rules, the stress
// mark, pauses, liaison, loaders on bad files, and the engine's own rule and exception files.
#include "tts/transcriber.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/text.h"
#include "support/program_run.h"

namespace kaldro::tts {
namespace {

using kaldro::testing::ScratchFolder;

std::string cp(const std::string& utf8) { return platform::utf8ToCp1252(utf8); }

// A transcriber loaded from texts written into a scratch folder.
struct Loaded {
  ScratchFolder folder;
  Transcriber transcriber;
  bool loaded = false;
  Loaded(const std::string& rules, const std::string& exceptions) {
    folder.write("r.nrl", rules);
    folder.write("e.exc", exceptions);
    loaded = transcriber.loadLexicons(folder.file("r.nrl"), folder.file("e.exc")).ok();
  }
};

// One letter, one phone: enough to see where the stress mark and the pieces go.
const char* kPlainRules =
    "; plain letters\n"
    "(QU)+=k\n"
    "(A)=a\n(B)=b\n(C)=k\n(D)=d\n(E)=e\n(G)=g\n(H)=\n(I)=i\n(J)=j\n(L)=l\n(M)=m\n(N)=n\n"
    "(O)=o\n(P)=p\n(R)=r\n(S)=s\n(T)=t\n(U)=u\n(V)=v\n(Z)=z\n";

TEST(TranscriberStress, FindsTheTonicVowel) {
  struct Case {
    const char* word;  // UTF-8
    int stress;
  } cases[] = {
      {"CASA", 2},    {"CASAS", 2},   {"AMOR", 3},      {"JARDIM", 5},   {"HOMEM", 2},
      {"PAPEL", 4},   {"QUE", 3},     {"AQUI", 4},      {"PARAGUAI", 7}, {"FALAM", 2},
      {"BONITO", 4},  {"RUA", 2},     {"SAÚDE", 3},     {"CAFÉ", 4},     {"ÁRVORE", 1},
      {"LÂMPADA", 2}, {"PÃO", 2},     {"ÓRFÃO", 4},     {"SEGUE", 2},    {"QUAIS", 3},
      {"GUARDA", 3},  {"CPF", 0},     {"", 0},          {"TATU", 4},     {"LINGUIÇA", 6},
      {"casa", 2},    {"amor", 3},    {"SAI", 2},       {"XYZ", 2},      {"ÀS", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(Transcriber::findStress(cp(c.word)), c.stress) << c.word;
}

TEST(TranscriberStress, ShortAndFunctionWordsAreUnstressed) {
  for (const char* word : {"A", "DE", "OS", "POR", "DAS", "DOS", "COM", "NÃO", "SIM"})
    EXPECT_TRUE(Transcriber::isUnstressed(cp(word))) << word;
  for (const char* word : {"PARA", "CASA", "MAS", "SEM", "NAO", "PORTA"})
    EXPECT_FALSE(Transcriber::isUnstressed(cp(word))) << word;
}

TEST(TranscriberWords, StressMarkGoesOnTheTonicRulesFirstPhone) {
  Loaded lexicon(std::string(kPlainRules) + "(X)=k&s\n(Ç)=s\n", "");
  ASSERT_TRUE(lexicon.loaded);
  struct Case {
    const char* word;
    const char* phones;
  } cases[] = {
      {"CASA", "k >a s a"},
      {"CASAS", "k >a s a s"},
      {"AMOR", "a m >o r"},
      {"JARDIM", "j a r d >i m"},
      {"HOMEM", ">o m e m"},       // the silent H takes no mark
      {"PAPEL", "p a p >e l"},
      {"QUE", "k >e"},             // QU is one rule before the tonic E
      {"TAXA", "t >a k s a"},      // '&' gives one line per piece
      {"DE", "d e"},               // short words: no mark
      {"POR", "p o r"},
      {"CPF", "k p"},              // F has no rule: skipped; no vowel, no mark
  };
  for (const Case& c : cases) {
    std::vector<std::string> list = lexicon.transcriber.transcribe({"555|" + std::string(c.word)});
    EXPECT_EQ(joinPhones(list), c.phones) << c.word;
  }
}

// Short and function words go unstressed inside a phrase, and take their stress before a pause,
// where the phrase's last accent falls on them.
TEST(TranscriberWords, ShortWordsAreStressedBeforeAPause) {
  Loaded lexicon(std::string(kPlainRules) + "(\xC3O)=@&w\n(\xC1)=a\n(\xC9)=ee\n", "");
  ASSERT_TRUE(lexicon.loaded);
  struct Case {
    std::vector<std::string> tokens;  // CP1252
    const char* phones;
  } cases[] = {
      {{"555|vou", "555|l\xE1", "555|?"}, "v >o u l >a"},
      {{"555|acho", "555|que", "555|n\xE3o", "555|."}, ">a k o k >e n >@ w"},
      {{"555|\xC9", "555|?", "555|"}, ">ee"},
      {{"555|n\xE3o", "555|,", "555|por", "555|favor", "555|!"}, "n >@ w p o r a v >o r"},  // F has no rule here
      {{"555|n\xE3o", "555|sei"}, "n @ w s >e i"},      // before a word: unstressed
      {{"555|de", "555|"}, "d e"},                        // an empty token is no pause
  };
  for (const Case& c : cases) EXPECT_EQ(joinPhones(lexicon.transcriber.transcribe(c.tokens)), c.phones) << c.phones;
}

TEST(TranscriberWords, OneStressMarkHoweverLongTheWord) {
  Loaded lexicon(kPlainRules, "");
  std::string word;
  for (int i = 0; i < 150; ++i) word += "BA";
  std::vector<std::string> list;
  lexicon.transcriber.transcribeWord(word, 2, list);
  EXPECT_EQ(std::count_if(list.begin(), list.end(), [](const std::string& phone) { return !phone.empty() && phone[0] == '>'; }), 1);
  EXPECT_EQ(list[1], ">a");
  EXPECT_EQ(list.size(), 301u);
}

TEST(TranscriberWords, WordListHasHeaderPhonesEmptyLineAndEnd) {
  Loaded lexicon(std::string(kPlainRules) + "(X)=k&s\n", "");
  EXPECT_EQ(lexicon.transcriber.transcribe({"247|taxi", "555|", "555|,", "555|?"}),
            (std::vector<std::string>{";247|taxi", "t", "a", "k", "s", ">i", "", ";555|", "__", "", ";555|,", "_,",
                                      ";555|?", "_?", "__"}));
  EXPECT_EQ(lexicon.transcriber.transcribe({}), (std::vector<std::string>{"__"}));
  // A line too short to hold a token is an empty token.
  EXPECT_EQ(lexicon.transcriber.transcribe({"55"}), (std::vector<std::string>{";55", "__", "", "__"}));
}

TEST(TranscriberWords, ContextSymbols) {
  const std::string rules =
      "%(R)=rr\n(RR)=rr\n_(R)[=r2\n(R)=r\n"        // word start, double, syllable end, tap
      "#(S)#=z\n_(S)[=s2\n(S)=s\n"                 // between vowels, syllable end
      "(C)+=s\n(C)=k\n(E)%=y\n(E)=e\n(A)=a\n(O)\\%=w\n(O)=o\n(T)=t\n(I)=i\n(U)=u\n"
      "|(X)=x\n](X)=ks\n(X)=s\n(N)=n\n(M)*=\n(M)=m\n(P)=p\n(L)&=l\n(L)=w\n";
  Loaded lexicon(rules, "");
  struct Case {
    const char* word;
    const char* phones;
  } cases[] = {
      {"RATO", "rr >a t w"},  {"CARRO", "k >a rr w"}, {"PORTA", "p >o r2 t a"},
      {"CARO", "k >a r w"},   {"MAR", "m >a r2"},     {"CASA", "k >a z a"},
      {"CASCO", "k >a s2 k w"}, {"CASAS", "k >a z a s2"}, {"CERCE", "s >e r2 s y"},
      {"OS", "w s2"},         {"TEXTO", "t >e s t w"}, {"AXO", ">a ks w"}, {"NXO", "n x >w"},
      {"CAMPO", "k >a p w"},  {"ALMA", ">a l m a"},   {"ALTA", ">a w t a"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(joinPhones(lexicon.transcriber.transcribe({"555|" + std::string(c.word)})), c.phones) << c.word;
}

TEST(TranscriberExceptions, AliasesWithPluralAndVerbRetry) {
  Loaded lexicon(kPlainRules,
                 "casa=cAAsa|a comment\n"
                 "\n"
                 "bom=bon\n"
                 "nada=\n"
                 "no equals sign\n"
                 "; a note, never a word\n");
  ASSERT_TRUE(lexicon.loaded);
  const std::string longTail(20000, 'S');
  struct Case {
    std::string word;
    std::string result;
  } cases[] = {
      {"CASA", "CAASA"},  {"CASAS", "CAASAS"}, {"BOM", "BON"},   {"BONS", "BONS"},
      {"BOMS", "BONS"},   {"BOMM", "BONM"},    {"NADA", ""},     {"NADAS", "S"},
      {"MESA", "MESA"},   {"SSS", "SSS"},      {"", ""},         {"NO EQUALS SIGN", "NO EQUALS SIGN"},
      // A tail of any length is kept whole after the alias.
      {"CASA" + longTail, "CAASA" + longTail}, {"BOM" + longTail + "M", "BON" + longTail + "M"},
      {longTail, longTail},
  };
  for (const Case& c : cases) {
    std::string word = c.word;
    lexicon.transcriber.applyExceptions(word);
    EXPECT_EQ(word, c.result) << c.word.substr(0, 20);
  }
}

TEST(TranscriberLiaison, FinalR2AndS2BeforeAVowelPhone) {
  const std::string rules = "_(S)[=s2\n(S)=s\n_(R)[=r2\n(R)=r\n(A)=a\n(E)=e\n(I)=i\n(O)=o\n(U)=u\n(G)=g\n"
                            "(M)=m\n(C)=k\n(H)=\n(Y)=y\n(L)=l\n(Á)=a\n(Z)=z\n(N)=n\n";
  Loaded lexicon(rules, "");
  struct Case {
    std::vector<std::string> tokens;
    const char* phones;
  } cases[] = {
      {{"555|os", "555|amigos"}, "o z a m >i g o s2"},
      {{"555|os", "555|gamas"}, "o s2 g >a m a s2"},
      {{"555|mar", "555|azul"}, "m >a r a z >u l"},
      {{"555|os", "555|homens"}, "o z o m >e n s"},  // the silent H: the vowel phone decides
      {{"555|os", "555|,", "555|amigos"}, ">o s2 a m >i g o s2"},  // a pause breaks the liaison
      {{"555|os", "555|água"}, "o z >a g u a"},       // a stressed first vowel still links
      {{"555|mais", "555|yoga"}, "m >a i z y >o g a"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> tokens;
    for (const std::string& token : c.tokens) tokens.push_back(cp(token));
    EXPECT_EQ(joinPhones(lexicon.transcriber.transcribe(tokens)), c.phones) << c.phones;
  }
  std::vector<std::string> list = {"__", ";555|os", "s2", "", ";555|a", "a", "", "__"};
  Transcriber::applyLiaison(list);
  EXPECT_EQ(list[2], "z");
  std::vector<std::string> nasal = {"__", ";555|os", "s2", "", ";555|anos", ">\xA8@", "n", "", "__"};
  Transcriber::applyLiaison(nasal);
  EXPECT_EQ(nasal[2], "z");
  std::vector<std::string> prosodyMarked = {"__", ";555|ar", "a", "r2", "", ";555|a", "\xA8" "a", "", "__"};
  Transcriber::applyLiaison(prosodyMarked);
  EXPECT_EQ(prosodyMarked[3], "r");
}

TEST(TranscriberPauses, EightPunctuationMarks) {
  std::vector<std::string> list;
  for (char c : std::string("!(),.:;? a-")) Transcriber::pauseFor(c, list);
  EXPECT_EQ(list, (std::vector<std::string>{"_!", "_(", "_)", "_,", "_.", "_:", "_;", "_?"}));
}

// Files missing or unreadable are in the front end's table of load failures.
TEST(TranscriberLoaders, MalformedFiles) {
  ScratchFolder folder;
  Transcriber transcriber;
  // Lines without a middle, without brackets, over-long fields, control characters, no line end.
  const std::string badRules = std::string("no brackets at all\n()=x\n(=y\n((=z\nABCDEFG(ABCDEFG)ABCDEFG=") +
                               std::string(40, 'p') + "\n(\x01)=q\r\n\xFF\xFE(B)=b\n(C)=k";
  folder.write("bad.nrl", badRules);
  // An exception line too long for the format, binary bytes, a lone "=".
  folder.write("bad.exc", std::string(300, 'A') + "=x\n=\n\x01\x02=b\nBOLO=BOLLO\n");
  ASSERT_TRUE(transcriber.loadLexicons(folder.file("bad.nrl"), folder.file("bad.exc")).ok());
  EXPECT_EQ(transcriber.ruleCount(), 5u);  // "(=" and "((" keep a middle of their own; B, C, ABCDE
  EXPECT_EQ(transcriber.skippedLines(), 4u);
  std::vector<std::string> list;
  transcriber.transcribeWord("ABCDEABCDEABCDE", 0, list);
  EXPECT_EQ(list, (std::vector<std::string>{"k", "ppppppppppp", "k", ""}));  // only 11 output characters are used
  std::string word = "BOLO";
  transcriber.applyExceptions(word);
  EXPECT_EQ(word, "BOLLO");

  folder.write("empty.nrl", "");
  ASSERT_TRUE(transcriber.loadLetterRules(folder.file("empty.nrl")).ok());
  EXPECT_EQ(transcriber.ruleCount(), 0u);
  EXPECT_EQ(joinPhones(transcriber.transcribe({"555|casa"})), "");
}

TEST(TranscriberLoaders, ExceptionTableStopsAt15000Entries) {
  ScratchFolder folder;
  std::string text;
  for (int i = 0; i < 15100; ++i) text += "W" + std::to_string(100000 + i) + "=x\n";
  folder.write("many.exc", text);
  Transcriber transcriber;
  ASSERT_TRUE(transcriber.loadWordExceptions(folder.file("many.exc")).ok());
  EXPECT_EQ(transcriber.exceptionCount(), 15000u);
  std::string last = "W114999", beyond = "W115000";
  transcriber.applyExceptions(last);
  transcriber.applyExceptions(beyond);
  EXPECT_EQ(last, "X");
  EXPECT_EQ(beyond, "W115000");
}

// A rule file saved with a byte-order mark keeps its first line.
TEST(TranscriberLoaders, ByteOrderMark) {
  ScratchFolder folder;
  folder.write("e.exc", "");
  Transcriber transcriber;
  folder.write("marca.nrl", "\xEF\xBB\xBF(A)=a\n(B)=b\n");
  ASSERT_TRUE(transcriber.loadLexicons(folder.file("marca.nrl"), folder.file("e.exc")).ok());
  EXPECT_EQ(transcriber.skippedLines(), 0u);
  EXPECT_EQ(phonesOfText(transcriber, "aba"), ">a b a");
}

// The engine's own data as the build installs it (the exceptions with the shared stressed e and o):
// the phones of br4 for words a listener checks first.
TEST(TranscriberData, EngineRulesAndExceptions) {
  Transcriber transcriber;
  ASSERT_TRUE(transcriber.loadLexicons(testing::kEngineData + "portug.nrl", testing::kEngineData + "portug.exc").ok());
  EXPECT_EQ(transcriber.skippedLines(), 0u);
  struct Case {
    const char* text;  // UTF-8
    const char* phones;
  } cases[] = {
      {"casa", "k >a z a"},           {"casas", "k >a z a s2"},       {"amor", "a m >o r2"},
      {"jardim", "j a r2 d >in"},     {"homem", ">o m en in"},         {"papel", "p a p >ee w"},
      {"que", "k >y"},                {"ação", "a s >@ w"},           {"falam", "f >a l @ m2"},
      {"pente", "p >en t y"},         {"mito", "m >i t w"},           {"fale", "f >a l y"},
      {"alho", ">a lh w"},            {"farra", "f >a rr a"},         {"arte", ">a r2 t y"},
      {"casca", "k >a s2 k a"},       {"xarope", "x a r >oo p y"},    {"café", "k a f >ee"},
      {"loja", "l >oo j a"},          {"ponte", "p >on t y"},         {"fundo", "f >un d w"},
      {"os amigos", "w z a m >i g w s2"},
      {"os carros", "w s2 k >a rr w s2"},
      {"fede", "f >ee d y"},          {"medo", "m >e d w"},           {"bolo", "b >o l w"},
      {"mole", "m >oo l y"},          {"gente", "j >en t y"},         {"quando", "k w >@ d w"},
      {"os anos", "w z >@ n w s2"},   {"por ambos", "p o r >@ b w s2"},
      {"àquela", "a k >ee l a"},      {"àqueles", "a k >e l y s2"},   {"Ñandu", "nh @ d >u"},
      {"texto", "t >e s2 t w"},       {"sexta", "s >e s2 t a"},       {"extra", ">e s2 t r a"},
  };
  for (const Case& c : cases) EXPECT_EQ(phonesOfText(transcriber, cp(c.text)), c.phones) << c.text;
}

}  // namespace
}  // namespace kaldro::tts
