// `chwr build`: the MLD, MIDI and SMD files, the melody mail and the reset file.

#include <ostream>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/shared.h"
#include "io/file_io.h"
#include "mail/melody_mail.h"
#include "midi/smf_writer.h"

namespace chwr::cli {

int BuildCommand(const BuildArgs& request, std::ostream& out, std::ostream& err) {
  if (!request.resetOut.empty()) {
    if (auto w = WriteFileAtomic(request.resetOut, ResetSmfImage()); !w) {
      return Failed(w.error(), err);
    }
  }
  if (request.song.empty()) return kOk;
  auto midi = ToMidiSettings(request.midi);
  if (!midi) return Failed(midi.error(), err);
  auto song = ReadSong(request.song, err);
  if (!song) return Failed(song.error(), err);
  const bool needsMld = !request.mldOut.empty() || request.mail;
  auto built = Build(*song, request.midOut.empty() ? std::nullopt : std::optional(*midi),
                     !request.smdOut.empty(), needsMld, err);
  if (!built) return Failed(built.error(), err);
  if (built->mldRefused && needsMld) return Failed(*built->mldRefused, err);
  // A song without a note or rest has no SMD file; its warning is out already. Nothing
  // is written, as for any output that cannot be made.
  if (!request.smdOut.empty() && built->smdFile.empty()) {
    return ExitStatusOf(DiagnosticCode::kNothingToWrite);
  }
  if (!request.smdOut.empty()) {
    if (auto w = WriteFileAtomic(request.smdOut, built->smdFile); !w) {
      return Failed(w.error(), err);
    }
  }
  if (!request.mldOut.empty()) {
    if (auto w = WriteFileAtomic(request.mldOut, built->mldImage); !w) {
      return Failed(w.error(), err);
    }
  }
  if (!request.midOut.empty()) {
    if (auto w = WriteFileAtomic(request.midOut, built->midiFile); !w) {
      return Failed(w.error(), err);
    }
  }
  if (!request.mldOut.empty() || !request.midOut.empty()) out << built->sizeReport << '\n';
  if (request.mail) out << MakeMailText(built->mldImage) << '\n';
  out.flush();
  return kOk;
}

}  // namespace chwr::cli
