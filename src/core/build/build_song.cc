#include "build/build_song.h"

#include "mld/mld_builder.h"
#include "sequence/step_pass.h"

namespace chwr {

Result<BuildResult> BuildSong(const SongDocument& song, const BuildRequest& request) {
  BuildResult result;
  SongCompileOptions compile;
  compile.texts = request.selectionTexts;
  if (auto r = CompileSong(song, result.compiled, compile); !r) return std::unexpected(r.error());

  auto mld = MldImageBuilder::Create(song, result.compiled);
  if (!mld) return std::unexpected(mld.error());
  MidiTrackBuilder midi(song, request.midiSettings);
  std::vector<StepListener*> listeners{&*mld};
  if (request.midi) listeners.push_back(&midi);
  if (auto r = StepPass(result.compiled, listeners); !r) return std::unexpected(r.error());

  result.mldImage = mld->Finish();
  result.tempoReplaced = mld->tempoReplaced();
  result.sizeReport = SizeReport(result.mldImage.size(), result.compiled);
  if (request.midi) {
    auto file = SmfImage(song, midi.Finish(), request.midiSettings.doubleSpeed);
    if (!file) return std::unexpected(file.error());
    result.midiFile = std::move(*file);
  }
  return result;
}

}  // namespace chwr
