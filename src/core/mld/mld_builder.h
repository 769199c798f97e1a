#pragma once
// Laying out the MLD image of a compiled song: the header, the track's prologue, and
// the music as the step pass hands it over.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostic.h"
#include "mml/song_compile.h"
#include "sequence/step_pass.h"
#include "song/song_document.h"

namespace chwr {

/// Writes the MLD image while the step pass runs: Create, run the pass, then Finish.
class MldImageBuilder final : public StepListener {
 public:
  /// Starts the image of `song` compiled into `compiled`; fails when the title or the
  /// protection text cannot go into the header.
  static Result<MldImageBuilder> Create(const SongDocument& song, const SongCompile& compiled);

  /// Refuses what the event stream cannot carry: definition selections above @V3 and
  /// data that is not pairs of hex digits.
  Result<void> Check(std::span<const ScheduledEvent> events) override;
  void Step(int t, std::span<const ScheduledEvent> events, int delta) override;
  /// The whole image: header, then the track closed by its end event.
  std::vector<std::uint8_t> Finish();

  /// The tempo text was no number and was written as 120.
  bool tempoReplaced() const { return tempoReplaced_; }

 private:
  MldImageBuilder() = default;

  std::vector<std::uint8_t> header_;  // from offset 10 up to "trac"
  // The whole image, the file's head first: the track is written after it in place, and
  // the two lengths are filled in by Finish.
  std::vector<std::uint8_t> track_;
  std::size_t trackLengthAt_ = 0;
  bool tempoReplaced_ = false;
};

/// The tempo byte of a tempo text: 120 when empty or no number (then `replaced`),
/// else the integer part of the number keeping its low 8 bits.
std::uint8_t TempoByte(std::string_view tempoText, bool* replaced = nullptr);

/// The status-bar report of a build: image size and every part's steps and range.
std::string SizeReport(std::size_t imageSize, const SongCompile& compiled);

}  // namespace chwr
