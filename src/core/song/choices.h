#pragma once
// The fixed choice lists of the editor (MIDI tone, part volume, part tone, tempo)
// and the item data that the builders read from them.
//
// The item texts are also what the song text file stores, so they are data the
// file format depends on: change one and older files no longer match.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace chwr {

/// One entry of a choice list: the text shown (and saved) and the number it stands for.
struct ChoiceItem {
  std::string text;  ///< UTF-8, exactly as shown in the list
  int itemData = 0;  ///< the number the builders use
};

/// Volume choice of a new part.
inline constexpr const char* kDefaultVolumeChoice = "A";
/// Tone choice of a new part.
inline constexpr const char* kDefaultToneChoice = "B";
/// First item of the playback tone list; its item data is kNoMidiTone.
inline constexpr const char* kNoMidiToneChoice = "指定なし";
/// Item data of "指定なし": no program chosen for playback.
inline constexpr int kNoMidiTone = -1;

/// Playback tone list: "指定なし" (kNoMidiTone) then the 128 programs (item data program - 1).
const std::vector<ChoiceItem>& MidiToneItems();

/// Volume list of `part` (0..3, other values are taken modulo 4): "A", "B", "C", "――",
/// "63" … "0"; item data is part * 64 + volume value.
std::vector<ChoiceItem> VolumeItems(int part);

/// Part tone list: "A", "B", "C", "――――――――", then the 128 programs; item data is
/// the General MIDI program (0-based) used for playback.
const std::vector<ChoiceItem>& ToneItems();

/// Tempo suggestions, in list order.
const std::vector<std::string>& TempoItems();

/// Volume value 0..63 of an exact volume item text, nullopt when the text is not an item.
std::optional<int> FindVolumeValue(std::string_view text);

/// Item data of an exact part tone item text, nullopt when the text is not an item.
std::optional<int> FindToneProgram(std::string_view text);

/// List text of General MIDI program 1..128 ("1   Piano 1"); empty outside that range.
std::string GmProgramItemText(int program1to128);

}  // namespace chwr
