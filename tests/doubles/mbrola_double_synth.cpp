// The MBROLA stand-in's synthesis, shared by its program and its library.
#include "mbrola_double_synth.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kaldro::testing {

bool MbrolaDouble::open(const std::string& database, std::string& message) {
  std::ifstream in(database);
  if (!in) {
    message = "FATAL ERROR : cannot find file " + database + " !";
    return false;
  }
  phones_.clear();
  missing_.clear();
  fault_ = {};
  anyPhone_ = true;
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string head, word;
    words >> head;
    if (head == "phones:") {
      anyPhone_ = false;
      while (words >> word) phones_.insert(word);
    } else if (head == "missing:") {
      while (words >> word) missing_.insert(word);
    } else if (head == "fault:") {
      words >> fault_.kind >> fault_.phone >> word;
      fault_.once = word == "once";
    }
  }
  reset();
  return true;
}

void MbrolaDouble::reset() {
  held_.clear();
  previous_.assign(1, '_');
  phase_ = 0;
}

bool MbrolaDouble::knownPair(const std::string& left, const std::string& right) const {
  // MBROLA names a diphone "left-right": no voice has a phone with a hyphen in its name.
  auto known = [&](const std::string& phone) {
    return phone.find('-') == std::string::npos && (anyPhone_ || phone == "_" || phones_.count(phone) > 0);
  };
  return known(left) && known(right) && missing_.count(left + "-" + right) == 0;
}

bool MbrolaDouble::checkPair(const std::string& left, const std::string& right, bool recover, std::string& message) {
  if (knownPair(left, right)) return true;
  if (!recover) {
    message = "Fatal error: Unknown recovery for " + left + "-" + right + " segment";
    return false;
  }
  message += "Warning: " + left + "-" + right + " unknown, replaced with _-_\n";
  return true;
}

void MbrolaDouble::make(const Phone& phone, std::vector<int16_t>& out) {
  const long count = std::lround(phone.durationMs * SampleRate / 1000.0);
  const bool silent = phone.name == "_";
  for (long i = 0; i < count; ++i) {
    if (silent) {
      out.push_back(0);
      phase_ = 0;  // the tone starts again from zero: no step out of a silence
      continue;
    }
    // The pitch is interpolated between the targets; before the first and after the last it holds.
    const double percent = count > 1 ? 100.0 * static_cast<double>(i) / static_cast<double>(count) : 0;
    double pitch = lastPitch_;
    if (!phone.targets.empty()) {
      pitch = phone.targets.front().second;
      for (size_t t = 0; t < phone.targets.size(); ++t) {
        const auto [at, hz] = phone.targets[t];
        if (percent >= at) pitch = hz;
        if (t + 1 < phone.targets.size() && percent >= at && percent < phone.targets[t + 1].first) {
          const auto [nextAt, nextHz] = phone.targets[t + 1];
          pitch = hz + (nextHz - hz) * (percent - at) / (nextAt - at);
        }
      }
    }
    phase_ += 2 * M_PI * pitch / SampleRate;
    if (phase_ > 2 * M_PI) phase_ -= 2 * M_PI;
    out.push_back(static_cast<int16_t>(8000 * std::sin(phase_)));
  }
  if (!phone.targets.empty()) lastPitch_ = phone.targets.back().second;
}

MbrolaDouble::Outcome MbrolaDouble::takeLine(std::string_view text, bool recover, std::vector<int16_t>& out,
                                             std::string& message) {
  std::string line(text);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  std::istringstream words(line);
  std::string name;
  if (!(words >> name) || name[0] == ';') return Outcome::Taken;
  if (name == "#") {
    flush(recover, out, message);
    return message.rfind("Fatal", 0) == 0 ? Outcome::UnknownDiphone : Outcome::Flushed;
  }
  Phone phone;
  phone.name = name;
  std::string field;
  auto number = [&](double& value) {
    if (!(words >> field)) return false;
    char* end = nullptr;
    value = std::strtod(field.c_str(), &end);
    return *end == '\0';
  };
  if (!number(phone.durationMs) || phone.durationMs < 0) {
    message = "Fatal error in line:" + line;
    return Outcome::BadLine;
  }
  for (double at = 0, hz = 0; words >> std::ws, !words.eof();) {
    if (!number(at) || !number(hz)) {
      message = "Fatal error in line:" + line;
      return Outcome::BadLine;
    }
    phone.targets.emplace_back(at, hz);
  }
  if (!checkPair(previous_, phone.name, recover, message)) return Outcome::UnknownDiphone;
  previous_ = phone.name;
  // Phones are made one behind: the held one once the next line comes.
  for (const Phone& held : held_) make(held, out);
  held_.assign(1, phone);
  return Outcome::Taken;
}

void MbrolaDouble::flush(bool recover, std::vector<int16_t>& out, std::string& message) {
  if (previous_ != "_" && !checkPair(previous_, "_", recover, message)) return;
  for (const Phone& held : held_) make(held, out);
  reset();
}

}  // namespace kaldro::testing
