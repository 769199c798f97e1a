#pragma once
// The one rule for opening a file as a song, shared by the editor and `chwr`: the
// kind comes from the name (its last three characters "MLD", "SMD", "MID", anything
// else is song text); the bytes only help to say what went wrong.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "diagnostic.h"
#include "import/smf_import.h"  // SmfFacts, ImportChoices
#include "mld/mld_decoder.h"
#include "mld/mld_midi.h"
#include "song/song_document.h"

namespace chwr {

/// The kinds of file a song can be opened from.
enum class FileKind { kSongText, kMld, kSmd, kMidi };

/// The kind a file is opened as, by the last three characters of its name (any case).
FileKind FileKindOf(const std::filesystem::path& path);

/// What the bytes plainly are: "melo" and a zero byte (the top of its length) an MLD image,
/// "MThd" and a zero byte a MIDI file, an escaped part run an SMD file, a first line "qrv"
/// a song text; nullopt when none of these. No SMD title holds a zero byte or a line
/// break, so an SMD file whose title begins "melo", "MThd" or "qrv" is not taken for these.
std::optional<FileKind> SniffFileKind(std::span<const std::uint8_t> bytes);

/// The user's name of a kind: "MLD", "SMD", "MIDI", "ﾃｷｽﾄ".
std::string FileKindName(FileKind kind);

/// A song read from a file, with the warnings of its reader.
struct OpenedSong {
  FileKind kind = FileKind::kSongText;
  SongDocument song;
  Diagnostics warnings;
};

/// The header facts of a file opened as a MIDI file; the refusal "SMF ﾌｫｰﾏｯﾄが無効です。"
/// names what the bytes are instead when they plainly are another kind.
Result<SmfFacts> ReadMidiFileFacts(std::span<const std::uint8_t> bytes);

/// Converts MIDI `bytes` into a new song with the import dialog's `choices`, as "MML変換"
/// on a new song does (title, tempo, resolution 48, tones, four parts). Fails with the
/// header's refusal, with "SMF ﾌｫｰﾏｯﾄ…のMIDIﾌｧｲﾙは変換できません。" for a format other
/// than 0 and 1 (code kNotConvertible), or with the import's refusal or error.
Result<OpenedSong> ImportMidiSong(std::span<const std::uint8_t> bytes,
                                  const ImportChoices& choices);

/// A ring tone of another program's layout (MldMusic from DecodeMld) as a song: its voices
/// fill the parts in channel order as tracks do in the MIDI import, with the keys the file
/// names; voices past the fourth are left out and chords thinned, each said in a warning.
Result<OpenedSong> OpenForeignMld(const MldMusic& music);

/// Whether a ring tone of another program's layout opens as a song as it stands: at most
/// four of its voices strike notes and none strikes two at once. One that does not is
/// for the user to pick voices from (the editor's import dialog).
bool MldFitsSong(const MldMusic& music);

/// What a song made of the voices `selected` of `midi` (MldToSmf of `music` at
/// kMldSongBase; item i is its track i + 1) should tell: the file's own warnings, the voices
/// with notes not selected, and chords in those selected, which a part cannot hold.
Diagnostics MldChoiceWarnings(const MldMusic& music, const MldMidi& midi,
                              const std::array<bool, 16>& selected);

/// Reads `bytes` as a file of `kind`. A reader's "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。" names what the
/// bytes are instead when they plainly are another kind (code kOtherKind). The SMD reader
/// takes any bytes, so a file named SMD that plainly is another kind is refused with that
/// message. A MIDI file is imported by ImportMidiSong with the import dialog's first choices
/// (its first list item, 32 measures from the start, no options).
Result<OpenedSong> OpenSongBytes(FileKind kind, std::span<const std::uint8_t> bytes);

/// Reads the file at `path` by the rule; fails with "ﾌｧｲﾙ読み込みに失敗しました。" when it
/// cannot be read. A MIDI file is imported as `OpenSongBytes` does (the editor hands MIDI
/// files to its import dialog instead, which asks how to convert them).
Result<OpenedSong> OpenSongFile(const std::filesystem::path& path);

}  // namespace chwr
