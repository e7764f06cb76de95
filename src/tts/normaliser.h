// The engine's first stage: one utterance of raw text becomes Portuguese words, blanks and a few
// kept punctuation marks (numbers, ordinals, abbreviations, spelled consonant words, symbol names).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "tts/number_words.h"

namespace kaldro::tts {

// What one abbreviations file line defines: "Sr = senhor" gives the key "SR".
struct Abbreviation {
  std::string key;        // upper case (accented letters too), trimmed
  std::string expansion;  // trimmed, case kept
  // Written with its dot in the file ("etc. = etcétera"): expanded at the end of a text too, where
  // any other word with a dot is a word ending a sentence ("pressione End.").
  bool endsSentence = false;
};

// A line of an abbreviations file that does not do what its writer meant.
struct AbbreviationFault {
  size_t line = 0;      // 1-based
  std::string problem;  // Portuguese, UTF-8, for printing
};

// Every text below is CP1252 bytes; positions are 0-based indexes into the text.
class Normaliser {
 public:
  static constexpr size_t kMaxAbbreviations = 2000;  // later entries are ignored
  static constexpr size_t kMaxExpansion = 999;       // longer expansions are cut

  Normaliser();

  // Reads an abbreviations file (UTF-8, or Latin-1 when it is not valid UTF-8) into the table,
  // replacing what it held, once the file has been read to its end. A file that does not exist is
  // NotFound, with the engine's message for its abbreviations; one that exists but cannot be read (a
  // folder, a device or a pipe, no permission, a failing disk) is Unreadable, naming the file and
  // why. On either, the table is left as it was.
  platform::Status loadAbbreviations(const std::string& path);
  // Fills the table from a file's text (already CP1252), as loadAbbreviations does.
  void setAbbreviations(std::string_view fileText);
  const std::vector<Abbreviation>& abbreviations() const { return abbreviations_; }
  // Every fault of an abbreviations file's text (CP1252), for a check of the file: lines without
  // "=" or without a key (skipped when loading), keys given twice or never matched by a word,
  // entries past the limit, expansions empty, too long, or not plain words.
  std::vector<AbbreviationFault> checkAbbreviations(std::string_view fileText) const;

  // The expansion of a word (any case), from the first equal key in file order; empty if unknown.
  std::string lookupAbbreviation(std::string_view word) const;
  // Whether the word's abbreviation may end a sentence, its dot being the full stop as well.
  bool abbreviationEndsSentence(std::string_view word) const;

  // The whole normalisation of one utterance. Blanks are not collapsed: later stages split on them.
  std::string normaliseText(std::string_view text) const;

  // The pieces normaliseText is made of, each usable alone. Those taking pos read from text[pos]
  // and leave pos just past what they read.
  // A number at pos: digits with hyphens digit by digit, leading zeros, thousands dots, ordinal
  // signs (º ª o. a. os. as.); at most 15 digits make one number, the rest is left for the caller.
  std::string readNumber(std::string_view text, size_t& pos) const;
  // A run of letters at pos (hyphens between them kept): a word of consonants only is spelled,
  // unless it is a known abbreviation that an abbreviation sign follows.
  std::string readLetterWord(std::string_view text, size_t& pos) const;
  std::string cardinalWords(uint64_t n) const { return numbers_.cardinal(n); }
  std::string ordinalWords(uint64_t n, Gender gender) const { return numbers_.ordinal(n, gender); }
  // The spoken name of a character ("interrogação", "bê", " sê"); empty for control characters
  // and the other bytes without a name.
  const std::string& charName(unsigned char c) const { return charNames_[c]; }

 private:
  // An abbreviation at pos, right after the word: its expansion and how many characters of its
  // sign (the dot, or the ordinal sign of "nº") the expansion takes up.
  struct Expansion {
    std::string text;
    size_t signLength = 0;
  };
  Expansion abbreviationAt(std::string_view text, size_t pos, std::string_view word) const;
  // The run of digits and hyphens at pos: where it ends and whether it holds a hyphen.
  struct DigitRun {
    size_t end;
    bool hyphen;
  };
  static DigitRun digitRunAt(std::string_view text, size_t pos);
  std::string readNumber(std::string_view text, size_t& pos, const DigitRun& run) const;
  // Reads the number at pos with its decimals, leaving pos after them.
  void appendNumber(std::string_view text, size_t& pos, DigitRun& run, std::string& out) const;

  std::vector<Abbreviation> abbreviations_;
  NumberWords numbers_;
  std::array<std::string, 256> charNames_;
  std::string dash_, decimalComma_, decimalPoint_;
};

}  // namespace kaldro::tts
