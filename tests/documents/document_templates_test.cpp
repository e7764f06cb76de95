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
#include <set>
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

namespace kaldro::testing {
namespace {

const char* const kWordNamespaces =
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
    "xmlns:v=\"urn:schemas-microsoft-com:vml\"";

// A package around a body, with a header and a footer, as Word lays it out.
Entries wordPackage(const std::string& body, const std::string& header, const std::string& footer) {
  const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  const std::string main = "application/vnd.openxmlformats-officedocument.wordprocessingml.";
  return {
      {"[Content_Types].xml",
       declaration + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                     "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                     "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                     "<Override PartName=\"/word/document.xml\" ContentType=\"" + main + "document.main+xml\"/>"
                     "<Override PartName=\"/word/header1.xml\" ContentType=\"" + main + "header+xml\"/>"
                     "<Override PartName=\"/word/footer1.xml\" ContentType=\"" + main + "footer+xml\"/></Types>"},
      {"_rels/.rels",
       declaration + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                     "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                     "relationships/officeDocument\" Target=\"word/document.xml\"/></Relationships>"},
      {"word/_rels/document.xml.rels",
       declaration + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                     "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                     "relationships/footer\" Target=\"footer1.xml\"/>"
                     "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                     "relationships/header\" Target=\"header1.xml\"/></Relationships>"},
      {"word/document.xml", declaration + "<w:document " + kWordNamespaces + "><w:body>" + body +
                                "<w:sectPr><w:headerReference w:type=\"default\" r:id=\"rId1\"/>"
                                "<w:footerReference w:type=\"default\" r:id=\"rId2\"/></w:sectPr></w:body></w:document>"},
      {"word/header1.xml", declaration + "<w:hdr " + kWordNamespaces + ">" + header + "</w:hdr>"},
      {"word/footer1.xml", declaration + "<w:ftr " + kWordNamespaces + ">" + footer + "</w:ftr>"},
  };
}

std::string run(const std::string& text, const std::string& properties = "") {
  return "<w:r w:rsidR=\"00A1\">" + (properties.empty() ? "" : "<w:rPr>" + properties + "</w:rPr>") +
         "<w:t xml:space=\"preserve\">" + text + "</w:t></w:r>";
}
std::string paragraph(const std::string& runs) { return "<w:p><w:pPr><w:jc w:val=\"left\"/></w:pPr>" + runs + "</w:p>"; }
std::string cell(const std::string& paragraphs) { return "<w:tc><w:tcPr/>" + paragraphs + "</w:tc>"; }

// Markers split as Word splits them: formatting changes, spelling marks, revision marks, bookmarks.
Entries wordSplitTemplate() {
  const std::string body =
      paragraph(run("{* Diga") + "<w:proofErr w:type=\"spellStart\"/>" + run(" o nome *}")) +
      paragraph(run("Caro ") + run("{NO", "<w:b/>") + "<w:bookmarkStart w:id=\"0\" w:name=\"n\"/>" +
                "<w:proofErr w:type=\"spellStart\"/>" + run("M", "<w:i/>") + "<w:bookmarkEnd w:id=\"0\"/>" +
                "<w:ins w:id=\"1\" w:author=\"A\">" + run("E}") + "</w:ins>" + run(", bem-vindo.")) +
      "<w:tbl><w:tblPr/><w:tblGrid/>" "<w:tr>" + cell(paragraph(run("Item"))) + cell(paragraph(run("Qtd"))) + "</w:tr>" +
      "<w:tr>" + cell(paragraph(run("{INI") + run("TAB}")) + paragraph(run("{IT", "<w:u w:val=\"single\"/>") + run("EM}"))) +
      cell(paragraph(run("{QTD}")) + paragraph(run("{FIM") + "<w:del w:id=\"2\" w:author=\"A\"><w:r><w:delText>x</w:delText></w:r></w:del>" + run("TAB}"))) +
      "</w:tr></w:tbl>" +
      paragraph("<w:r><w:pict><v:shape><v:textbox><w:txbxContent>" + paragraph(run("Obs.: {O") + run("BS}")) +
                "</w:txbxContent></v:textbox></v:shape></w:pict></w:r>" + run("Fim")) +
      paragraph(run("{* Fim *}"));
  return wordPackage(body, paragraph(run("Recife, {DA") + run("TA}", "<w:b/>")), paragraph(run("{RODA") + run("P}")));
}

// The texts of the paragraphs of a part, in order.
std::vector<std::string> paragraphTexts(const std::string& xml) {
  pugi::xml_document document;
  document.load_string(xml.c_str(), pugi::parse_default | pugi::parse_ws_pcdata);
  std::vector<std::string> texts;
  for (pugi::xpath_node p : document.select_nodes("//w:p")) {
    std::string text;
    for (pugi::xpath_node t : p.node().select_nodes("./w:r/w:t | ./w:ins/w:r/w:t")) text += t.node().text().get();
    texts.push_back(text);
  }
  return texts;
}

TEST(DocumentTemplates, WordSplitMarkersAreAskedAndFilledInTheFormattingOfTheirFirstCharacter) {
  const std::string keys = "type Ana\nkey Enter\ntype lápis\nkey Enter\ntype 2\nkey Enter\nkey S\n"
                           "type papel\nkey Enter\ntype 10\nkey Enter\nkey N\ntype urgente\nkey Enter\n"
                           "type pág. 1\nkey Enter\n";
  const std::string templateBytes = makeZip(wordSplitTemplate());
  ScratchFolder folder;
  folder.write("modelo.docx", templateBytes);
  ProgramResult result = runProgram("plumar", {"modelo.docx"}, "type carta.docx\nkey Enter\n" + keys, folder);
  ASSERT_EQ(result.status, 0) << result.standardError;
  // Asked as a text template's lines are: header, body, text box after its paragraph, footer.
  std::vector<std::string> asked;
  for (const std::string& said : result.spokenLines())
    if (said.ends_with(":") || said.rfind(" Diga", 0) == 0 || said == "Tem mais ? ") asked.push_back(said);
  EXPECT_EQ(asked, (std::vector<std::string>{" Diga o nome ", "NOME:", "ITEM:", "QTD:", "Tem mais ? ", "ITEM:",
                                              "QTD:", "Tem mais ? ", "OBS:", "RODAP:"}));

  const std::string letter = folder.read("carta.docx");
  const std::string body = entryOf(letter, "word/document.xml");
  EXPECT_EQ(paragraphTexts(body), (std::vector<std::string>{"Caro Ana, bem-vindo.", "Item", "Qtd", "lápis", "2",
                                                            "papel", "10", "Fim", "Obs.: urgente"}));
  // Each answer in the run of its marker's first character.
  EXPECT_NE(body.find("<w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\">Ana</w:t>"), std::string::npos);
  EXPECT_NE(body.find("<w:rPr><w:u w:val=\"single\"/></w:rPr><w:t xml:space=\"preserve\">papel</w:t>"), std::string::npos);
  EXPECT_EQ(paragraphTexts(entryOf(letter, "word/header1.xml")), std::vector<std::string>{"Recife, 7 de março de 2005"});
  EXPECT_EQ(paragraphTexts(entryOf(letter, "word/footer1.xml")), std::vector<std::string>{"pág. 1"});
  for (const std::string part : {"[Content_Types].xml", "_rels/.rels", "word/_rels/document.xml.rels"})
    EXPECT_EQ(entryOf(letter, part), entryOf(templateBytes, part)) << part;
  EXPECT_EQ(folder.read("modelo.docx"), templateBytes);

  // The same answers as text: the paragraphs as lines.
  result = runProgram("plumar", {"modelo.docx"}, "type carta.txt\nkey Enter\n" + keys, folder);
  ASSERT_EQ(result.status, 0) << result.standardError;
  EXPECT_EQ(folder.read("carta.txt"), "Recife, 7 de março de 2005\nCaro Ana, bem-vindo.\nItem\nQtd\nlápis\n2\n"
                                      "papel\n10\nFim\nObs.: urgente\npág. 1\n");

  // A Word template (.dotx) gives a document (.docx): the main part's type says so.
  Entries dotx = wordSplitTemplate();
  for (auto& [name, data] : dotx)
    if (name == "[Content_Types].xml") data = std::regex_replace(data, std::regex("document\\.main"), "template.main");
  folder.write("modelo.dotx", makeZip(dotx));
  result = runProgram("plumar", {"modelo.dotx"}, "type carta\nkey Enter\n" + keys, folder);
  ASSERT_EQ(result.status, 0) << result.standardError;
  const std::string types = entryOf(folder.read("carta"), "[Content_Types].xml");
  EXPECT_NE(types.find("wordprocessingml.document.main+xml"), std::string::npos) << types;
  EXPECT_EQ(types.find("template.main"), std::string::npos) << types;
}

}  // namespace
}  // namespace kaldro::testing

namespace kaldro::testing {
namespace {

// A package as Word lays it out, its document.xml replaced.
std::string wordPackageWithBody(const std::string& documentXml) {
  Entries entries = wordPackage(paragraph(run("x")), paragraph(run("h")), paragraph(run("f")));
  for (auto& [name, data] : entries)
    if (name == "word/document.xml") data = documentXml;
  return makeZip(entries);
}

std::string compoundFile(const std::string& streamName) {
  std::string bytes("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  bytes.resize(1024, '\0');
  for (char c : streamName) bytes += std::string{c, '\0'};
  return bytes + std::string(1024, '\0');
}

struct BadDocument {
  const char* what;
  std::string name, bytes, output;
  int status;
  std::string line;  // on standard error; spoken too
};

// Each bad document, what the letter is asked as, and what plumar says of it.
std::vector<BadDocument> badDocuments() {
  const std::string valid = makeZip(wordSplitTemplate());
  std::string deep = "<w:document " + std::string(kWordNamespaces) + "><w:body>";
  for (int i = 0; i < 5000; ++i) deep += "<w:customXml>";
  for (int i = 0; i < 5000; ++i) deep += "</w:customXml>";
  deep += "</w:body></w:document>";
  std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE w:document [<!ENTITY a \"aaaaaaaaaa\">";
  for (char level = 'b'; level <= 'j'; ++level) {
    std::string tenOfTheLast;
    for (int i = 0; i < 10; ++i) tenOfTheLast += std::string("&") + static_cast<char>(level - 1) + ";";
    laughs += std::string("<!ENTITY ") + level + " \"" + tenOfTheLast + "\">";
  }
  laughs += "]><w:document " + std::string(kWordNamespaces) + "><w:body><w:p><w:r><w:t>&j;</w:t></w:r></w:p></w:body></w:document>";
  const std::string odfEncrypted = makeZip(
      {{"mimetype", "application/vnd.oasis.opendocument.text"},
       {"META-INF/manifest.xml",
        "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
        "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\">"
        "<manifest:encryption-data manifest:checksum=\"x\"/></manifest:file-entry></manifest:manifest>"},
       {"content.xml", std::string(200, '\x9C')}});
  const std::string noMarkers = makeZip(wordPackage(paragraph(run("Só texto, sem campos.")), "", ""));
  return {
      {"not a zip", "modelo.docx", "Prezado {NOME}\n", "carta.docx", 1, "não é um arquivo zip"},
      {"a truncated zip", "modelo.docx", valid.substr(0, valid.size() / 2), "carta.docx", 1, "danificado ou incompleto"},
      {"a zip bomb", "modelo.docx", wordPackageWithBody(std::string(70u << 20, ' ')), "carta.docx", 1, "passa de 64 MB"},
      {"an XML bomb", "modelo.docx", wordPackageWithBody(laughs), "carta.docx", 1, "definição de tipo (DTD)"},
      {"nesting thousands deep", "modelo.docx", wordPackageWithBody(deep), "carta.docx", 1, "aninhados fundo demais"},
      {"broken XML", "modelo.docx", wordPackageWithBody("<w:document><w:body>"), "carta.docx", 1,
       "a parte word/document.xml não é um XML válido"},
      {"a password-protected .docx", "modelo.docx", compoundFile("EncryptedPackage"), "carta.docx", 1, "protegido por senha"},
      {"a password-protected .odt", "modelo.odt", odfEncrypted, "carta.odt", 1, "protegido por senha"},
      {"an old binary .doc", "modelo.doc", compoundFile("WordDocument"), "carta.docx", 1, "formato antigo do Word (.doc)"},
      {"a letter asked in the other format", "modelo.docx", valid, "carta.odt", 1,
       "carta.odt: A carta de um modelo .docx é gravada como .docx ou .txt"},
      {"a brace never closed: no half letter", "modelo.docx", makeZip(wordPackage(paragraph(run("Caro {NOME")), "", "")),
       "carta.docx", 1, "faltou fechar chave na linha 1 do modelo"},
      {"no markers: the template is the letter", "modelo.docx", noMarkers, "carta.docx", 0, ""},
  };
}

TEST(DocumentTemplates, BadDocumentsSayWhyAndChangeNothing) {
  for (const BadDocument& c : badDocuments()) {
    SCOPED_TRACE(c.what);
    ScratchFolder folder;
    folder.write(c.name, c.bytes);
    ProgramResult result = runProgram("plumar", {c.name}, "type " + c.output + "\nkey Enter\n", folder);
    EXPECT_EQ(result.status, c.status) << result.standardError;
    EXPECT_EQ(folder.read(c.name), c.bytes);
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
      if (!std::set<std::string>{".keys", ".screen", ".trace", ".stdout", ".stderr"}.count(entry.path().filename()))
        files.push_back(entry.path().filename().string());
    if (c.status == 0) {
      EXPECT_EQ(folder.read(c.output), c.bytes);
      continue;
    }
    EXPECT_THAT(result.standardError, HasSubstr(c.line));
    EXPECT_EQ(files, std::vector<std::string>{c.name}) << "a letter, or half of one, was left behind";
    EXPECT_THAT(result.spokenLines(), ::testing::Contains("Programa cancelado"));
  }
}

}  // namespace
}  // namespace kaldro::testing
