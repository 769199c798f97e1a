#include "song/choices.h"

#include <array>

namespace chwr {
namespace {

// Spelled as the list has always shown them, even where they differ from the
// General MIDI names ("Marinmba", "Bossoon", a second "Accordion" at 24):
// saved song files contain these exact texts.
constexpr std::array<std::string_view, 128> kGmNames = {
    "Piano 1",     "Piano 2",     "Piano 3",     "Honkey-tonk", "E.Piano 1",   "E.Piano 2",
    "Harpsichord", "Clav.",       "Celesta",     "Glockenspl",  "Music Box",   "Vibraphone",
    "Marinmba",    "Xylophone",   "TubularBell", "Santur",      "Organ 1",     "Organ 2",
    "Organ 3",     "ChurchOrg",   "ReedOrgan",   "Accordion",   "Harmonica",   "Accordion",
    "Nylon Gt.",   "Steel Gt.",   "Jazz Gt.",    "Clean Gt.",   "Muted Gt.",   "OverdriveGt",
    "Dist.Gt.",    "Gt.Harmonix", "Acoustic Bs", "Fingered Bs", "Picked Bass", "Fretless Bs",
    "Slap Bass 1", "Slap Bass 2", "Syn.Bass1",   "Syn.Bass2",   "Violin",      "Viola",
    "Cello",       "Contrabass",  "Tremolo Str", "Pizzicato",   "Harp",        "Timpani",
    "Strings",     "SlowStrings", "SynStrings1", "SynStrings2", "Choir Aahs",  "Voice Oohs",
    "SynVox",      "Orchest.Hit", "Trumpet",     "Trombone",    "Tuba",        "MuteTrumpet",
    "French Horn", "Brass 1",     "Syn.Brass 1", "Syn.Brass 2", "Soprano Sax", "Alto Sax",
    "Tenor Sax",   "BaritoneSax", "Oboe",        "EnglishHorn", "Bossoon",     "Clarinet",
    "Piccolo",     "Flute",       "Recorder",    "Pan Flute",   "Bottle Blow", "Shakuhachi",
    "Whistle",     "Ocarina",     "Square Wave", "Saw Wave",    "SynCalliope", "ChifferLead",
    "Charang",     "Solo Vox",    "5th Saw",     "Bass & Lead", "Fantasia",    "Warm Pad",
    "Polysynth",   "Space Voice", "Bowed Glass", "Metal Pad",   "Halo Pad",    "Sweep Pad",
    "Ice Rain",    "Soundtrack",  "Crystal",     "Atmosphere",  "Brightness",  "Goblin",
    "Echo Drops",  "Star Theme",  "Sitar",       "Banjo",       "Shamisen",    "Koto",
    "Kalimba",     "Bagpipe",     "Fiddle",      "Shanai",      "Tinkle Bell", "Agogo",
    "Steel Drums", "Woodblock",   "Taiko",       "Melo. Tom 1", "Synth Drum",  "ReverseCym",
    "Gt.FretNoiz", "BreathNoise", "Seashore",    "Bird",        "Telephone 1", "Helicopter",
    "Applause",    "Gun Shot",
};

// "――" and "――――――――" are U+2015 HORIZONTAL BAR, which code page 932 holds as 0x815C.
constexpr std::string_view kVolumeBar = "――";
constexpr std::string_view kToneBar = "――――――――";

std::vector<ChoiceItem> MakeVolumeItems(int part) {
  const int base = (part & 3) * 64;
  std::vector<ChoiceItem> items = {
      {"A", base + 63}, {"B", base + 54}, {"C", base + 38}, {std::string(kVolumeBar), base + 63}};
  for (int v = 63; v >= 0; --v) items.push_back({std::to_string(v), base + v});
  return items;
}

}  // namespace

std::string GmProgramItemText(int program1to128) {
  if (program1to128 < 1 || program1to128 > 128) return {};
  std::string text = std::to_string(program1to128);
  text.resize(4, ' ');
  text += kGmNames[static_cast<std::size_t>(program1to128 - 1)];
  return text;
}

const std::vector<ChoiceItem>& MidiToneItems() {
  static const std::vector<ChoiceItem> items = [] {
    std::vector<ChoiceItem> list = {{kNoMidiToneChoice, kNoMidiTone}};
    for (int k = 1; k <= 128; ++k) list.push_back({GmProgramItemText(k), k - 1});
    return list;
  }();
  return items;
}

std::vector<ChoiceItem> VolumeItems(int part) {
  return MakeVolumeItems(part);
}

const std::vector<ChoiceItem>& ToneItems() {
  static const std::vector<ChoiceItem> items = [] {
    std::vector<ChoiceItem> list = {{"A", 2}, {"B", 0}, {"C", 1}, {std::string(kToneBar), 0}};
    for (int k = 1; k <= 128; ++k) list.push_back({GmProgramItemText(k), k - 1});
    return list;
  }();
  return items;
}

const std::vector<std::string>& TempoItems() {
  static const std::vector<std::string> items = {"60",  "84",  "80",  "96",  "100", "120", "125",
                                                 "144", "150", "160", "168", "180", "200"};
  return items;
}

std::optional<int> FindVolumeValue(std::string_view text) {
  static const std::vector<ChoiceItem> items = MakeVolumeItems(0);
  for (const ChoiceItem& item : items) {
    if (item.text == text) return item.itemData & 63;
  }
  return std::nullopt;
}

std::optional<int> FindToneProgram(std::string_view text) {
  for (const ChoiceItem& item : ToneItems()) {
    if (item.text == text) return item.itemData;
  }
  return std::nullopt;
}

}  // namespace chwr
