#pragma once
// The song text file: 18 Shift-JIS lines, each ended by CR LF, first line "qrv".
//
//   1 "qrv"                 7-9   volume texts of parts 1-3   15 " 0 " / " 1 " resolution
//   2 title                 10-12 MML of parts 1-3            16 tone text of part 4
//   3 "@" + tempo           13    "1" / "0" copy protection   17 volume text of part 4
//   4-6 tone texts 1-3      14    protection text             18 MML of part 4
//
// MML keeps its line breaks as grave accents (U+0060), so a grave accent in the
// MML itself cannot be told apart and comes back as a line break.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "diagnostic.h"
#include "song/song_document.h"

namespace chwr {

/// A song read from a file, with the repairs made on the way for the user to see.
struct SongFileRead {
  SongDocument song;     ///< the song, every unreadable field at its default
  Diagnostics warnings;  ///< warnings, one per repair; empty for a clean file
};

/// The file's bytes for `song`; fails with "ｼﾌﾄJISで表せない文字(X)があります。" when a
/// field holds a character code page 932 lacks. Line breaks inside single-line fields
/// become blanks; every line break form inside MML becomes a grave accent.
Result<std::vector<std::uint8_t>> SerializeSongFile(const SongDocument& song);

/// Reads a song file image; fails with "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。" unless line 1 is "qrv".
Result<SongFileRead> ParseSongFile(std::span<const std::uint8_t> bytes);

/// Writes `song` to `path` atomically; fails with "ﾌｧｲﾙ書き込みに失敗しました。", or with
/// the unencodable-character message, leaving any existing file untouched.
Result<void> WriteSongFile(const std::filesystem::path& path, const SongDocument& song);

/// Reads the song file at `path`; fails with "ﾌｧｲﾙ読み込みに失敗しました。" when it cannot
/// be read and with "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。" when it is not a song file.
Result<SongFileRead> ReadSongFile(const std::filesystem::path& path);

}  // namespace chwr
