#include "convert/build_song.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "messages.h"
#include "mld/mld_builder.h"
#include "sequence/step_pass.h"
#include "smd/smd_writer.h"
#include "text/numbers.h"

namespace chwr {
namespace {

// A tempo outside 1..255 keeps only its low eight bits in the MLD file and falls into the
// normal or the slow tempo class in the SMD file, while the MIDI file and playback use the
// whole number: the user hears something the phone will not play, so say what each file
// gets. nullopt for a tempo inside the range (or no number: that plays at 120 everywhere);
// else the number as typed.
std::optional<std::string> TempoOutsideRange(std::string_view typed) {
  std::string number = NumberText(typed);
  const std::string_view text = number;
  if (text.empty() || !IsPlainNumber(text)) return std::nullopt;
  std::string_view digits = text;
  const bool negative = digits.front() == '-';
  if (digits.front() == '+' || digits.front() == '-') digits.remove_prefix(1);
  long value = 0;
  for (char c : digits) {
    if (c == '.') break;
    value = std::min(value * 10 + (c - '0'), 100000L);  // large enough to be out of range
  }
  if (negative) value = -value;
  if (value >= 1 && value <= 255) return std::nullopt;
  return number;
}

std::optional<Diagnostic> MldTempoWarning(std::string_view typed) {
  const auto number = TempoOutsideRange(typed);
  if (!number) return std::nullopt;
  return MakeWarning(
      msg::TempoOutOfRange(*number, msg::kMldKindName, std::to_string(TempoByte(*number))));
}

// What the SMD file cannot hold: the tempo first, as in the window, then the notes; last
// that there is no file at all, for a song without a note or rest (an empty file would
// open as an empty song without a word).
Diagnostics SmdFileWarnings(std::string_view typed, const SmdFlags& flags, bool empty) {
  Diagnostics out;
  if (const auto number = TempoOutsideRange(typed)) {
    out.push_back(MakeWarning(
        msg::TempoOutOfRange(*number, msg::kSmdKindName, SmdClassTempo(SmdTempoClass(typed)))));
  }
  for (Diagnostic& w : SmdWarnings(flags)) out.push_back(std::move(w));
  if (empty) {
    out.push_back(MakeWarning(msg::kSmdNothingToWrite, DiagnosticCode::kNothingToWrite));
  }
  return out;
}

// Every output from the compiled song: what BuildSong does after its compile.
Result<BuildResult> Assemble(const SongDocument& song, const BuildRequest& request,
                             BuildResult result, SmdFlags& smdFlags) {
  // A part too long for the song is refused by every output alike, the SMD file too: it
  // would open again as a song that cannot be built.
  if (auto r = CheckPartLengths(result.compiled); !r) return std::unexpected(r.error());
  if (request.smd) {
    for (int p = 0; p < 4; ++p) result.smdTexts[p] = result.compiled.parts[p].smdText;
    result.smdFile = SmdFileBytes(result.smdTexts);
  }
  // The SMD file goes on without the MLD image when nothing else needs it.
  auto smdAlone = [&](Diagnostic refusal) -> Result<BuildResult> {
    if (!request.smd || request.midi) return std::unexpected(std::move(refusal));
    result.mldRefused = std::move(refusal);
    result.warnings = SmdFileWarnings(song.tempo, smdFlags, result.smdFile.empty());
    return std::move(result);
  };

  if (request.smd && !request.mld && !request.midi) {
    result.warnings = SmdFileWarnings(song.tempo, smdFlags, result.smdFile.empty());
    return result;
  }

  auto mld = MldImageBuilder::Create(song, result.compiled);
  if (!mld) return smdAlone(mld.error());
  MidiTrackBuilder midi(song, request.midiSettings);
  std::vector<StepListener*> listeners{&*mld};
  if (request.midi) listeners.push_back(&midi);
  if (auto r = StepPass(result.compiled, listeners); !r) return smdAlone(r.error());

  result.mldImage = mld->Finish();
  // A tempo that is no number is said first: the build went on with 120.
  if (mld->tempoReplaced()) {
    result.warnings.push_back(
        MakeWarning(msg::TempoReplaced(song.tempo), DiagnosticCode::kTempoReplaced));
  }
  for (const CompiledPart& part : result.compiled.parts) {
    result.warnings.insert(result.warnings.end(), part.warnings.begin(), part.warnings.end());
  }
  if (auto w = MldTempoWarning(song.tempo)) result.warnings.push_back(std::move(*w));
  if (request.smd) {
    for (Diagnostic& w : SmdFileWarnings(song.tempo, smdFlags, result.smdFile.empty())) {
      result.warnings.push_back(std::move(w));
    }
  }
  result.sizeReport = SizeReport(result.mldImage.size(), result.compiled);
  if (request.midi) {
    auto file = SmfImage(song, midi.Finish(), request.midiSettings.doubleSpeed);
    if (!file) return std::unexpected(file.error());
    result.midiFile = std::move(*file);
  }
  return result;
}

}  // namespace

Result<BuildResult> BuildSong(const SongDocument& song, const BuildRequest& request) {
  if (request.score) {
    // The score is one part: nothing else of the song's parts is heard, none is muted.
    SongDocument scored = song;
    scored.tempo = request.score->tempo;
    for (PartSlot& part : scored.parts) {
      part.mml.clear();
      part.mute = false;
    }
    scored.parts[0].mml = request.score->mml;
    BuildRequest plain = request;
    plain.score.reset();
    plain.selectionTexts.reset();
    plain.midiSettings.allPartsProgram = std::clamp(request.score->program, 0, 127);
    plain.midiSettings.mute = {};
    return BuildSong(scored, plain);
  }
  BuildResult result;
  SongCompileOptions compile;
  compile.texts = request.selectionTexts;
  compile.wantSources = request.sources;
  SmdFlags smdFlags;
  const SmdPartOptions smdOptions{song.resolution == 0 ? 0 : 1, song.tempo};
  if (request.smd) {
    compile.smdMode = true;
    compile.smdHook = [&](const CommandTokens& tokens, int lastIndex) {
      return SmdMake(tokens, lastIndex, smdOptions, smdFlags);
    };
  }
  if (auto r = CompileSong(song, result.compiled, compile); !r) return std::unexpected(r.error());
  return Assemble(song, request, std::move(result), smdFlags);
}

Result<BuildResult> BuildCompiledSong(const SongDocument& song, SongCompile compiled) {
  BuildResult result;
  result.compiled = std::move(compiled);
  SmdFlags smdFlags;
  return Assemble(song, {}, std::move(result), smdFlags);
}


}  // namespace chwr
