// `chwr render`: a song as a WAV file, faster than real time.

#include <unistd.h>

#include <ostream>
#include <string>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/shared.h"
#include "io/file_io.h"
#include "playback/playback.h"

namespace chwr::cli {

int RenderCommand(const SoundRequest& request, std::ostream& out, std::ostream& err) {
  auto midi = MidiToHear(request, err);
  if (!midi) return Failed(midi.error(), err);
  const bool terminal = ::isatty(STDERR_FILENO) != 0;
  int shown = -1;
  auto progress = [&](double done) {
    if (!terminal) return;
    const int percent = static_cast<int>(done * 100);
    if (percent == shown) return;
    shown = percent;
    const int bar = percent * 30 / 100;
    err << "\r[" << std::string(bar, '#') << std::string(30 - bar, '.') << "] " << percent << "%"
        << std::flush;
  };
  auto wav = RenderWav(*midi, SoundFontSetting(request), progress);
  if (terminal) err << '\n';
  if (!wav) return Failed(wav.error(), err);
  if (auto w = WriteFileAtomic(request.output, *wav); !w) return Failed(w.error(), err);
  out.flush();
  return kOk;
}

}  // namespace chwr::cli
