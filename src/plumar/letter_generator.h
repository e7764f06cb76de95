// The letter generator: asks for a template and an output file, walks the template, writes the letter.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "documents/office_document.h"
#include "files/file_chooser.h"
#include "plumar/letter_writers.h"
#include "speech/line_editor.h"
#include "speech/speech.h"

namespace kaldro::app {

// A template as loaded: its lines (each cut to 255 characters), its encoding and its line end.
struct Template {
  std::vector<std::string> lines;
  bool utf8 = false;            // the letter is written in UTF-8 (else CP1252)
  std::string lineEnd = "\r\n";  // as the first line ends
};

// Splits a template's bytes into lines of at most 255 characters (a longer line is cut; in a
// UTF-8 template characters are counted and never split).
// A template that is valid UTF-8 with a multi-byte character is UTF-8; one of plain ASCII is UTF-8
// when plainAsciiIsUtf8 (the locale is UTF-8), so that typed accented letters are written as every
// current editor shows them; anything else is CP1252.
Template parseTemplate(std::string_view bytes, bool plainAsciiIsUtf8 = false);

// "7 de março de 2005" (CP1252).
std::string dateText(int day, int month, int year);

class LetterGenerator {
 public:
  // utf8Locale: the run's locale names UTF-8 (platform::RunOptions), which a plain ASCII template follows.
  LetterGenerator(console::Console& console, speech::Speech& speech, speech::LineEditor& editor,
                  files::FileChooser& chooser, bool utf8Locale);
  ~LetterGenerator();

  // The whole run; it always ends by closing the console (platform::ProgramExit).
  [[noreturn]] void run(const std::vector<std::string>& arguments);

 private:
  void askFileNames(const std::vector<std::string>& arguments);
  // Reads a word-processor template (inputBytes_); cancels the run when it is no usable document.
  void loadDocument(const std::string& inputName);
  // How the letter of a document template is written, by the output's name: in the template's
  // format, or as text; cancels the run on a format the template cannot give.
  void chooseLetterFormat(const std::string& outputName);
  void walkTemplate();
  void emitTextLine(std::string_view line);
  // Fills the placeholder that opens at line[open]; where the rest of the line starts.
  size_t fillField(std::string_view line, size_t open);
  void writeOutput(std::string_view bytes);
  // In the template's encoding.
  std::string toTemplateText(std::string_view cp1252) const;
  std::string toConsoleText(std::string_view templateText) const;
  // Opens the output; an existing file is replaced only when the letter is closed, and so is a new
  // one when wholeOrNothing.
  bool openOutput(const std::string& name, bool wholeOrNothing);
  // Closes the output; an existing file it was to replace is left as it was.
  void discardOutput();
  bool closeOutput();
  [[noreturn]] void finish();
  // Ends the run: "Programa cancelado" on the console, the reason (UTF-8) on standard error.
  [[noreturn]] void cancelRun(int status, const std::string& reason);
  [[noreturn]] void writeFailed();

  console::Console& console_;
  speech::Speech& speech_;
  speech::LineEditor& editor_;
  files::FileChooser& chooser_;
  const bool utf8Locale_;

  std::string inputBytes_;
  Template template_;
  std::unique_ptr<documents::OfficeDocument> document_;
  std::optional<documents::DocumentKind> letterKind_;  // none: a text letter
  std::unique_ptr<LetterWriter> writer_;
  std::FILE* output_ = nullptr;
  std::string outputPath_;     // the file the letter replaces, when one existed
  std::string temporaryPath_;  // where the letter is written until then
  bool outputFailed_ = false;
  size_t currentLine_ = 0;
  size_t tableMark_ = 9999;
};

}  // namespace kaldro::app
