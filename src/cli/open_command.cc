// `chwr open`: an MLD, SMD or MIDI file, or melody mail, as a song text file.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "cli/cli_messages.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/shared.h"
#include "convert/open_song.h"
#include "io/file_io.h"
#include "mail/melody_mail.h"
#include "song/song_file.h"

namespace chwr::cli {
namespace {

// The dialog's choices from the command line.
Result<ImportChoices> ToImportChoices(const ImportArgs& a) {
  ImportChoices c;
  std::string_view list = a.tracks;
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view item = list.substr(0, comma);
    int number = 0;
    const bool digits = !item.empty() && item.size() <= 2 &&
                        item.find_first_not_of("0123456789") == std::string_view::npos;
    if (digits) number = std::stoi(std::string(item));
    if (number < 1 || number > 16) return std::unexpected(UsageError(msg::kTrackNumbers));
    // Parts follow the order given: "--tracks 3,1" puts track 3 into part 1.
    c.selected[number - 1] = true;
    c.order.push_back(number - 1);
    if (comma == std::string_view::npos) break;
    list = list.substr(comma + 1);
  }
  c.seek = a.start;
  c.measures = a.measures;
  c.transpose = a.transpose;
  c.absolute = a.absolute;
  c.octave = a.octave;
  c.tone = a.tone;
  c.volume = a.volume == "cc7"        ? ImportVolume::kVolume
             : a.volume == "cc11"     ? ImportVolume::kExpression
             : a.volume == "velocity" ? ImportVolume::kVelocity
                                      : ImportVolume::kNone;
  return c;
}

}  // namespace

int OpenCommand(const std::filesystem::path& input, const std::filesystem::path& output,
                bool mailText, const ImportArgs& import, std::ostream& out, std::ostream& err) {
  (void)out;
  FileKind kind = FileKindOf(input);
  if (import.given && (kind != FileKind::kMidi || mailText)) {
    return Failed(UsageError(msg::kImportOptionsForMidi), err);
  }
  std::optional<ImportChoices> choices;
  if (kind == FileKind::kMidi && !mailText) {
    auto given = ToImportChoices(import);
    if (!given) return Failed(given.error(), err);
    choices = std::move(*given);
  }
  auto bytes = ReadFileBytes(input);
  if (!bytes) return Failed(bytes.error(), err);
  if (mailText) {
    auto decoded = MailTextToBytes(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    if (!decoded) return Failed(decoded.error(), err);
    *bytes = std::move(*decoded);
    kind = FileKind::kMld;
  }
  // A MIDI file is converted as the import dialog would with the choices given.
  auto read = choices ? ImportMidiSong(*bytes, *choices) : OpenSongBytes(kind, *bytes);
  if (!read) return Failed(read.error(), err);
  for (const Diagnostic& w : read->warnings) Print(w, err);
  if (auto w = WriteSongFile(output, read->song); !w) return Failed(w.error(), err);
  return kOk;
}

}  // namespace chwr::cli
