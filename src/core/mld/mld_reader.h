#pragma once
// Reading an MLD image back into a song: header settings, per-part volume and tone,
// tone definitions, and each part's notes as MML text.
//
// The reader takes any bytes: a damaged or foreign file yields as much of the song as
// could be read plus warnings, never a read past the end of the image.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "diagnostic.h"
#include "song/song_document.h"

namespace chwr {

/// A song read from an MLD image, with notes for the user about what could not be read.
struct MldRead {
  SongDocument song;     ///< the song; what the image lacks stays at its default
  Diagnostics warnings;  ///< warnings, one per problem; empty for a clean image
};

/// Reads an MLD image (file bytes or decoded melody mail). Fails with "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。"
/// unless it starts with "melo".
Result<MldRead> ReadMld(std::span<const std::uint8_t> bytes);

/// Reads an MLD file from disk; fails with "ﾌｧｲﾙ読み込みに失敗しました。" when it cannot be read.
Result<MldRead> ReadMldFile(const std::filesystem::path& path);

/// The title bytes decoded as code page 932, blanks (U+0020) trimmed at both ends.
std::string MldTitleText(std::span<const std::uint8_t> bytes);

}  // namespace chwr
