#include "convert/song_check.h"

#include <algorithm>
#include <cstdio>

#include "convert/build_song.h"
#include "messages.h"

namespace chwr {

SongCheck CheckSong(const SongDocument& song) {
  SongCheck check;
  SongCompile compiled;
  CompileOptions options;
  options.resolution = song.resolution == 0 ? 0 : 1;
  bool failed = false;
  for (int part = 0; part < 4; ++part) {
    auto r = CompilePart(part, song.parts[part].mml, StartingVolume(song.parts[part]), options,
                         compiled.state, compiled.parts[part]);
    if (!r) {
      check.partErrors[part] = r.error();
      failed = true;
    }
  }
  if (failed) return check;
  // The parts are compiled once: the check follows the typing of a 30,000-note part.
  auto built = BuildCompiledSong(song, std::move(compiled));
  if (!built) {
    check.buildError = built.error();
    return check;
  }
  check.sizeReport = built->sizeReport;
  check.drift = DriftReport(built->compiled, song.resolution);
  return check;
}

std::string DriftReport(const SongCompile& compiled, int resolution) {
  std::int32_t longest = 0;
  int sounding = 0;
  for (const CompiledPart& p : compiled.parts) {
    if (p.count == 0) continue;
    ++sounding;
    longest = std::max(longest, p.totalSteps);
  }
  if (sounding < 2) return {};
  const int quarter = resolution == 0 ? 24 : 48;
  std::string text;
  for (int part = 0; part < 4; ++part) {
    const CompiledPart& p = compiled.parts[part];
    if (p.count == 0 || p.totalSteps == longest) continue;
    const std::int32_t shorter = longest - p.totalSteps;
    // Two decimals are enough to tell a 64th from a triplet; trailing zeros go.
    char beats[32];
    std::snprintf(beats, sizeof beats, "%.2f", static_cast<double>(shorter) / quarter);
    std::string b = beats;
    while (b.back() == '0') b.pop_back();
    if (b.back() == '.') b.pop_back();
    text += msg::PartDrift(part, shorter, b);
  }
  return text.empty() ? text : msg::kDriftHeading + text;
}

}  // namespace chwr
