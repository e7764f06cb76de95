// Word-processor templates end to end: plumar fills .docx and .odt templates made by LibreOffice and
// by hand (markers split over runs as Word splits them), writes the letter in the template's format
// or as text, and refuses bad documents with a clear line, leaving the template as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <zip.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "documents/zip_package.h"
#include "support/program_run.h"

namespace kaldro::testing {
namespace {

using ::testing::HasSubstr;

using Entries = std::vector<std::pair<std::string, std::string>>;

std::string makeZip(const Entries& entries) {
  zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, nullptr);
  zip_source_keep(target);
  zip_t* archive = zip_open_from_source(target, ZIP_TRUNCATE, nullptr);
  for (const auto& [name, data] : entries)
    zip_file_add(archive, name.c_str(), zip_source_buffer(archive, data.data(), data.size(), 0), ZIP_FL_ENC_UTF_8);
  zip_close(archive);
  zip_stat_t written;
  zip_source_stat(target, &written);
  std::string bytes(written.size, '\0');
  zip_source_open(target);
  zip_source_read(target, bytes.data(), bytes.size());
  zip_source_close(target);
  zip_source_free(target);
  return bytes;
}

// An entry of a package, or "" when it cannot be read.
std::string entryOf(const std::string& package, const std::string& name) {
  std::unique_ptr<documents::ZipPackage> zip;
  std::string contents;
  if (!documents::ZipPackage::open(package, zip).ok() || !zip->read(name, contents).ok()) return "";
  return contents;
}

// A text compared as LibreOffice writes it: no byte-order mark, LF line ends, one final line end.
std::string normalised(std::string text) {
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  text = std::regex_replace(text, std::regex("\r\n"), "\n");
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text + "\n";
}

// The key script with another output name (its first "type" line).
std::string withOutput(std::string keys, const std::string& output) {
  return std::regex_replace(keys, std::regex("^type [^\n]*", std::regex::multiline), "type " + output,
                            std::regex_constants::format_first_only);
}

bool haveLibreOffice() { return std::system("command -v soffice >/dev/null 2>&1") == 0; }

// One LibreOffice run converting many files at once, in a profile of its own.
void convert(const ScratchFolder& folder, const std::string& to, const std::string& filter,
             const std::vector<std::string>& files, const std::string& into) {
  std::string command = "cd '" + folder.path() + "' && soffice -env:UserInstallation=file://" + folder.path() +
                        "/perfil --headless " + filter + " --convert-to '" + to + "' --outdir " + into;
  for (const std::string& file : files) command += " '" + file + "'";
  ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
}

TEST(DocumentTemplates, LibreOfficeTemplatesGiveTheTextTemplatesLetters) {
  if (!haveLibreOffice()) GTEST_SKIP() << "LibreOffice (soffice) is not installed: tools/install-deps.sh --tests";
  const std::string examples = std::string(KALDRO_SOURCE_DIR) + "/examples/";
  const std::vector<std::string> names = {"carta-modelo", "declaracao", "pedido-itens", "recibo", "requerimento"};
  ScratchFolder folder;
  std::vector<std::string> texts;
  for (const std::string& name : names) {
    folder.write(name + ".txt", normalised(readFile(examples + name + ".txt")));
    texts.push_back(name + ".txt");
  }
  convert(folder, "docx:MS Word 2007 XML", "--infilter='Text (encoded):UTF8,LF,,,'", texts, ".");
  convert(folder, "odt:writer8", "--infilter='Text (encoded):UTF8,LF,,,'", texts, ".");

  std::vector<std::string> letters;
  std::map<std::string, std::string> expected;  // the text of each letter
  auto fill = [&](const std::string& templateName, const std::string& keys, const std::string& letter) {
    ProgramResult result = runProgram("plumar", {templateName}, withOutput(keys, letter), folder);
    EXPECT_EQ(result.status, 0) << templateName << ": " << result.standardError;
    letters.push_back(letter);
  };
  for (const std::string& name : names) {
    const std::string keys = readFile(examples + name + ".teclas");
    fill(name + ".txt", keys, name + "-texto.txt");
    expected[name + "-docx"] = expected[name + "-odt"] = normalised(folder.read(name + "-texto.txt"));
    fill(name + ".docx", keys, name + "-docx.docx");
    fill(name + ".odt", keys, name + "-odt.odt");
  }
  letters.erase(std::remove_if(letters.begin(), letters.end(), [](auto& l) { return l.ends_with(".txt"); }),
                letters.end());
  // The formatted examples, with their own key scripts, and the text their letters hold.
  for (const std::string example : {"pedido-tabela.odt", "declaracao-formatada.docx"}) {
    const size_t dot = example.find('.');
    const std::string base = example.substr(0, dot), extension = example.substr(dot);
    std::filesystem::copy_file(examples + example, folder.file(example));
    fill(example, readFile(examples + base + ".teclas"), base + "-carta" + extension);
    expected[base + "-carta"] = normalised(readFile(std::string(KALDRO_TEST_DATA) + "/exemplos/" + base + "-carta.txt"));
  }
  convert(folder, "txt:Text (encoded):UTF8,LF,,,", "", letters, "texto");
  for (const std::string& letter : letters) {
    SCOPED_TRACE(letter);
    const std::string base = letter.substr(0, letter.rfind('.'));
    EXPECT_EQ(normalised(folder.read("texto/" + base + ".txt")), expected[base]);
    if (letter.ends_with(".odt")) {  // ODF's mimetype first and stored, as readers find it
      const std::string bytes = folder.read(letter);
      EXPECT_EQ(bytes.substr(30, 8), "mimetype");
      EXPECT_EQ(bytes.substr(8, 2), std::string(2, '\0'));   // stored
      EXPECT_EQ(bytes.substr(28, 2), std::string(2, '\0'));  // no extra field
    }
  }
}

}  // namespace
}  // namespace kaldro::testing
