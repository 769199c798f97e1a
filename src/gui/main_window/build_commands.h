#pragma once
// What the window makes from the song: the MLD file, the MIDI file, the SMD file, the
// melody mail, and the song read back from a mail on the clipboard. Every build goes
// through Build.

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "convert/build_song.h"
#include "shared/prompts.h"

class QAction;
class QCheckBox;
class QComboBox;

namespace chwr::gui {

class Feedback;
class FileCommands;
class SongForm;

/// The controls that decide how the song sounds on the computer, beside the mutes.
struct MidiControls {
  QAction* repeat = nullptr;         ///< "mnuMIDIREPEAT"
  std::array<QAction*, 3> octave{};  ///< "mnuMIDIOCT_0..2": high, normal, low
  QCheckBox* doubleSpeed = nullptr;  ///< "chkDOUBLE"
  QComboBox* toneCombo = nullptr;    ///< "cmbTONE": 0 = each part's tone, else program + 1
  /// The settings they make, with these mutes.
  MidiSettings Settings(const std::array<bool, 4>& mutes) const;
};

/// What a build is for.
struct BuildWanted {
  bool selectionOnly = false;  ///< each part's selection where it has one (playback)
  bool sources = false;        ///< each event mapped to its place in the text (playback)
  bool midiFile = false;       ///< the MIDI file image too
  /// The SMD file alone, no MLD image: its warnings go into one box and the size report
  /// stays as it was.
  bool smdFile = false;
  /// The score editor's song in place of this one: the status bar and the slider keep
  /// telling of the song in the window.
  std::optional<ScorePlayback> score;
};

/// What a build made.
struct BuiltSong {
  std::vector<std::uint8_t> mldImage;   ///< the MLD image
  std::vector<std::uint8_t> midiImage;  ///< the MIDI file, when wanted
  std::vector<std::uint8_t> smdImage;   ///< the SMD file, when wanted
  SongCompile compiled;                 ///< the four compiled parts
};

/// The build commands of the window.
class BuildCommands final : public QObject {
  Q_OBJECT

 public:
  /// Commands building the song in `form` with the MIDI `controls`; names and folders
  /// of the file dialogs come from `files`.
  BuildCommands(SongForm& form, FileCommands& files, const MidiControls& controls,
                const Feedback& feedback, QObject* parent = nullptr);

  /// Builds the song; on failure the user has seen why and the result is empty. A tempo
  /// that is no number is shown as the 120 it was built with.
  std::optional<BuiltSong> Build(const BuildWanted& wanted);

  /// Builds and writes an MLD file chosen by the user.
  void WriteMldFile();
  /// As WriteMldFile; the file written, empty when nothing was (a compile error, the
  /// dialog cancelled, a failed write, each told to the user).
  QString SaveMldFile();
  /// Builds and writes a MIDI file chosen by the user.
  void MakeMidiFile();
  /// Builds the SMD file, shows what SMD cannot express, and writes it where the user says.
  void MakeSmdFile();
  /// Builds the melody mail, puts it on the clipboard and reports its size.
  void MakeMelodyMail();
  /// Replaces the song by the one in the melody mail on the clipboard.
  void ReadMailFromClipboard();

 signals:
  /// A build's report of sizes and steps, for the status bar.
  void sizeReported(const QString& report, const QString& drift);
  /// The text of a melody mail just made.
  void mailMade(const QString& mail);
  /// A build made a MIDI file that plays for `ms` milliseconds.
  void midiLengthKnown(qint64 ms);

 private:
  /// Asks where to save `bytes`, remembers the name through `remember`, and writes them;
  /// the file written, else empty.
  QString SaveBytes(const FileDialog& dialog, void (FileCommands::*remember)(const QString&),
                 std::span<const std::uint8_t> bytes);
  SongForm& form_;
  FileCommands& files_;
  MidiControls controls_;
  const Feedback& feedback_;
};

}  // namespace chwr::gui
