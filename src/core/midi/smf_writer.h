#pragma once
// Standard MIDI Files: the playback and export file of a song, built from the step
// pass, and the sound-source reset file.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostic.h"
#include "sequence/step_pass.h"
#include "song/song_document.h"

namespace chwr {

/// How the song should sound on the computer.
struct MidiSettings {
  int octaveChoice = 1;        ///< 0 "高い" (n + 33), 1 "普通" (n + 21), 2 "低い" (n + 9)
  bool repeatOn = false;       ///< every track's events twice
  bool doubleSpeed = false;    ///< tempo x 2
  int allPartsProgram = -1;    ///< program 0..127 for every part, -1 = each part's tone choice
  std::array<bool, 4> mute{};  ///< muted parts get no track
};

/// The finished part tracks: chunks in part order, muted and empty ones left out.
struct MidiTracks {
  std::vector<std::uint8_t> chunks;
  int count = 0;
};

/// Builds the four part tracks while the step pass runs (listen, then Finish).
class MidiTrackBuilder final : public StepListener {
 public:
  MidiTrackBuilder(const SongDocument& song, const MidiSettings& settings);
  void Begin(int startStep, int endStep) override;
  void Step(int t, std::span<const ScheduledEvent> events, int delta) override;
  /// Fillers, repeat, program and selection: the tracks that go into the file.
  MidiTracks Finish();

 private:
  struct Part {
    std::vector<std::uint8_t> body;
    int velocity = 63;  ///< the part's volume 0..63; the note-on velocity is twice it
    std::uint32_t pendingDelta = 0;
    std::uint32_t heldTicks = 0;
    std::uint32_t partEnd = 0;
  };
  void Handle(int part, const ScheduledEvent& s);

  const SongDocument& song_;
  MidiSettings settings_;
  std::array<Part, 4> parts_;
};

/// The tempo used for MIDI: the tempo text's number (120 when empty or no number),
/// doubled for double speed; fails when no three-byte tempo period can express it.
Result<double> MidiTempo(std::string_view tempoText, bool doubleSpeed);

/// The whole file: header, conductor track (title, tempo) and the part tracks.
Result<std::vector<std::uint8_t>> SmfImage(const SongDocument& song, MidiTracks tracks,
                                           bool doubleSpeed);

/// The reset file: General MIDI System On and the GS reset, 47 bytes.
std::vector<std::uint8_t> ResetSmfImage();

}  // namespace chwr
