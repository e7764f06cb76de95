// The letter generator end to end on the headless host: letters, screens and traces.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "support/program_run.h"

namespace kaldro::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Runs plumar with the template given as its argument; the key script starts with the output name.
struct LetterRun {
  ScratchFolder folder;
  ProgramResult result;

  // The locale is UTF-8, as on every current desktop, unless a run says otherwise.
  void run(const std::string& templateBytes, const std::string& keys, const std::string& templateName = "modelo.txt",
           const std::string& locale = "C.UTF-8") {
    folder.write(templateName, templateBytes);
    result = runProgram("plumar", {templateName}, keys, folder, {{"LC_ALL", locale}});
  }
  std::string letter() const { return folder.read("carta.txt"); }
};

const std::string kOutput = "type carta.txt\nkey Enter\n";

// Characters repeated, as UTF-8.
std::string times(int count, const std::string& text) {
  std::string all;
  for (int i = 0; i < count; ++i) all += text;
  return all;
}

TEST(PlumarRun, TemplatesAndAnswersGiveTheirLetters) {
  struct Case {
    const char* what;
    std::string modelo, keys, letter;
    std::vector<std::string> said, shown;
  };
  const Case cases[] = {
      {"an empty template", "", "", "", {}, {}},
      {"fields, the date in any case, a last line without its line end",
       "Data: {data}, {Data}, {DATA}\r\nCaro {NOME},\r\nfim {}", "type Ana\nkey Enter\ntype x\nkey Enter\n",
       "Data: 7 de mar\xC3\xA7o de 2005, 7 de mar\xC3\xA7o de 2005, 7 de mar\xC3\xA7o de 2005\r\nCaro Ana,\r\nfim x\r\n",
       {"NOME:", ":"}, {"NOME:Ana", "Texto gerado"}},
      {"a date with a blank is asked as a field", "{ DATA}\n", "type hoje\nkey Enter\n", "hoje\n", {" DATA:"}, {}},
      {"table lines with anything else on them are ordinary fields", " {INITAB}\n{fimtab} x\n",
       "type 1\nkey Enter\ntype 2\nkey Enter\n", " 1\n2 x\n", {}, {}},
      // Down is 0 then 80: the 0 answers the question, the 80 ('P') is taken with it.
      {"an arrow answer repeats the table and leaves no letter behind", "{INITAB}\n{X}\n{FIMTAB}\n",
       "type a\nkey Enter\nkey Down\ntype b\nkey Enter\nkey N\n", "a\nb\n", {}, {}},
      {"long lines are cut at 255 characters", std::string(300, 'x') + "\n", "", std::string(255, 'x') + "\n", {}, {}},
      {"UTF-8 lines are cut by characters, never inside one", times(300, "\xC3\xA9") + "\n", "",
       times(255, "\xC3\xA9") + "\n", {}, {}},
      // "→" and "ő" have no place in CP1252; the typed "ã" comes back in UTF-8.
      {"a UTF-8 template keeps every character",
       "Seta \xE2\x86\x92 e \xC5\x91, {NOME}\n{* Instru\xC3\xA7\xC3\xA3o \xE2\x86\x92 *}\n",
       "type Jo\xC3\xA3o\nkey Enter\n", "Seta \xE2\x86\x92 e \xC5\x91, Jo\xC3\xA3o\n",
       {" Instru\xC3\xA7\xC3\xA3o ? "}, {}},
      {"a plain-ASCII template gives a UTF-8 letter", "Nome: {N}\n", "type Jos\xC3\xA9\nkey Enter\n",
       "Nome: Jos\xC3\xA9\n", {}, {}},
      {"a Latin-1 template gives a Latin-1 letter", "Cora\xE7\xE3o: {N}\n", "type Jos\xC3\xA9\nkey Enter\n",
       "Cora\xE7\xE3o: Jos\xE9\n", {}, {}},
      {"invalid UTF-8 and binary junk are read as Latin-1", std::string("ol\xE1 \xFF\xFE\0\x01\x02 {N}\n", 14),
       "type v\nkey Enter\n", std::string("ol\xE1 \xFF\xFE\0\x01\x02 v\n", 12), {}, {}},
      {"line ends follow the template's first line", "a\nb\r\nc", "", "a\nb\nc\n", {}, {}},
      {"CR-only line ends", "Oi {NOME}\rtchau\r", "type Ana\nkey Enter\n", "Oi Ana\rtchau\r", {}, {}},
      // As Windows editors save: a byte-order mark, UTF-16 (Notepad's "Unicode"), CR LF converted twice.
      {"a UTF-8 mark is no part of the first line and no part of the letter",
       "\xEF\xBB\xBF{* Instru\xC3\xA7\xC3\xA3o *}\r\n{A}-{B}\r\n", "type 1\nkey Enter\ntype \xC3\xA9\nkey Enter\n",
       "1-\xC3\xA9\r\n", {" Instru\xC3\xA7\xC3\xA3o ", "A:", "B:"}, {}},
      {"UTF-16 little-endian is read as text and the letter is UTF-8",
       std::string("\xFF\xFE{\0*\0 \0\xE9\0 \0*\0}\0\r\0\n\0\x92!{\0A\0}\0 \0=\xD8\0\xDE\r\0\n\0", 38),
       "type \xC3\xA3\nkey Enter\n", "\xE2\x86\x92\xC3\xA3 \xF0\x9F\x98\x80\r\n", {" \xC3\xA9 ", "A:"}, {}},
      {"UTF-16 big-endian is read as text and the letter is UTF-8",
       std::string("\xFE\xFF\0{\0A\0}\0\xE7\0\n", 12), "type x\nkey Enter\n", "x\xC3\xA7\n", {"A:"}, {}},
      {"CR CR LF is one line end", "a\r\r\n{A}\r\r\nb\r\r\n", "type 1\nkey Enter\n", "a\r\n1\r\nb\r\n", {"A:"}, {}},
      {"a table end without a start goes on on N", "a\n{FIMTAB}\nb\n", "key n\n", "a\nb\n", {}, {}},
      {"a table end without a start ends the walk on another key", "a\n{FIMTAB}\nb\n", "key Space\n", "a\n", {}, {}},
  };
  for (const Case& c : cases) {
    LetterRun run;
    run.run(c.modelo, kOutput + c.keys);
    EXPECT_EQ(run.result.status, 0) << c.what << ": " << run.result.standardError;
    EXPECT_TRUE(run.folder.exists("carta.txt")) << c.what;
    EXPECT_EQ(run.letter(), c.letter) << c.what;
    for (const std::string& line : c.said) EXPECT_TRUE(run.result.spoke(line)) << c.what << ": " << line;
    EXPECT_TRUE(run.result.spoke("Texto gerado")) << c.what;
    EXPECT_THAT(run.result.screen, HasSubstr("Texto gerado")) << c.what;
    if (c.shown.empty()) continue;
    EXPECT_EQ(run.result.screenRows().at(0).rfind("Projeto KALDRO - Preparador de cartas padronizadas", 0), 0u);
    for (const std::string& text : c.shown) EXPECT_THAT(run.result.screen, HasSubstr(text)) << c.what;
  }
}

TEST(PlumarRun, APlainAsciiTemplateFollowsTheLocale) {
  const std::pair<const char*, std::string> cases[] = {
      {"C.UTF-8", "Nome: Jos\xC3\xA9\n"}, {"pt_BR.utf8", "Nome: Jos\xC3\xA9\n"}, {"C", "Nome: Jos\xE9\n"}};
  for (const auto& [locale, letter] : cases) {
    LetterRun run;
    run.run("Nome: {N}\n", kOutput + "type Jos\xC3\xA9\nkey Enter\n", "modelo.txt", locale);
    EXPECT_EQ(run.letter(), letter) << locale;
  }
}

TEST(PlumarRun, InstructionLinesAreSpokenNotWritten) {
  LetterRun run;
  run.run("{*\r\n{*}\r\n{*texto\r\n{* a } b\r\n{* Digite o nome *}\r\nlinha\r\n", kOutput);
  ASSERT_EQ(run.result.status, 0);
  EXPECT_EQ(run.letter(), "linha\r\n");
  auto said = run.result.spokenLines();
  std::vector<std::string> expected{"", "", "texto", " a } b", " Digite o nome "};
  auto first = std::find(said.begin(), said.end(), "Nome do arquivo de sa\xC3\xAD" "da: ");
  ASSERT_NE(first, said.end());
  std::vector<std::string> instructions(first + 1, first + 1 + expected.size());
  EXPECT_EQ(instructions, expected);
}

TEST(PlumarRun, TableRepeatsUntilNAndAsksEveryFieldEachTime) {
  LetterRun run;
  run.run("a\n{initab}\n- {ITEM}\n{fimtab}\nz\n",
          kOutput + "type 1\nkey Enter\nkey S\ntype 2\nkey Enter\nkey Enter\ntype 3\nkey Enter\nkey N\n");
  ASSERT_EQ(run.result.status, 0) << run.result.standardError;
  EXPECT_EQ(run.letter(), "a\n- 1\n- 2\n- 3\nz\n");
  auto said = run.result.spokenLines();
  EXPECT_EQ(std::count(said.begin(), said.end(), "ITEM:"), 3);
  EXPECT_EQ(std::count(said.begin(), said.end(), "Tem mais ? "), 3);
  auto lines = run.result.traceLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "beep"), 3 * 2 + 2);
}

TEST(PlumarRun, MissingBraceReportsTheTemplateLineAndKeepsWhatWasWritten) {
  std::string lines;
  for (int i = 1; i <= 10; ++i) lines += "l" + std::to_string(i) + "\n";
  // Line 11 starts the table; line 12 has the open brace, reached on the second pass.
  LetterRun run;
  run.run(lines + "{INITAB}\n{A}{B\n{FIMTAB}\n", kOutput + "type q\nkey Enter\n");
  ASSERT_EQ(run.result.status, 1);
  EXPECT_EQ(run.result.standardError, "plumar: faltou fechar chave na linha 12 do modelo\n");
  EXPECT_TRUE(run.result.spoke("Faltou fechar chave na linha 12"));
  EXPECT_TRUE(run.result.spoke("Programa cancelado"));
  EXPECT_FALSE(run.result.spoke("Texto gerado"));
  EXPECT_EQ(run.letter(), lines + "q");
}

TEST(PlumarRun, HugeLineAndLongTemplateDoNotStopTheRun) {
  std::string bytes(1 << 20, 'a');
  bytes += "\n";
  for (int i = 0; i < 10500; ++i) bytes += "x\n";
  bytes += "{FIMTAB}\ny\n";
  LetterRun run;
  run.run(bytes, kOutput + "key S\n");
  ASSERT_EQ(run.result.status, 0);
  std::string letter = run.letter();
  // Every line beyond 5000 is loaded, and a table end without a start still ends the walk.
  EXPECT_EQ(letter.size(), 256u + 10500u * 2);
  EXPECT_TRUE(run.result.spoke("Texto gerado"));
}

TEST(PlumarFiles, TemplateNameAskedWhenNotGivenAndEmptyNameCancels) {
  ScratchFolder folder;
  folder.write("m.txt", "ok\n");
  auto result = runProgram("plumar", {}, "type m.txt\nkey Enter\ntype carta.txt\nkey Enter\n", folder);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.standardError, "");
  EXPECT_THAT(result.trace, HasSubstr("say Nome do arquivo de entrada: "));
  EXPECT_EQ(folder.read("carta.txt"), "ok\n");
  EXPECT_THAT(result.screen, HasSubstr("Nome do arquivo de entrada: m.txt"));

  auto empty = runProgram("plumar", {}, "key Enter\n", folder);
  EXPECT_EQ(empty.status, 4);
  EXPECT_EQ(empty.standardError, "plumar: nenhum modelo foi escolhido\n");
  EXPECT_THAT(empty.trace, HasSubstr("say Programa cancelado"));
  EXPECT_THAT(empty.trace, Not(HasSubstr("Arquivo n\xC3\xA3o")));
}

TEST(PlumarFiles, ExistingOutputIsRewrittenOnlyOnS) {
  ScratchFolder folder;
  folder.write("m.txt", "novo\n");
  folder.write("carta.txt", "antigo\n");
  auto refused = runProgram("plumar", {"m.txt"}, kOutput + "key Enter\n", folder);
  EXPECT_EQ(refused.status, 4);
  EXPECT_EQ(refused.standardError, "plumar: o arquivo carta.txt j\xC3\xA1 existe e n\xC3\xA3o foi reescrito\n");
  EXPECT_THAT(refused.trace, HasSubstr("say Confirma reescrita deste arquivo j\xC3\xA1 existente? "));
  EXPECT_THAT(refused.trace, HasSubstr("say Programa cancelado"));
  EXPECT_EQ(folder.read("carta.txt"), "antigo\n");
  auto accepted = runProgram("plumar", {"m.txt"}, kOutput + "key s\n", folder);
  EXPECT_EQ(accepted.status, 0);
  EXPECT_EQ(folder.read("carta.txt"), "novo\n");
}

TEST(PlumarFiles, WriteErrorIsNeverReportedAsSuccess) {
  ScratchFolder folder;
  folder.write("m.txt", "linha\n");
  auto result = runProgram("plumar", {"m.txt"}, "type /dev/full\nkey Enter\nkey S\n", folder);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.standardError, "plumar: erro na grava\xC3\xA7\xC3\xA3o do arquivo de sa\xC3\xAD" "da\n");
  EXPECT_THAT(result.trace, HasSubstr("say Erro na grava\xC3\xA7\xC3\xA3o do arquivo de sa\xC3\xAD" "da"));
  EXPECT_THAT(result.trace, HasSubstr("say Programa cancelado"));
  EXPECT_THAT(result.trace, Not(HasSubstr("Texto gerado")));
}

TEST(PlumarHelp, NamesTheSecondChordsOfTheKeysLinuxKeeps) {
  ScratchFolder folder;
  auto result = runProgram("plumar", {"--help"}, "", folder);
  EXPECT_EQ(result.status, 0);
  for (const char* chord : {"Ctrl+Alt+Shift+F9", "Ctrl+Alt+Shift+F11", "Ctrl+Alt+Shift+F12"})
    EXPECT_THAT(result.standardOutput, HasSubstr(chord));
}

// Every end before the letter is complete has a status of its own, never the 0 of a letter written.
TEST(PlumarHeadless, EndsBeforeTheLetterIsComplete) {
  ScratchFolder folder;
  folder.write("m.txt", "{X}\n");
  auto exhausted = runProgram("plumar", {"m.txt"}, kOutput, folder);
  EXPECT_EQ(exhausted.status, 3);
  EXPECT_THAT(exhausted.standardError, HasSubstr("key script exhausted"));
  EXPECT_THAT(exhausted.screen, HasSubstr("X:"));
  EXPECT_EQ(exhausted.traceLines().back(), "exit 3");

  auto malformed = runProgram("plumar", {"m.txt"}, "type a\nkey Enter\nkey NoSuchKey\n", folder);
  EXPECT_EQ(malformed.status, 2);
  EXPECT_THAT(malformed.standardError, HasSubstr("3"));

  folder.write("carta.txt", "antiga");
  auto closed = runProgram("plumar", {"m.txt"}, "type carta.txt\nkey Enter\nkey S\ntype a\nclose\n", folder);
  EXPECT_EQ(closed.status, 255);
  EXPECT_EQ(closed.traceLines().back(), "exit 255");
  EXPECT_EQ(folder.read("carta.txt"), "antiga");
}

}  // namespace
}  // namespace kaldro::testing
