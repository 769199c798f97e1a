// `chwr dump`: a readable listing of an MLD, SMD or MIDI file.

#include <ostream>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/shared.h"
#include "convert/open_song.h"
#include "io/file_io.h"
#include "midi/smf_dump.h"
#include "mld/mld_dump.h"
#include "smd/smd_dump.h"

namespace chwr::cli {

int DumpCommand(const std::filesystem::path& input, std::ostream& out, std::ostream& err) {
  auto bytes = ReadFileBytes(input);
  if (!bytes) return Failed(bytes.error(), err);
  switch (FileKindOf(input)) {
    case FileKind::kSmd:
      out << DumpSmd(*bytes);
      break;
    case FileKind::kMidi:
      out << DumpSmf(*bytes);
      break;
    default:
      out << DumpMld(*bytes);
      break;
  }
  out.flush();
  return kOk;
}

}  // namespace chwr::cli
