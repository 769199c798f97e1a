#pragma once
// The song being edited, as a plain value: what the main window's controls hold.

#include <array>
#include <string>

#include "song/choices.h"

namespace chwr {

/// One of the four parts of a song.
struct PartSlot {
  std::string mml;                            ///< MML text, lines separated by "\r\n"
  std::string volume = kDefaultVolumeChoice;  ///< volume choice text ("A", "40", ...)
  std::string tone = kDefaultToneChoice;      ///< tone choice text ("B", "1   Piano 1", ...)
  bool mute = false;                          ///< silenced in playback; not saved

  /// Field-by-field equality.
  bool operator==(const PartSlot&) const = default;
};

/// The whole song: header fields and four parts, all text UTF-8.
struct SongDocument {
  std::string title;              ///< song title
  std::string tempo = "120";      ///< tempo text as typed (normally a number)
  int resolution = 1;             ///< list index: 0 = 24, anything else = 48 steps per quarter
  bool copyProtect = false;       ///< copy protection on
  std::string protectText;        ///< text that goes with copy protection
  std::array<PartSlot, 4> parts;  ///< parts 1..4 at indices 0..3

  /// Field-by-field equality.
  bool operator==(const SongDocument&) const = default;
};

/// Steps per quarter note of the song's resolution: 24 or 48.
int StepsPerQuarter(const SongDocument& song);

/// Volume value 0..63 the part starts with; 63 (as for "A") when its text is not a volume item.
int StartingVolume(const PartSlot& part);

}  // namespace chwr
