#pragma once
// Importing a Standard MIDI File as a song: the facts kept when a ".mid" file is
// handed over, the check of the import dialog's input, the track walk and the two
// conversions (streaming with length names and Q, absolute with "*n"). Pure core:
// the dialog and `chwr open FILE.mid` both call these.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "diagnostic.h"
#include "song/song_document.h"

namespace chwr {

/// What is kept of a MIDI file when it is handed over to the import dialog.
struct SmfFacts {
  std::uint16_t format = 0;     ///< header format field; 0 and 1 can be converted
  std::uint16_t division = 0;   ///< ticks per quarter note
  double quarterSeconds = 0.5;  ///< first tempo event, rounded to two decimals; 0.5 without one
};

/// Reads the facts from a file's bytes; fails with "SMF ﾌｫｰﾏｯﾄが無効です。" when the
/// bytes do not begin with the "MThd" chunk.
Result<SmfFacts> ReadSmfFacts(std::span<const std::uint8_t> bytes);

/// Where the volume of an imported part comes from.
enum class ImportVolume { kNone = 0, kVolume = 1, kExpression = 2, kVelocity = 3 };

/// The import dialog's controls, as the user left them (texts as typed).
struct ImportChoices {
  std::array<bool, 16> selected{};  ///< list items: tracks 1..16 (format 1) or channels 1..16 (format 0)
  /// The chosen list items (0..15) in the order of the parts they fill; when empty, the
  /// selected items fill the parts in list order (the dialog's list has no other order)
  std::vector<int> order;
  std::string seek = "0";           ///< start measure
  std::string measures = "32";      ///< number of measures to convert
  std::string transpose = "0";      ///< semitones, "+"/"-" allowed
  bool absolute = false;            ///< absolute lengths ("*n") instead of length names
  bool octave = false;              ///< start each part with "O" + its first note's octave
  bool tone = false;                ///< program changes choose each part's tone
  ImportVolume volume = ImportVolume::kNone;
};

/// The control a failed input check concerns; the dialog focuses it.
enum class ImportField { kTracks, kSeek, kMeasures, kTranspose };

/// A refused input: the message (an error) and the control it concerns.
struct ImportInputError {
  ImportField field = ImportField::kTracks;
  Diagnostic error;
};

/// The dialog's four input checks, first failing one wins; nullopt when all pass. A start
/// measure below 0 and fewer than 1 measure to convert are refused with the check's
/// message for that box, since neither has anything to convert.
std::optional<ImportInputError> CheckImportInput(const ImportChoices& choices);

/// The chosen list items (0..15) in part order: `order` without repeats when given,
/// else the selected items in list order.
std::vector<int> ChosenItems(const ImportChoices& choices);

/// What one conversion gives the main window.
struct ImportedSong {
  bool converted = false;                      ///< false: format not 0/1, nothing changes
  std::optional<std::string> title;            ///< the title box, when the conversion sets it
  std::string tempo;  ///< the tempo box ("120"); empty after an error: the box keeps its text
  std::array<std::string, 4> parts;            ///< part texts, lines ended by CR LF
  std::array<std::optional<int>, 4> toneIndex;  ///< part tone list index (program + 4), when set
  /// e.g. "ﾄﾗｯｸ3情報が存在しません。"; the parts are empty then, while the title and the
  /// tones that parts converted before the failing one set are kept
  std::optional<Diagnostic> error;
  Diagnostics warnings;             ///< what the conversion had to cut or skip
};

/// Converts `bytes` (the file read again) with the facts kept at hand-over. Each part is
/// converted as if its track began at the start measure, so all parts stay in time. Fails
/// when the input check fails (the error is the check's message) and when the start
/// measure lies past the end of every chosen track (nothing would be converted).
Result<ImportedSong> ImportSmf(std::span<const std::uint8_t> bytes, const SmfFacts& facts,
                               const ImportChoices& choices);

/// Puts a conversion into `song` as "MML変換" puts it into the main window: the title and
/// tempo when the conversion set them, resolution 48, the tones it chose and the four
/// part texts. A conversion that did not run (`converted` false) changes nothing.
void ApplyImportedSong(const ImportedSong& imported, SongDocument& song);

/// What one list item (a track of a format 1 file, a channel of a format 0 file)
/// holds, for the item's tooltip.
struct ImportSource {
  bool present = false;       ///< the track exists / the channel has any event
  std::string name;           ///< track name, decoded; may be empty
  std::vector<int> channels;  ///< channels 1..16 with note events
  int noteCount = 0;          ///< note-ons with a velocity
  int lowestNote = -1;        ///< note numbers, -1 without notes
  int highestNote = -1;
};

/// The 16 list items' contents, by the same track/channel rule as the conversion.
std::array<ImportSource, 16> DescribeImportSources(std::span<const std::uint8_t> bytes,
                                                   const SmfFacts& facts);

}  // namespace chwr
