// The letter generator: asks for a template and an output file, walks the template, writes the letter.
#include "plumar/letter_generator.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstdio>

#include "console/key_codes.h"
#include "platform/text.h"
#include "platform/words.h"

namespace kaldro::app {

namespace words = platform::words;

namespace {
constexpr size_t kMaxLineCharacters = 255;
constexpr size_t kFirstTableMark = 9999;
// Far beyond any letter's template, small enough to hold in memory at once.
constexpr size_t kMaxTemplateBytes = 64u << 20;


// Bytes of the first `count` characters of a line (UTF-8 characters when utf8).
size_t prefixBytes(std::string_view line, size_t count, bool utf8) {
  if (!utf8) return std::min(line.size(), count);
  size_t pos = 0;
  for (size_t characters = 0; characters < count && pos < line.size(); ++characters) {
    size_t length = 1;
    if (!platform::decodeUtf8(line, pos, length)) length = 1;
    pos += length;
  }
  return pos;
}

// Why a template could not be read.
enum class ReadFault { None, Unreadable, TooLarge };

// Reads a whole regular file of at most kMaxTemplateBytes. A device, a FIFO or a socket is no
// template: it could be endless (/dev/zero) or block the program for ever, so it is never read
// and its open never waits.
std::optional<std::string> readWholeFile(const std::string& path, ReadFault& fault) {
  fault = ReadFault::Unreadable;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  struct stat info{};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  if (info.st_size > static_cast<off_t>(kMaxTemplateBytes)) {
    ::close(fd);
    fault = ReadFault::TooLarge;
    return std::nullopt;
  }
  std::string bytes;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
    // A file that grows while it is read is held to the same bound.
    if (bytes.size() > kMaxTemplateBytes) {
      ::close(fd);
      fault = ReadFault::TooLarge;
      return std::nullopt;
    }
  }
  ::close(fd);
  fault = ReadFault::None;
  return bytes;
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat first{}, second{};
  if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool endsWithTxt(std::string_view name) {
  return name.size() >= 4 && platform::upperAscii(name.substr(name.size() - 4)) == ".TXT";
}

// The letter a document template gives by itself: a document, not a template.
documents::DocumentKind letterKindOf(documents::DocumentKind templateKind) {
  return documents::dialectOf(templateKind) == documents::Dialect::Ooxml ? documents::DocumentKind::Docx
                                                                         : documents::DocumentKind::Odt;
}

bool fileExists(const std::string& path) {
  struct stat info{};
  return ::stat(path.c_str(), &info) == 0;
}

// The file a name stands for, through links: the letter replaces the file a link points to.
std::string resolvedPath(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string resolved(real);
  std::free(real);
  return resolved;
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The length of the line end at bytes[end]: CR LF, LF, a CR alone (old Macintosh files), or
// CR CR LF (a CR LF file converted once more by a tool that took it for LF).
size_t lineEndLength(std::string_view bytes, size_t end) {
  if (bytes[end] == '\n') return 1;
  if (bytes.substr(end, 2) == "\r\n") return 2;
  if (bytes.substr(end, 3) == "\r\r\n") return 3;
  return 1;
}
}  // namespace

Template parseTemplate(std::string_view bytes, bool plainAsciiIsUtf8) {
  Template result;
  // A byte-order mark (UTF-8 or UTF-16, as Windows editors save) says the encoding; the letter is
  // then UTF-8 without the mark.
  const std::optional<std::string> marked = platform::markedTextToUtf8(bytes);
  if (marked) {
    bytes = *marked;
    result.utf8 = true;
  } else {
    const bool plainAscii =
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    result.utf8 = plainAscii ? plainAsciiIsUtf8 : platform::looksLikeUtf8(bytes);
  }
  // The letter ends its lines as the template's first line ends.
  size_t firstEnd = bytes.find_first_of("\r\n");
  if (firstEnd != std::string_view::npos) {
    const size_t length = lineEndLength(bytes, firstEnd);
    if (bytes[firstEnd] == '\n')
      result.lineEnd = "\n";
    else if (length == 1)
      result.lineEnd = "\r";
  }
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(pos, end - pos);
    result.lines.emplace_back(line.substr(0, prefixBytes(line, kMaxLineCharacters, result.utf8)));
    pos = end < bytes.size() ? end + lineEndLength(bytes, end) : end;
  }
  return result;
}

std::string dateText(int day, int month, int year) {
  const std::string_view monthName =
      month >= 1 && month <= 12 ? std::string_view(platform::words::MonthNames[month - 1]) : std::string_view();
  return platform::words::LetterDate.with({std::to_string(day), monthName, std::to_string(year)});
}

LetterGenerator::LetterGenerator(console::Console& console, speech::Speech& speech, speech::LineEditor& editor,
                                 files::FileChooser& chooser, bool utf8Locale)
    : console_(console), speech_(speech), editor_(editor), chooser_(chooser), utf8Locale_(utf8Locale) {}

LetterGenerator::~LetterGenerator() {
  // Ended before the letter was complete (a signal, the window closed): an old letter stays whole.
  discardOutput();
}

void LetterGenerator::run(const std::vector<std::string>& arguments) {
  speech_.startSpeech(0, "");
  console_.clearScreen();
  console_.setBackgroundColour(1);
  console_.write(words::ProjectBanner);
  speech_.writeLineSpeak(words::ProgramTitle);
  console_.setBackgroundColour(0);
  console_.writeLine();

  askFileNames(arguments);
  if (document_) {
    // A document's paragraphs are its lines, in UTF-8, as long as they are.
    template_ = Template{document_->takeLines(), true, "\n"};
  } else {
    template_ = parseTemplate(inputBytes_, utf8Locale_);
  }
  inputBytes_.clear();
  if (letterKind_)
    writer_ = std::make_unique<DocumentLetterWriter>(*document_, *letterKind_);
  else
    writer_ = std::make_unique<TextLetterWriter>(template_.lines, template_.lineEnd,
                                                 [this](std::string_view bytes) { writeOutput(bytes); });
  // The mark starts beyond every line, however long the template is.
  tableMark_ = std::max(kFirstTableMark, template_.lines.size() + 1);
  walkTemplate();
  finish();
}

void LetterGenerator::askFileNames(const std::vector<std::string>& arguments) {
  std::string inputName;
  if (!arguments.empty()) {
    inputName = arguments.front();
  } else {
    console_.writeLine();
    speech_.writeSpeak(words::AskInputFile);
    inputName = chooser_.askFileName(20);
    console_.write(platform::utf8ToCp1252(inputName));
    console_.writeLine();
    if (inputName.empty()) cancelRun(platform::exit_status::Cancelled, words::NoTemplateChosen.utf8());
  }

  ReadFault fault = ReadFault::None;
  std::optional<std::string> contents = readWholeFile(inputName, fault);
  if (!contents) {
    speech_.writeLineSpeak(fault == ReadFault::TooLarge ? words::FileTooLarge : words::FileMissing);
    cancelRun(platform::exit_status::Failure,
              (fault == ReadFault::TooLarge ? words::TemplateTooLarge : words::TemplateUnreadable).utf8({inputName}));
  }
  inputBytes_ = std::move(*contents);
  if (documents::isDocumentName(inputName)) loadDocument(inputName);

  speech_.writeSpeak(words::AskOutputFile);
  // Typed names are CP1252; names on disk are UTF-8.
  std::string outputName = platform::cp1252ToUtf8(editor_.readLine());
  if (outputName.empty()) {
    speech_.writeLineSpeak(words::FileCannotBeCreated);
    cancelRun(platform::exit_status::Cancelled, words::NoOutputFileGiven.utf8());
  }
  // Truncating the template itself (also through a link) would lose it before it is read.
  if (sameFile(inputName, outputName)) {
    speech_.writeLineSpeak(words::FileCannotBeCreated);
    cancelRun(platform::exit_status::Failure, words::OutputIsTheTemplate.utf8({outputName}));
  }
  if (fileExists(outputName)) {
    speech_.writeSpeak(words::ConfirmOverwrite);
    uint8_t key = speech_.readKeySpeak();
    console_.write(std::string(1, static_cast<char>(key)));
    console_.writeLine();
    if (key != 'S' && key != 's')
      cancelRun(platform::exit_status::Cancelled, words::OutputKept.utf8({outputName}));
  }
  chooseLetterFormat(outputName);
  if (!openOutput(outputName, letterKind_.has_value())) {
    speech_.writeLineSpeak(words::FileCannotBeCreated);
    cancelRun(platform::exit_status::Failure, words::OutputCannotBeCreated.utf8({outputName}));
  }
  currentLine_ = 0;
  tableMark_ = kFirstTableMark;
}

void LetterGenerator::loadDocument(const std::string& inputName) {
  const platform::Status loaded = documents::OfficeDocument::load(std::move(inputBytes_), document_);
  inputBytes_.clear();
  if (loaded.ok()) return;
  speech_.writeLineSpeak(loaded.message());
  cancelRun(platform::exit_status::Failure, words::NamedReason.utf8({inputName, platform::cp1252ToUtf8(loaded.message())}));
}

void LetterGenerator::chooseLetterFormat(const std::string& outputName) {
  letterKind_.reset();
  if (!document_ || endsWithTxt(outputName)) return;
  const std::optional<documents::DocumentKind> asked = documents::documentKindOfName(outputName);
  if (asked && documents::dialectOf(*asked) != document_->dialect()) {
    const std::string_view own = documents::extensionOf(document_->kind());
    const std::string_view letter = documents::extensionOf(letterKindOf(document_->kind()));
    speech_.writeLineSpeak(words::LetterFormatMismatch.with({own, letter}));
    cancelRun(platform::exit_status::Failure,
              words::NamedReason.utf8({outputName, words::LetterFormatMismatch.utf8({own, letter})}));
  }
  letterKind_ = asked ? *asked : letterKindOf(document_->kind());
}

void LetterGenerator::walkTemplate() {
  const size_t lineCount = template_.lines.size();
  for (currentLine_ = 1; currentLine_ <= lineCount; ++currentLine_) {
    const std::string& line = template_.lines[currentLine_ - 1];
    const std::string upper = platform::upperAscii(line);
    if (line.size() >= 2 && line[0] == '{' && line[1] == '*') {
      std::string_view text(line);
      text.remove_prefix(2);
      if (!text.empty() && text.back() == '}') text.remove_suffix(1);
      if (!text.empty() && text.back() == '*') text.remove_suffix(1);
      console_.setBackgroundColour(5);
      speech_.writeLineSpeak(toConsoleText(text));
      console_.setBackgroundColour(0);
      console_.writeLine();
    } else if (upper == "{INITAB}") {
      tableMark_ = currentLine_;
    } else if (upper == "{FIMTAB}") {
      console_.setBackgroundColour(5);
      speech_.beepSound();
      speech_.beepSound();
      speech_.writeSpeak(words::AskForMore);
      console_.setBackgroundColour(0);
      uint8_t key = console_.readKey();
      // A two-code key is taken whole: its first code (0) answers, its second is no next letter.
      if (key == console::key::Extended && console_.queuedKeyCount() > 0) console_.readKey();
      console_.write(std::string(1, static_cast<char>(key)));
      console_.writeLine();
      speech_.speakChar(key);
      if (key != 'N' && key != 'n') {
        if (tableMark_ <= lineCount) writer_->repeatTable(tableMark_ - 1, currentLine_ - 1);
        currentLine_ = tableMark_;
      }
    } else {
      emitTextLine(line);
    }
  }
}

void LetterGenerator::emitTextLine(std::string_view line) {
  const size_t index = currentLine_ - 1;
  size_t at = 0;
  while (at < line.size()) {
    if (line[at] == '{') {
      at = fillField(line, at);
      continue;
    }
    const size_t brace = std::min(line.find('{', at), line.size());
    writer_->copy(index, at, brace);
    at = brace;
  }
  writer_->endLine(index);
}

size_t LetterGenerator::fillField(std::string_view line, size_t open) {
  const size_t close = line.find('}', open + 1);
  if (close == std::string_view::npos) {
    speech_.writeLineSpeak(words::UnclosedBraceAtLine.str() + std::to_string(currentLine_));
    // A text letter keeps the lines written so far; a document is whole or nothing.
    if (writer_->keepsPartialLetter()) {
      if (!closeOutput()) writeFailed();
    } else {
      discardOutput();
    }
    cancelRun(platform::exit_status::Failure, words::UnclosedBraceInTemplate.utf8({std::to_string(currentLine_)}));
  }
  const std::string_view name = line.substr(open + 1, close - open - 1);

  std::string value;
  if (platform::upperAscii(name) == "DATA") {
    console::Date today = console_.currentDate();
    value = toTemplateText(dateText(today.day, today.month, today.year));
  } else {
    console_.setBackgroundColour(4);
    speech_.writeSpeak(toConsoleText(name) + ":");
    console_.setBackgroundColour(0);
    value = toTemplateText(editor_.readLine());
  }
  writer_->fill(currentLine_ - 1, open, close + 1, value);
  return close + 1;
}

void LetterGenerator::writeOutput(std::string_view bytes) {
  if (bytes.empty() || outputFailed_) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), output_) != bytes.size()) outputFailed_ = true;
  // Report a failed write (disk full) as soon as it is seen, not only at the end.
  if (outputFailed_) writeFailed();
}

std::string LetterGenerator::toTemplateText(std::string_view cp1252) const {
  return template_.utf8 ? platform::cp1252ToUtf8(cp1252) : std::string(cp1252);
}

std::string LetterGenerator::toConsoleText(std::string_view templateText) const {
  return template_.utf8 ? platform::utf8ToCp1252(templateText) : std::string(templateText);
}

bool LetterGenerator::openOutput(const std::string& name, bool wholeOrNothing) {
  struct stat old{};
  const bool exists = ::stat(name.c_str(), &old) == 0;
  // A new text letter, or a device or FIFO, is written in place: there is no old letter to keep.
  if (exists ? !S_ISREG(old.st_mode) : !wholeOrNothing) {
    output_ = std::fopen(name.c_str(), "wb");
    return output_ != nullptr;
  }
  if (!exists) {  // a new file as a file made by the user's programs is
    const mode_t mask = ::umask(0);
    ::umask(mask);
    old.st_mode = 0666 & ~mask;
    old.st_uid = ::getuid();
    old.st_gid = ::getgid();
  }
  // An old letter stays whole until the new one is complete: the new one is written beside it
  // and renamed over it at the end, so a kill, a crash or a full disk never leaves half of each.
  outputPath_ = exists ? resolvedPath(name) : name;
  const std::string folder = folderOf(outputPath_);
  const std::string base = outputPath_.substr(outputPath_.rfind('/') + 1);
  std::string temporary = folder + "/." + base + ".XXXXXX";
  int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    // A folder where nothing can be created, holding a file that may be written: in place.
    outputPath_.clear();
    output_ = std::fopen(name.c_str(), "wb");
    return output_ != nullptr;
  }
  ::fchmod(fd, old.st_mode & 07777);
  [[maybe_unused]] int owned = ::fchown(fd, old.st_uid, old.st_gid);
  output_ = ::fdopen(fd, "wb");
  if (!output_) {
    ::close(fd);
    ::unlink(temporary.c_str());
    outputPath_.clear();
    return false;
  }
  temporaryPath_ = temporary;
  return true;
}

void LetterGenerator::discardOutput() {
  if (output_) std::fclose(output_);
  output_ = nullptr;
  if (!temporaryPath_.empty()) ::unlink(temporaryPath_.c_str());
  temporaryPath_.clear();
}

bool LetterGenerator::closeOutput() {
  if (!output_) return true;
  bool ok = !outputFailed_ && std::fflush(output_) == 0 && ::fsync(::fileno(output_)) == 0 &&
            !std::ferror(output_);
  // fsync fails with EINVAL on special files that cannot be synced (/dev/null): that is no write error.
  if (!ok && errno == EINVAL && !outputFailed_ && !std::ferror(output_)) ok = true;
  ok = (std::fclose(output_) == 0) && ok;
  output_ = nullptr;
  if (!temporaryPath_.empty()) {
    ok = ok && ::rename(temporaryPath_.c_str(), outputPath_.c_str()) == 0;
    if (!ok) ::unlink(temporaryPath_.c_str());
    temporaryPath_.clear();
  }
  return ok;
}

void LetterGenerator::finish() {
  std::string rest;
  if (!writer_->finish(rest).ok()) writeFailed();
  writeOutput(rest);
  rest.clear();
  if (!closeOutput()) writeFailed();
  speech_.beepSound();
  speech_.beepSound();
  console_.writeLine();
  speech_.writeLineSpeak(words::TextGenerated);
  console_.delayMs(20);
  speech_.stopAndFinishSpeech();
  console_.closeConsole();
}

void LetterGenerator::writeFailed() {
  discardOutput();
  outputFailed_ = true;
  console_.writeLine();
  speech_.writeLineSpeak(words::OutputWriteError);
  cancelRun(platform::exit_status::Failure, words::OutputWriteFailed.utf8());
}

void LetterGenerator::cancelRun(int status, const std::string& reason) {
  console_.setBackgroundColour(4);
  speech_.writeLineSpeak(words::ProgramCancelled);
  console_.setBackgroundColour(0);
  console_.delayMs(20);
  speech_.stopAndFinishSpeech();
  std::fprintf(stderr, "plumar: %s\n", reason.c_str());
  console_.closeConsole(status);
}

}  // namespace kaldro::app
