// The output module's protocol as transcripts (server lines and voice output in, replies and events
// out), and what messages become for a voice.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sd_kaldro/module_protocol.h"
#include "sd_kaldro/module_speech_plan.h"
#include "platform/text.h"
#include "support/program_run.h"
#include "module/module_session.h"

namespace kaldro::app {
namespace {

using testing::decodeModuleOutput;

// Records what the protocol asks of the program.
class RecordingHost : public ModuleHost {
 public:
  bool initialise(std::string& message) override {
    message = "pronto";
    return true;
  }
  std::vector<VoiceEntry> voices() override { return {{"v1", "pt-BR", ""}, {"v2", "pt-BR", "none"}}; }
  void startJob(uint64_t job, MessageKind kind, std::string text, const ModuleSettings& settings) override {
    started.push_back("start " + std::to_string(job) + " " + std::to_string(static_cast<int>(kind)) + " [" + text +
                      "]");
    lastSettings = settings;
  }
  void cancelJob(uint64_t job) override { started.push_back("cancel " + std::to_string(job)); }
  std::vector<std::string> started;
  ModuleSettings lastSettings;
};

// A transcript: lines from the server, or voice output written as "@audio JOB N" (N samples that
// hold a newline and the escape byte), "@mark JOB NAME", "@icon JOB PATH", "@end JOB"; and the
// replies in order, each audio event shown as "705 AUDIO N".
struct Transcript {
  const char* name;
  std::vector<std::string> in;
  std::vector<std::string> out;
  std::vector<std::string> hostCalls = {};
};

const std::vector<std::string> kStart = {"INIT", "AUDIO", "audio_output_method=server", "."};
const std::vector<std::string> kStartReplies = {"299-pronto", "299 OK LOADED SUCCESSFULLY",
                                                "207 OK RECEIVING AUDIO SETTINGS", "203 OK AUDIO INITIALIZED"};

std::vector<std::string> join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const Transcript kTranscripts[] = {
    {"a message with its marks and sound, in order",
     join(kStart, {"SPEAK", "<speak>Bom dia<mark name=\"a\"/>.</speak>", ".", "@audio 1 7000", "@mark 1 a",
                   "@audio 1 3", "@end 1", "@end 1"}),
     join(kStartReplies, {"202 OK RECEIVING MESSAGE", "200 OK SPEAKING", "701 BEGIN", "705 AUDIO 5000",
                          "705 AUDIO 2000", "700-a", "700 INDEX MARK", "705 AUDIO 3", "702 END"}),
     {"start 1 0 [<speak>Bom dia<mark name=\"a\"/>.</speak>]"}},
    {"lines of a message keep their breaks; a doubled leading dot loses one",
     join(kStart, {"SPEAK", "um", "..dois", "", "três", "."}),
     join(kStartReplies, {"202 OK RECEIVING MESSAGE", "200 OK SPEAKING", "701 BEGIN"}),
     {"start 1 0 [um\n.dois\n\ntrês]"}},
    {"stop silences the job: its late sound and end are dropped, and a stop with nothing spoken says nothing",
     join(kStart, {"STOP", "SPEAK", "longo", ".", "@audio 1 10", "STOP", "@audio 1 10", "@mark 1 x", "@end 1", "STOP",
                   "CHAR", "space", ".", "@end 1", "@end 2"}),
     join(kStartReplies, {"202 OK RECEIVING MESSAGE", "200 OK SPEAKING", "701 BEGIN", "705 AUDIO 10", "703 STOP",
                          "202 OK RECEIVING MESSAGE", "200 OK SPEAKING", "701 BEGIN", "702 END"}),
     {"start 1 0 [longo]", "cancel 1", "start 2 1 [ ]"}},
    {"pause runs on to the server's next pause mark, then ends with the pause event",
     join(kStart, {"PAUSE", "SPEAK", "a. b. c.", ".", "PAUSE", "@mark 1 own", "@audio 1 4", "@mark 1 __spd_1",
                   "@audio 1 4", "@end 1"}),
     join(kStartReplies, {"202 OK RECEIVING MESSAGE", "200 OK SPEAKING", "701 BEGIN", "700-own", "700 INDEX MARK",
                          "705 AUDIO 4", "700-__spd_1", "700 INDEX MARK", "704 PAUSE"}),
     {"start 1 0 [a. b. c.]", "cancel 1"}},
    {"a message over a running one stops it first",
     join(kStart, {"SPEAK", "um", ".", "KEY", "shift_a", ".", "@end 1", "@icon 2 /x/capital", "@end 2"}),
     join(kStartReplies, {"202 OK RECEIVING MESSAGE", "200 OK SPEAKING", "701 BEGIN", "202 OK RECEIVING MESSAGE",
                          "703 STOP", "200 OK SPEAKING", "701 BEGIN", "706-/x/capital", "706 ICON", "702 END"}),
     {"start 1 0 [um]", "cancel 1", "start 2 2 [shift_a]"}},
    {"voices, settings, log level, debugging and the end",
     join(kStart, {"LIST VOICES", "SET", "rate=-30", "pitch=250", "volume=+50", "punctuation_mode=all",
                   "spelling_mode=on", "cap_let_recogn=icon", "voice=FEMALE1", "language=pt-BR",
                   "synthesis_voice=v2", "pitch_range=0", ".", "LOGLEVEL", "log_level=3", ".", "DEBUG ON /tmp/x",
                   "DEBUG OFF", "QUIT", "SPEAK"}),
     join(kStartReplies, {"200-v1\tpt-BR\tnone", "200-v2\tpt-BR\tnone", "200 OK VOICE LIST SENT",
                          "203 OK RECEIVING SETTINGS", "203 OK SETTINGS RECEIVED",
                          "207 OK RECEIVING LOGLEVEL SETTINGS", "203 OK LOGLEVEL SET", "200 OK DEBUGGING ON",
                          "200 OK DEBUGGING OFF", "210 OK QUIT"})},
    {"bad settings are refused as a block, the good ones in it still hold",
     join(kStart, {"SET", "rate=depressa", "volume", "=3", "color=azul", "punctuation_mode=muita", "pitch=10", ".",
                   "AUDIO", "audio_output_method=alsa", ".", "AUDIO", "semigual", "."}),
     join(kStartReplies, {"203 OK RECEIVING SETTINGS", "303 ERROR INVALID PARAMETER OR VALUE",
                          "207 OK RECEIVING AUDIO SETTINGS", "300-o kaldro só envia o som ao servidor",
                          "300 MODULE ERROR", "207 OK RECEIVING AUDIO SETTINGS", "302 ERROR BAD SYNTAX"})},
    {"garbage, half commands and messages that cannot be spoken are refused",
     join({"SPEAK", "LIST VOICES"}, join(kStart, {"speak", "SPEAK ", "DEBUG", "DEBUG ON", "\x01\xff", "SPEAK", ".",
                                                  "CHAR", "a", "b", ".", "SOUND_ICON", "", "x", ".", "LIST VOICES"})),
     join({"300 ERR MODULE NOT INITIALIZED", "300 ERR MODULE NOT INITIALIZED"},
          join(kStartReplies, {"300 ERR UNKNOWN COMMAND", "300 ERR UNKNOWN COMMAND", "302 ERROR BAD SYNTAX",
                               "302 ERROR BAD SYNTAX", "300 ERR UNKNOWN COMMAND", "202 OK RECEIVING MESSAGE",
                               "301 ERROR CANT SPEAK", "202 OK RECEIVING MESSAGE", "305 DATA MORE THAN ONE LINE",
                               "202 OK RECEIVING MESSAGE", "305 DATA MORE THAN ONE LINE", "200-v1\tpt-BR\tnone",
                               "200-v2\tpt-BR\tnone", "200 OK VOICE LIST SENT"}))},
};

// Samples whose bytes include a newline and the escape byte.
std::vector<int16_t> awkwardSamples(size_t count) {
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(i % 3 == 0 ? 0x0a7d : -(int)(i * 37));
  return samples;
}

TEST(ModuleProtocol, Transcripts) {
  for (const Transcript& transcript : kTranscripts) {
    SCOPED_TRACE(transcript.name);
    RecordingHost host;
    ModuleProtocol protocol(host);
    std::string written;
    std::vector<int16_t> sent;
    for (const std::string& line : transcript.in) {
      if (line.starts_with("@")) {
        char kind[16] = {};
        unsigned long long job = 0;
        char argument[64] = {};
        ASSERT_GE(std::sscanf(line.c_str(), "@%15s %llu %63s", kind, &job, argument), 2);
        const std::string what = kind;
        if (what == "audio") {
          const std::vector<int16_t> samples = awkwardSamples(std::stoul(argument));
          const std::string out = protocol.takeAudio(job, samples, 16000);
          if (!out.empty()) sent.insert(sent.end(), samples.begin(), samples.end());
          written += out;
        } else if (what == "mark") {
          written += protocol.takeMark(job, argument);
        } else if (what == "icon") {
          written += protocol.takeIcon(job, argument);
        } else {
          written += protocol.takeJobEnd(job);
        }
      } else {
        written += protocol.takeLine(line);
      }
    }
    const testing::ModuleOutput output = decodeModuleOutput(written);
    EXPECT_EQ(output.lines, transcript.out);
    EXPECT_EQ(output.samples, sent) << "the samples the server reads back";
    EXPECT_EQ(host.started, transcript.hostCalls);
  }
}

TEST(ModuleProtocol, SettingsReachTheJob) {
  RecordingHost host;
  ModuleProtocol protocol(host);
  for (const char* line : {"INIT", "SET", "rate=-300", "volume=40", "punctuation_mode=most", "cap_let_recogn=spell",
                           "language=NULL", "synthesis_voice=kaldro-embutida", ".", "SPEAK", "x", "."})
    protocol.takeLine(line);
  EXPECT_EQ(host.lastSettings.rate, -100);
  EXPECT_EQ(host.lastSettings.volume, 40);
  EXPECT_EQ(host.lastSettings.punctuation, PunctuationMode::Most);
  EXPECT_EQ(host.lastSettings.capitals, CapitalMode::Spell);
  EXPECT_EQ(host.lastSettings.language, "");
  EXPECT_EQ(host.lastSettings.synthesisVoice, "kaldro-embutida");
}

// ---- what a message becomes ----

std::string describe(const std::vector<SpeechStep>& steps) {
  std::string out;
  for (const SpeechStep& step : steps) {
    if (!out.empty()) out += " | ";
    switch (step.kind) {
      case SpeechStep::Kind::Text:
        out += step.text;
        break;
      case SpeechStep::Kind::Character:
        out += "char " + std::to_string(step.character);
        break;
      case SpeechStep::Kind::Mark:
        out += "mark " + step.text;
        break;
      case SpeechStep::Kind::Icon:
        out += "icon " + step.text;
        break;
    }
  }
  return out;
}

struct PlanCase {
  MessageKind kind;
  const char* message;  // UTF-8
  PunctuationMode punctuation;
  bool spelling;
  CapitalMode capitals;
  const char* steps;  // CP1252 written as UTF-8 here
};

const PlanCase kPlans[] = {
    {MessageKind::Text,
     "<speak>Olá, <mark name=\"__spd_0\"/>mundo &amp; &lt;gente&gt;!<break time=\"1s\"/>Até<mark name='f'/></speak>",
     PunctuationMode::None, false, CapitalMode::None, "Olá, | mark __spd_0 | mundo & <gente>! Até | mark f"},
    {MessageKind::Text, "<speak>R$ 5, a@b.</speak>", PunctuationMode::Some, false, CapitalMode::None,
     "R$ 5, a arroba b."},
    {MessageKind::Text, "<speak>Sim? a-b</speak>", PunctuationMode::Most, false, CapitalMode::None,
     "Sim? a hífen b"},
    {MessageKind::Text, "<speak>Oi, tu.</speak>", PunctuationMode::All, false, CapitalMode::None,
     "Oi vírgula  tu ponto"},
    {MessageKind::Text, "<speak>Ab ç</speak>", PunctuationMode::None, true, CapitalMode::Spell,
     "maiúscula | char 65 | char 98 | char 231"},
    {MessageKind::Text, "plain < text", PunctuationMode::None, false, CapitalMode::None, "plain < text"},
    // A "<" that opens no tag, one never closed, and an "&" that begins no entity are text.
    {MessageKind::Text, "<speak>a < b &amp c & d &#x41; &zz;</speak>", PunctuationMode::None, false, CapitalMode::None,
     "a < b &amp c & d A &zz;"},
    {MessageKind::Text, "<speak>5 &lt; 6 e <b entao o resto</speak>", PunctuationMode::None, false, CapitalMode::None,
     "5 < 6 e <b entao o resto"},
    // Characters CP1252 lacks by their names; decomposed accents composed; the line, not the clause, is a piece.
    {MessageKind::Text, "<speak>Arquivo → Abrir, café\u00A0ok.</speak>", PunctuationMode::None, false,
     CapitalMode::None, "Arquivo  seta para a direita  Abrir, café ok."},
    {MessageKind::Text, "Falei com D. Maria ontem.\nR$ 2 milhões", PunctuationMode::None, false, CapitalMode::None,
     "Falei com D. Maria ontem. | R$ 2 milhões"},
    {MessageKind::Char, "→", PunctuationMode::None, false, CapitalMode::None, "seta para a direita"},
    {MessageKind::Char, "e\u0301", PunctuationMode::None, false, CapitalMode::None, "char 233"},
    {MessageKind::Text, "<speak>a−✓</speak>", PunctuationMode::None, true, CapitalMode::None,
     "char 97 | menos | visto"},
    {MessageKind::Char, "É", PunctuationMode::None, false, CapitalMode::Icon, "icon capital | char 201"},
    {MessageKind::Char, " ", PunctuationMode::None, false, CapitalMode::None, "char 32"},
    {MessageKind::Key, "shift_a", PunctuationMode::None, false, CapitalMode::None, "shift | char 97"},
    {MessageKind::Key, "control_alt_delete", PunctuationMode::None, false, CapitalMode::None, "control | alt | delete"},
    {MessageKind::Key, "_", PunctuationMode::None, false, CapitalMode::None, "char 95"},
    {MessageKind::Key, "f11", PunctuationMode::None, false, CapitalMode::None, "F 11"},
    {MessageKind::Key, "kp-multiply", PunctuationMode::None, false, CapitalMode::None, "kp multiply"},
    {MessageKind::SoundIcon, "message", PunctuationMode::All, false, CapitalMode::None, "icon message"},
};

std::string namesForTest(uint8_t c) {
  switch (c) {
    case '@': return "arroba";
    case '-': return "h\xed" "fen";  // CP1252
    case ',': return "v\xed" "rgula";
    case '.': return "ponto";
    default: return {};
  }
}

// The reading of a folder with the engine's abbreviations ("Sr." joins the name after it).
struct PlanRig {
  PlanRig() {
    folder.write("KALDRO.INI", "[ORMIATTS]\nDIR=" + testing::kEngineData + "\n");
    EXPECT_TRUE(characters.loadAnnotations(platform::CharacterNames::systemAnnotationFiles()).ok());
  }
  testing::ScratchFolder folder;
  platform::Configuration config{platform::ConfigLocations{{folder.path()}, folder.path(), folder.path()}};
  TextReading reading{config};
  platform::CharacterNames characters;
  PlanReading plan{namesForTest, characters, reading};
};

TEST(ModuleSpeechPlan, MessagesBecomeSteps) {
  PlanRig rig;
  for (const PlanCase& plan : kPlans) {
    SCOPED_TRACE(plan.message);
    ModuleSettings settings;
    settings.punctuation = plan.punctuation;
    settings.spelling = plan.spelling;
    settings.capitals = plan.capitals;
    const std::string got = platform::cp1252ToUtf8(describe(planSpeech(plan.kind, plan.message, settings, rig.plan)));
    EXPECT_EQ(got, plan.steps);
  }
}

// A long line is cut only where the reading marks a sentence end (never after an abbreviation's or
// an initial's point, never inside "R$ 2 milhões"), into pieces no longer than a piece may be,
// losing nothing; a message of 2 MB of "&" or "<" is read in one pass, all of it as text.
TEST(ModuleSpeechPlan, LongTextIsCutOnlyWhereAReaderPauses) {
  PlanRig rig;
  std::string text;
  for (int i = 0; text.size() < 3 * MaxPieceBytes; ++i)
    text += i % 3 == 0 ? "Falei com o Sr. Silva e a D. Maria sobre R$ 2 milh\xC3\xB5" "es ontem. "
                       : "O resto vem depois da casa amarela, do lado do rio ";
  const std::vector<SpeechStep> steps = planSpeech(MessageKind::Text, text, {}, rig.plan);
  std::string joined;
  for (const SpeechStep& step : steps) {
    ASSERT_EQ(step.kind, SpeechStep::Kind::Text);
    EXPECT_LE(step.text.size(), MaxPieceBytes);
    if (&step != &steps.back()) EXPECT_TRUE(step.text.ends_with("ontem.")) << step.text.substr(step.text.size() - 30);
    joined += step.text + " ";
  }
  EXPECT_EQ(platform::cp1252ToUtf8(joined), text);
  EXPECT_GE(steps.size(), 3u);
  for (const char sign : {'&', '<'}) {
    const std::string signs(2 * 1024 * 1024, sign);
    size_t said = 0;
    for (const SpeechStep& step : planSpeech(MessageKind::Text, "<speak>" + signs + "</speak>", {}, rig.plan))
      said += step.text.size();
    EXPECT_EQ(said, signs.size()) << sign;
  }
}

// A web page's worth of mixed text (emoji, arrows, decomposed accents, abbreviations, sums and
// dates across the module's cuts) reads, piece by piece, with the words kaldro-fala's --normal
// gives for the whole of each line.
TEST(ModuleSpeechPlan, AWebPageReadsWithTheWordsOfTheWholeText) {
  PlanRig rig;
  const std::string sentences[] = {
      "Arquivo \xE2\x86\x92 Abrir \xF0\x9F\x98\x80 \xE2\x9C\x93 ",
      "Falei com o Sr. Silva e a D. Maria sobre R$ 2 milh\xC3\xB5" "es em 15/08/2025 \xC3\xA0s 16h45. ",
      "O cafe\xCC\x81 po\xCC\x81s sa\xCC\x83o custa US$ 5 \xE2\x80\x93 ou 10 \xE2\x88\x92 3 \xE2\x89\xA4 8. ",
      "Veja www.exemplo.com.br/pasta e o s\xC3\xA9" "culo XX com Pedro II \xCE\xB1\xCE\xB2\xCE\xB3 ",
      "\xE2\x80\x9C" "Cita\xC3\xA7\xC3\xA3o\xE2\x80\x9D \xE2\x80\xA2 item \xC2\xBD x\xC2\xB2 5\xE2\x80\xB0! "};
  std::string page;
  for (int line = 0; line < 3; ++line) {
    for (int i = 0; page.size() < (line + 1) * 2 * MaxPieceBytes; ++i) page += sentences[(i * 7 + line) % 5];
    page += "\n";
  }
  std::string pieces, whole;
  for (const SpeechStep& step : planSpeech(MessageKind::Text, page, {}, rig.plan)) pieces += rig.reading.natural(step.text) + " ";
  size_t start = 0;
  for (size_t end; (end = page.find('\n', start)) != std::string::npos; start = end + 1)
    whole += rig.reading.natural(rig.characters.speechText(page.substr(start, end - start))) + " ";
  const auto words = [](const std::string& text) { return platform::splitWords(text); };
  EXPECT_EQ(words(pieces), words(whole));
  EXPECT_EQ(pieces.find('?'), std::string::npos);
}

}  // namespace
}  // namespace kaldro::app
