#pragma once
// Reading an MLD image back into a song: header settings, per-part volume and tone,
// tone definitions, and each part's notes as MML text.
//
// The reader takes any bytes: a damaged or foreign file yields as much of the song as
// could be read plus warnings, never a read past the end of the image.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "diagnostic.h"
#include "song/song_document.h"

namespace chwr {

/// A song read from an MLD image, with notes for the user about what could not be read.
struct MldRead {
  SongDocument song;     ///< the song; what the image lacks stays at its default
  Diagnostics warnings;  ///< warnings, one per problem; empty for a clean image
};

/// Reads an MLD image (file bytes or decoded melody mail). Fails with "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。"
/// unless it starts with "melo".
Result<MldRead> ReadMld(std::span<const std::uint8_t> bytes);

/// Reads an MLD file from disk; fails with "ﾌｧｲﾙ読み込みに失敗しました。" when it cannot be read.
Result<MldRead> ReadMldFile(const std::filesystem::path& path);

/// The title bytes decoded as code page 932, blanks (U+0020) trimmed at both ends.
std::string MldTitleText(std::span<const std::uint8_t> bytes);

/// The MML tone-definition text of one definition slot and the part whose box it goes to.
struct MldToneText {
  int part = -1;     ///< 0..3, or -1 when the slot names no part (empty slot)
  std::string text;  ///< comment line, "@{...}" and two line breaks; "" when all values are 0
};

/// Unpacks one 10-byte definition slot into the text that compiles back to the same bytes.
MldToneText MldToneDefinitionText(std::span<const std::uint8_t, 10> slot);

/// Writes single notes and rests as MML, keeping the octave and Q that the text has reached.
struct MmlNoteWriter {
  int octave = 3;       ///< octave the text is in
  int q = 0;            ///< Q value the text has set
  int resolution = 48;  ///< steps per quarter note naming the lengths: 24, else 48
  /// Characters of the last note's text with an absolute length counted as "*" and digits,
  /// which is how a line of read MML is measured.
  std::size_t lastWidth = 0;

  /// One note (`key` = key byte) or rest of `length` steps sounding `gate` steps, with the
  /// octave and Q commands it needs; "" when `key` is empty and `rest` is false. A note
  /// that needs a Q but splits into tied pieces gets one absolute length, named as a
  /// dotted or plain length when that is one, unless the Q would not fit the dotted
  /// note's short third ("Q30C*72" sounds 42 steps, "Q30C4." would sound 49).
  std::string Note(std::optional<int> key, bool rest, int length, int gate);
};

}  // namespace chwr
